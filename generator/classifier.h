// Decides what one line of a bookmark file is for the tree: a link, a folder, the end of a
// list, or nothing of interest; takes the link's address and title or the folder's title, and
// keeps the nesting depth of the whole bookmark file.
//
// Recognition rests on four fixed pieces of upper-case text ("<A HREF=", "<H3 FOLDED", "<DL>",
// "</DL>"), compared byte for byte; no other HTML is parsed, nothing is decoded or escaped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// What a line is taken to be. The codes are fixed; there is no code 0.
enum class LineKind : std::int32_t {
  Link = 4,
  Folder = 3,
  ListClose = 2,
  Ignored = -1,
};

// What one line yields. The conversion keeps one record for the whole bookmark file and the
// classifier overwrites only the fields the line's kind sets: a Link sets url, title and depth;
// a Folder sets title and depth and leaves url as it was; other kinds set nothing. The texts
// are the record's own copies, so they stay valid whatever happens to the line.
struct BookmarkEntry {
  std::string title;  // exactly as in the line, however long
  std::string url;    // the HREF value without its quotation marks, however long
  std::int32_t depth = 0;
};

// The nesting depth of the bookmark file being read: 1 when the library is loaded, one up for
// every folder heading, one down for every list end, never reset, never bounded (unbalanced
// input takes it to 0 and below).
extern std::int32_t nestingDepth;

// One token cut out of a line: where it starts and how long it is. A token is never empty; no
// token at all has a null `text`.
struct Token {
  char* text = nullptr;
  std::size_t length = 0;

  explicit operator bool() const { return text != nullptr; }
  // The token's text; for no token an empty text, though never a null one, so that it can be
  // copied like any other.
  std::string_view view() const {
    return text != nullptr ? std::string_view(text, length) : std::string_view("");
  }
};

// Cuts tokens out of a line the way strtok does: every call names its delimiter and either a
// fresh start or none (carry on where the previous call stopped); delimiters at the start are
// passed over, so a token is never empty; the delimiter that ends a token is overwritten with a
// zero byte. Unlike strtok it keeps its position in the object, not in hidden global state, it
// tells each token's length, and it remembers what it overwrote so that the line can be put
// back as it was read.
class Tokenizer {
 public:
  // The next token, with no text when only delimiters remain before the end of the line.
  // Defined here, where the classifier's four calls for every link can be inlined.
  //
  // `clear` tells that the first so many bytes from where the token is looked for hold neither
  // the delimiter nor a zero byte, so the token starts there and runs at least past them: the
  // search for its end starts after them, and when the delimiter follows right there, as in a
  // well-formed line, it takes no search at all.
  Token take(char* start, char delimiter, std::size_t clear = 0) {
    char* p = start != nullptr ? start : next_;
    if (p == nullptr) return {};
    while (*p == delimiter) ++p;
    if (*p == '\0') {
      next_ = p;
      return {};
    }
    char* end = p + clear;
    if (clear == 0 || *end != delimiter) end = std::strchr(end, delimiter);
    if (end == nullptr) {
      end = p + std::strlen(p);
      next_ = end;
    } else {
      if (cutCount_ < cuts_.size()) cuts_[cutCount_++] = {end, *end};
      *end = '\0';
      next_ = end + 1;
    }
    return {p, static_cast<std::size_t>(end - p)};
  }

  // The same as take(), as a zero-terminated text or nullptr.
  char* next(char* start, char delimiter) { return take(start, delimiter).text; }

  // Where the next continuation would begin.
  char* position() const { return next_; }

  // Puts back every delimiter that take() overwrote.
  void restore();

 private:
  struct Cut {
    char* at;
    char was;
  };
  char* next_ = nullptr;
  std::array<Cut, 4> cuts_;  // a line is cut at most four times; the first cutCount_ are set
  std::size_t cutCount_ = 0;
};

// The second token when the text from `start` (or from where the tokenizer stopped, when
// `start` is nullptr) is split at quotation marks: normally a quoted attribute value. The
// first `clear` bytes from `start` are known to hold no quotation mark and no zero byte.
Token quotedValue(Tokenizer& tokenizer, char* start, std::size_t clear = 0);

// The text after the next ">" up to the next "<": normally an element's content.
Token elementText(Tokenizer& tokenizer, char* start);

// Classifies one line, a zero-terminated text in a writable buffer (the classifier overwrites
// delimiters in it), and fills `entry` as the line's kind says.
LineKind classifyLine(BookmarkEntry& entry, char* line);
