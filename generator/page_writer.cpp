// The tree page writer.
#include "page_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "line_reader.h"

std::int32_t folderSerial = 0;

namespace {

// The pieces of the page, with %d standing for a number and %s for a text, filled in order.
constexpr std::string_view kFolderAnchor =
    "<A HREF=\"JavaScript:onClick=Display('display%d');ImageChange('img%d');\">"
    "<IMG SRC=\"folder1.gif\" ID=\"img%d\" BORDER=\"0\">%s</A><BR>";
constexpr std::string_view kFolderBlockStart = "<DIV ID=\"display%d\" STYLE=\"display:none\">";
constexpr std::string_view kLinkAnchor = "<A HREF=\"%s\">%s</A><BR>";
constexpr std::string_view kListEnd = "</DIV>";
constexpr std::string_view kTrailer = "</BODY></HTML>";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Writes `piece` with each "%d" or "%s" replaced by the next of `fills`.
void writeFilled(PageStream& page, std::string_view piece,
                 std::initializer_list<std::string_view> fills) {
  const std::string_view* fill = fills.begin();
  std::size_t from = 0;
  for (std::size_t at = piece.find('%'); at != std::string_view::npos;
       at = piece.find('%', from)) {
    page.write(piece.substr(from, at - from));
    page.write(*fill++);
    from = at + 2;
  }
  page.write(piece.substr(from));
  page.endLine();
}

// Writes `units` indentation units; 64-bit because a recorded depth may be near the 32-bit
// limit and the rules add one to it.
void writeIndent(PageStream& page, std::int64_t units) {
  for (std::int64_t i = 0; i < units; ++i) page.write(IndentUnit);
}

}  // namespace

bool copyTemplate(PageStream& page, const char* templatePath) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(templatePath, "rb"));
  if (!file) return false;
  LineReader reader(file.get());
  std::size_t length = 0;
  while (const char* line = reader.next(&length)) {
    page.write(std::string_view(line, std::strlen(line)));
    page.endLine();
  }
  return !reader.failed();
}

void writeEntry(PageStream& page, LineKind kind, const BookmarkEntry& entry) {
  switch (kind) {
    case LineKind::Folder: {
      folderSerial = static_cast<std::int32_t>(static_cast<std::uint32_t>(folderSerial) + 1);
      char digits[16];
      auto [end, error] = std::to_chars(digits, digits + sizeof digits, folderSerial);
      static_cast<void>(error);  // 16 bytes always hold a 32-bit number
      std::string_view n(digits, static_cast<std::size_t>(end - digits));
      writeIndent(page, std::max<std::int64_t>(1, entry.depth));
      writeFilled(page, kFolderAnchor, {n, n, n, entry.title});
      writeFilled(page, kFolderBlockStart, {n});
      break;
    }
    case LineKind::Link:
      writeIndent(page, 1 + std::max<std::int64_t>(0, entry.depth));
      writeFilled(page, kLinkAnchor, {entry.url, entry.title});
      break;
    case LineKind::ListClose:
      page.write(kListEnd);
      page.endLine();
      break;
    case LineKind::Ignored:
      break;
  }
}

void writeTrailer(PageStream& page) {
  page.write(kTrailer);
  page.endLine();
}
