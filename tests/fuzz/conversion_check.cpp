// Conversion in memory and the checks of its page.
#include "conversion_check.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "classifier.h"
#include "convert.h"
#include "line_reader.h"
#include "page_stream.h"
#include "page_writer.h"
#include "reference_converter.h"

namespace {

constexpr std::string_view kTrailer = "</BODY></HTML>\r\n";
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kUnit = "&#160; &#160; &#160;";
constexpr std::string_view kAnchorStart = "<A HREF=\"";
constexpr std::string_view kAnchorEnd = "</A><BR>";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A C stream that reads `bytes`, which must outlive it.
File readingFrom(std::string& bytes) { return File(fmemopen(bytes.data(), bytes.size(), "rb")); }

// A C stream whose writes are appended to `text`, which must outlive it. (A stream from
// open_memstream breaks when it is made unbuffered, as PageStream makes its stream.)
File writingTo(std::string& text) {
  cookie_io_functions_t functions{};
  functions.write = [](void* cookie, const char* bytes, std::size_t size) -> ssize_t {
    static_cast<std::string*>(cookie)->append(bytes, size);
    return static_cast<ssize_t>(size);
  };
  return File(fopencookie(&text, "wb", functions));
}

// Text for a message: control bytes written as \xNN, cut after 160 bytes.
std::string shown(std::string_view text) {
  constexpr std::size_t kMost = 160;
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < kMost; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > kMost) out += "...";
  return out;
}

std::string atLine(std::size_t number, std::string_view line, const std::string& what) {
  return "tree line " + std::to_string(number) + ": " + what + ": \"" + shown(line) + "\"";
}

// The number of lines that the library's own reader and classifier take for list ends.
std::int64_t classifiedListEnds(std::string_view bookmarks) {
  nestingDepth = 1;
  std::string bytes(bookmarks);
  File file = readingFrom(bytes);
  if (!file) return -1;
  LineReader reader(file.get(), 4096);
  BookmarkEntry entry;
  std::int64_t count = 0;
  std::size_t length = 0;
  while (char* line = reader.next(&length)) {
    if (classifyLine(entry, line) == LineKind::ListClose) ++count;
  }
  return count;
}

// Where two pages first differ, with the line there in each.
std::string difference(std::string_view actual, std::string_view expected) {
  std::size_t at = 0;
  std::size_t line = 1;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
    if (actual[at] == '\n') ++line;
    ++at;
  }
  auto lineAt = [at](std::string_view text) {
    std::size_t start = at == 0 ? std::string_view::npos : text.rfind('\n', at - 1);
    start = start == std::string_view::npos ? 0 : start + 1;
    std::size_t end = text.find(kCrLf, start);
    return shown(text.substr(start, end == std::string_view::npos ? end : end - start));
  };
  return "the page differs from the reference at page line " + std::to_string(line) + " (byte " +
         std::to_string(at) + ")\n  library:   \"" + lineAt(actual) + "\"\n  reference: \"" +
         lineAt(expected) + "\"";
}

// The checks of the tree lines themselves, without the reference.
std::string structureFault(std::string_view bookmarks, std::string_view page) {
  if (!page.starts_with(kCheckTemplate)) return "the page does not start with the template";
  if (page.size() < kCheckTemplate.size() + kTrailer.size() || !page.ends_with(kTrailer)) {
    return "the page does not end with the trailer";
  }
  std::string_view body = page.substr(kCheckTemplate.size());
  body.remove_suffix(kTrailer.size());

  std::int64_t folders = 0;
  std::int64_t listEnds = 0;
  std::string blockStart;  // the line the previous folder anchor calls for, if any
  for (std::size_t number = 1; !body.empty(); ++number) {
    std::size_t end = body.find(kCrLf);
    if (end == std::string_view::npos) return atLine(number, body, "a line without CR LF");
    std::string_view line = body.substr(0, end);
    body.remove_prefix(end + kCrLf.size());

    if (!blockStart.empty()) {
      if (line != blockStart) {
        return atLine(
            number, line,
            "folder " + std::to_string(folders) + " is not followed by the start of its block");
      }
      blockStart.clear();
      continue;
    }
    if (line == "</DIV>") {
      ++listEnds;
      continue;
    }
    std::string_view rest = line;
    std::size_t units = 0;
    while (rest.starts_with(kUnit)) {
      rest.remove_prefix(kUnit.size());
      ++units;
    }
    if (rest.starts_with("<DIV ")) return atLine(number, line, "a block start after no folder");
    if (units == 0 || !rest.starts_with(kAnchorStart) || !rest.ends_with(kAnchorEnd)) {
      return atLine(number, line, "not a tree line");
    }
    rest.remove_prefix(kAnchorStart.size());
    // An address never holds a quotation mark, and a title never starts with "<": what follows
    // the first quotation mark tells a folder's anchor from a link's.
    std::size_t quote = rest.find('"');
    if (quote == std::string_view::npos) return atLine(number, line, "an address without its end");
    if (rest.substr(quote).starts_with("\"><IMG ")) {
      std::string n = std::to_string(++folders);
      std::string head = "JavaScript:onClick=Display('display" + n + "');ImageChange('img" + n +
                         "');\"><IMG SRC=\"folder1.gif\" ID=\"img" + n + "\" BORDER=\"0\">";
      if (!rest.starts_with(head)) {
        return atLine(number, line, "the anchor of folder " + n + " does not carry its number");
      }
      blockStart = "<DIV ID=\"display" + n + "\" STYLE=\"display:none\">";
    } else if (!rest.substr(quote).starts_with("\">")) {
      return atLine(number, line, "a link whose address is not followed by the end of its tag");
    }
  }
  if (!blockStart.empty()) {
    return "folder " + std::to_string(folders) + " is the last tree line: its block never starts";
  }
  std::int64_t classified = classifiedListEnds(bookmarks);
  if (listEnds != classified) {
    return "the page closes " + std::to_string(listEnds) + " blocks, the classifier takes " +
           std::to_string(classified) + " lines for list ends";
  }
  return {};
}

}  // namespace

bool convertInMemory(std::string_view bookmarks, std::size_t readSize, std::string& page) {
  nestingDepth = 1;
  folderSerial = 0;
  page.clear();
  std::string bytes(bookmarks);
  File input = readingFrom(bytes);
  File output = writingTo(page);
  if (!input || !output) return false;
  PageStream stream(output.get());
  stream.write(kCheckTemplate);
  LineReader reader(input.get(), readSize);
  bool converted = convertLines(reader, stream);
  return stream.flush() && converted;
}

std::string pageFault(std::string_view bookmarks, std::string_view page) {
  std::string fault = structureFault(bookmarks, page);
  if (!fault.empty()) return fault;
  std::string expected = std::string(kCheckTemplate) + referenceTreeLines(bookmarks);
  if (page != expected) return difference(page, expected);
  return {};
}

std::string checkConversion(std::string_view bookmarks, std::size_t readSize) {
  std::string page;
  if (!convertInMemory(bookmarks, readSize, page)) return "the conversion failed";
  return pageFault(bookmarks, page);
}
