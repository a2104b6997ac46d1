// The bookmark line classifier.
#include "classifier.h"

#include <cstring>
#include <string_view>

std::int32_t nestingDepth = 1;

namespace {

constexpr std::string_view kLinkPattern = "<A HREF=";
constexpr std::string_view kFolderPattern = "<H3 FOLDED";
constexpr std::string_view kListOpenPattern = "<DL>";
constexpr std::string_view kListClosePattern = "</DL>";

// What findTag() needs of a pattern.
constexpr bool startsWithBracket(std::string_view pattern) {
  return pattern.size() > 1 && pattern[0] == '<' && pattern.find('\0') == std::string_view::npos;
}
static_assert(startsWithBracket(kLinkPattern) && startsWithBracket(kFolderPattern) &&
              startsWithBracket(kListOpenPattern) && startsWithBracket(kListClosePattern));
// A link's address is looked for right after the pattern (see classifyLine()).
static_assert(kLinkPattern.find('"') == std::string_view::npos);

// The first '<' from `from` on, or nullptr. After one '<' the next is mostly a few bytes on, as
// in "<DT><A HREF=", so those few are looked at here before strchr is asked.
char* nextBracket(char* from) {
  constexpr int kLookHere = 8;
  for (int i = 0; i < kLookHere; ++i) {
    if (from[i] == '<') return from + i;
    if (from[i] == '\0') return nullptr;
  }
  return std::strchr(from + kLookHere, '<');
}

// The first place where `pattern` occurs in the zero-terminated `text`, just as strstr finds
// it. Every pattern starts with '<', of which a line holds few, so the search hops from one
// '<' to the next and compares the rest of the pattern there. The comparison stops at the
// text's terminating zero, since no pattern holds a zero byte.
char* findTag(char* text, std::string_view pattern) {
  for (char* p = std::strchr(text, '<'); p != nullptr; p = nextBracket(p + 1)) {
    std::size_t matched = 1;
    while (matched < pattern.size() && p[matched] == pattern[matched]) ++matched;
    if (matched == pattern.size()) return p;
  }
  return nullptr;
}

// Depth arithmetic wraps instead of overflowing: a file of billions of list ends is odd, not
// undefined.
std::int32_t stepped(std::int32_t value, std::int32_t by) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) +
                                   static_cast<std::uint32_t>(by));
}

// The title of an anchor that yields no title token: its own text, read from the line as it
// came from the file, after the first ">" from `from` up to the next "<". When that text is
// empty or there is no ">", the address stands in, with its angle brackets written as
// references so that it always shows as text.
void fallbackTitle(std::string& title, const char* from, const std::string& url) {
  if (const char* open = std::strchr(from, '>')) {
    const char* text = open + 1;
    std::size_t length = std::strcspn(text, "<");
    if (length > 0) {
      title.assign(text, length);
      return;
    }
  }
  title.clear();
  for (char c : url) {
    if (c == '<') {
      title += "&lt;";
    } else if (c == '>') {
      title += "&gt;";
    } else {
      title += c;
    }
  }
}

}  // namespace

void Tokenizer::restore() {
  while (cutCount_ > 0) {
    const Cut& cut = cuts_[--cutCount_];
    *cut.at = cut.was;
  }
}

Token quotedValue(Tokenizer& tokenizer, char* start, std::size_t clear) {
  tokenizer.take(start, '"', clear);
  return tokenizer.take(nullptr, '"');
}

Token elementText(Tokenizer& tokenizer, char* start) {
  tokenizer.take(start, '>');
  return tokenizer.take(nullptr, '<');
}

LineKind classifyLine(BookmarkEntry& entry, char* line) {
  if (char* anchor = findTag(line, kLinkPattern)) {
    Tokenizer tokenizer;
    // The pattern itself holds no quotation mark.
    Token url = quotedValue(tokenizer, anchor, kLinkPattern.size());
    entry.url.assign(url.view());
    // Where the url token ends: its anchor text, if needed, is looked for after that point.
    char* afterUrl = url ? tokenizer.position() : anchor;
    if (Token title = elementText(tokenizer, nullptr)) {
      entry.title.assign(title.view());
    } else {
      tokenizer.restore();
      fallbackTitle(entry.title, afterUrl, entry.url);
    }
    entry.depth = nestingDepth;
    return LineKind::Link;
  }
  if (char* heading = findTag(line, kFolderPattern)) {
    nestingDepth = stepped(nestingDepth, 1);
    Tokenizer tokenizer;
    entry.title.assign(elementText(tokenizer, heading).view());
    entry.depth = nestingDepth;
    return LineKind::Folder;
  }
  // A line holding "<DL>" is never a list end, even if it holds "</DL>" as well.
  if (findTag(line, kListOpenPattern) != nullptr) return LineKind::Ignored;
  if (findTag(line, kListClosePattern) != nullptr) {
    nestingDepth = stepped(nestingDepth, -1);
    return LineKind::ListClose;
  }
  return LineKind::Ignored;
}
