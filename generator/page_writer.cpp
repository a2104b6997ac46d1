// The tree page writer.
#include "page_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include "line_reader.h"
#include "page_file.h"

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

// A page piece cut at its fill marks ("%d" or "%s") when the library is compiled: the `Fills`
// fills go between the `Fills + 1` texts, so writing a piece never searches it.
template <std::size_t Fills>
struct SplitPiece {
  std::array<std::string_view, Fills + 1> texts;
  std::size_t size;  // of the texts together
};

// Cuts `piece`, which must hold exactly `Fills` marks; anything else fails the compilation.
template <std::size_t Fills>
consteval SplitPiece<Fills> split(std::string_view piece) {
  SplitPiece<Fills> result{};
  std::size_t count = 0;
  std::size_t from = 0;
  for (std::size_t at = piece.find('%'); at != std::string_view::npos; at = piece.find('%', from)) {
    if (at + 1 == piece.size() || (piece[at + 1] != 'd' && piece[at + 1] != 's')) {
      throw "a page piece holds a '%' that is not a fill mark";
    }
    if (count == Fills) throw "a page piece holds more fill marks than it is given fills";
    result.texts[count++] = piece.substr(from, at - from);
    from = at + 2;
  }
  if (count != Fills) throw "a page piece holds fewer fill marks than it is given fills";
  result.texts[Fills] = piece.substr(from);
  result.size = piece.size() - 2 * Fills;
  return result;
}

constexpr auto kFolderAnchorPieces = split<4>(kFolderAnchor);
constexpr auto kFolderBlockStartPieces = split<1>(kFolderBlockStart);
constexpr auto kLinkAnchorPieces = split<2>(kLinkAnchor);

constexpr std::string_view kLineEnd = "\r\n";

// Copies `text` to `out` and returns where it ends.
char* put(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// Writes `units` indentation units; 64-bit because a recorded depth may be near the 32-bit
// limit and the rules add one to it.
void writeIndent(PageStream& page, std::int64_t units) {
  for (std::int64_t i = 0; i < units; ++i) page.write(IndentUnit);
}

// Writes one tree line: `units` of indentation, then `piece` with its marks replaced by
// `fills` in order, then the line end.
template <std::size_t Fills>
void writeLine(PageStream& page, std::int64_t units, const SplitPiece<Fills>& piece,
               const std::array<std::string_view, Fills>& fills) {
  // Nearly every line fits in what is left of the page's buffer and is laid out there in one
  // go; only the others are written piece by piece. The pieces and the indentation unit are of
  // fixed sizes, so their copies compile to a few moves each.
  if (units <= static_cast<std::int64_t>(PageStream::kBufferSize / IndentUnit.size())) {
    std::size_t size =
        static_cast<std::size_t>(units) * IndentUnit.size() + piece.size + kLineEnd.size();
    for (std::string_view fill : fills) size += fill.size();
    if (char* out = page.room(size)) {
      for (std::int64_t i = 0; i < units; ++i) out = put(out, IndentUnit);
      for (std::size_t i = 0; i < Fills; ++i) {
        out = put(out, piece.texts[i]);
        out = put(out, fills[i]);
      }
      out = put(out, piece.texts[Fills]);
      put(out, kLineEnd);
      page.commit(size);
      return;
    }
  }
  writeIndent(page, units);
  for (std::size_t i = 0; i < Fills; ++i) {
    page.write(piece.texts[i]);
    page.write(fills[i]);
  }
  page.write(piece.texts[Fills]);
  page.endLine();
}

}  // namespace

bool copyTemplate(PageStream& page, const char* templatePath) {
  std::unique_ptr<std::FILE, FileCloser> file(openRegularFile(templatePath));
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
      writeLine(page, std::max<std::int64_t>(1, entry.depth), kFolderAnchorPieces,
                {n, n, n, entry.title});
      writeLine(page, 0, kFolderBlockStartPieces, {n});
      break;
    }
    case LineKind::Link:
      writeLine(page, 1 + std::max<std::int64_t>(0, entry.depth), kLinkAnchorPieces,
                {entry.url, entry.title});
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
