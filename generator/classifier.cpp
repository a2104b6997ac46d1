// The bookmark line classifier.
#include "classifier.h"

#include <cstring>

std::int32_t nestingDepth = 1;

namespace {

constexpr const char* kLinkPattern = "<A HREF=";
constexpr const char* kFolderPattern = "<H3 FOLDED";
constexpr const char* kListOpenPattern = "<DL>";
constexpr const char* kListClosePattern = "</DL>";

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

char* Tokenizer::next(char* start, char delimiter) {
  char* p = start != nullptr ? start : next_;
  if (p == nullptr) return nullptr;
  while (*p == delimiter) ++p;
  if (*p == '\0') {
    next_ = p;
    return nullptr;
  }
  char* token = p;
  char* end = std::strchr(p, delimiter);
  if (end == nullptr) {
    next_ = p + std::strlen(p);
  } else {
    if (cutCount_ < cuts_.size()) cuts_[cutCount_++] = {end, *end};
    *end = '\0';
    next_ = end + 1;
  }
  return token;
}

void Tokenizer::restore() {
  while (cutCount_ > 0) {
    const Cut& cut = cuts_[--cutCount_];
    *cut.at = cut.was;
  }
}

char* quotedValue(Tokenizer& tokenizer, char* start) {
  tokenizer.next(start, '"');
  return tokenizer.next(nullptr, '"');
}

char* elementText(Tokenizer& tokenizer, char* start) {
  tokenizer.next(start, '>');
  return tokenizer.next(nullptr, '<');
}

LineKind classifyLine(BookmarkEntry& entry, char* line) {
  if (char* anchor = std::strstr(line, kLinkPattern)) {
    Tokenizer tokenizer;
    char* url = quotedValue(tokenizer, anchor);
    entry.url.assign(url != nullptr ? url : "");
    // Where the url token ends: its anchor text, if needed, is looked for after that point.
    char* afterUrl = url != nullptr ? tokenizer.position() : anchor;
    if (char* title = elementText(tokenizer, nullptr)) {
      entry.title.assign(title);
    } else {
      tokenizer.restore();
      fallbackTitle(entry.title, afterUrl, entry.url);
    }
    entry.depth = nestingDepth;
    return LineKind::Link;
  }
  if (char* heading = std::strstr(line, kFolderPattern)) {
    nestingDepth = stepped(nestingDepth, 1);
    Tokenizer tokenizer;
    char* title = elementText(tokenizer, heading);
    entry.title.assign(title != nullptr ? title : "");
    entry.depth = nestingDepth;
    return LineKind::Folder;
  }
  // A line holding "<DL>" is never a list end, even if it holds "</DL>" as well.
  if (std::strstr(line, kListOpenPattern) != nullptr) return LineKind::Ignored;
  if (std::strstr(line, kListClosePattern) != nullptr) {
    nestingDepth = stepped(nestingDepth, -1);
    return LineKind::ListClose;
  }
  return LineKind::Ignored;
}
