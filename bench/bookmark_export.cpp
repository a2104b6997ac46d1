// The benchmark's bookmark exports. A fixed seed and a generator of our own (not the standard
// distributions, whose results differ between libraries) give the same file everywhere.
#include "bookmark_export.h"

#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSeed = 20240611;
// One link in this many carries favicon data, as a browser that keeps its favicons writes it.
constexpr std::uint64_t kIconEvery = 3;
// A 16x16 PNG favicon takes a few hundred bytes of base64. Together with a million links of
// some 160 bytes each this makes the large export about 250 MB; icons of 200-700 bytes would
// make it over 300 MB.
constexpr std::uint64_t kIconMinBytes = 100;
constexpr std::uint64_t kIconMaxBytes = 400;
constexpr std::size_t kDomainCount = 5000;
constexpr std::size_t kIconCount = 1024;
constexpr std::size_t kFlushAt = std::size_t{1} << 20;
constexpr std::uint64_t kFirstDate = 1230768000;  // 2009-01-01
constexpr std::uint64_t kDateSpan = 15ull * 365 * 24 * 3600;

// The start of a 16x16 RGBA PNG in base64, as every Chrome favicon begins.
constexpr std::string_view kPngStart = "iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9hAAAA";
constexpr std::string_view kBase64 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kAlphanumeric =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// Title words: mostly English, some accented and CJK text, and the entities Chrome writes for
// "&", "'" and quotation marks.
// clang-format off
constexpr std::string_view kWords[] = {
    "How", "to", "the", "a", "Guide", "for", "and", "with", "Rust", "C++", "Python", "recipes",
    "News", "Home", "Documentation", "API", "Reference", "Tutorial", "Best", "of", "2023",
    "Review", "Blog", "Forum", "Question", "Answer", "Linux", "kernel", "build", "fast",
    "Understanding", "memory", "Weather", "Maps", "Shop", "Sale", "travel", "Berlin", "Tokyo",
    "café", "Übersicht", "Straße", "日本語", "ニュース", "Новости", "über", "&amp;",
    "&quot;Live&quot;", "isn&#39;t", "–", "|", "-", "video", "music", "Open", "source",
    "project", "release", "notes", "v2.1", "GitHub", "Wiki", "Docs"};
constexpr std::string_view kSyllables[] = {
    "ex", "am", "ple", "net", "go", "zu", "ra", "tech", "info", "web", "blog", "shop",
    "pro", "ki", "lo", "ma", "dev", "hub", "ly", "sta", "cor", "vi", "no", "mon"};
constexpr std::string_view kTlds[] = {
    "com", "com", "com", "org", "net", "io", "de", "co.uk", "fr", "dev", "edu", "jp"};
constexpr std::string_view kPathWords[] = {
    "blog", "posts", "article", "wiki", "docs", "en-US", "watch", "questions", "products",
    "item", "user", "repo", "issues", "2019", "2023", "category", "index.html", "page",
    "search", "story"};
// clang-format on

// splitmix64: small, fast and fully specified.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number from `low` to `high`, both included.
  std::uint64_t between(std::uint64_t low, std::uint64_t high) {
    return low + next() % (high - low + 1);
  }
  std::size_t index(std::size_t count) { return static_cast<std::size_t>(next() % count); }
  bool oneIn(std::uint64_t n) { return next() % n == 0; }
  template <std::size_t N>
  std::string_view pick(const std::string_view (&items)[N]) {
    return items[index(N)];
  }

 private:
  std::uint64_t state_;
};

class ExportWriter {
 public:
  ExportWriter(std::FILE* file, std::uint64_t links) : file_(file), linksLeft_(links) {
    buffer_.reserve(kFlushAt + 64 * 1024);
    for (std::size_t i = 0; i < kDomainCount; ++i) domains_.push_back(makeDomain());
    for (std::size_t i = 0; i < kIconCount; ++i) icons_.push_back(makeIcon());
  }

  // Writes the whole export; returns its size.
  std::uint64_t write() {
    line(0, "<!DOCTYPE NETSCAPE-Bookmark-file-1>");
    line(0, "<!-- This is an automatically generated file.");
    line(0, "     It will be read and overwritten.");
    line(0, "     DO NOT EDIT! -->");
    line(0, "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">");
    line(0, "<TITLE>Bookmarks</TITLE>");
    line(0, "<H1>Bookmarks</H1>");
    line(0, "<DL><p>");
    while (linksLeft_ > 0) folder(1, static_cast<int>(random_.between(1, 8)));
    line(0, "</DL><p>");
    flush();
    return bytes_;
  }

 private:
  // A folder at `level` (1 for the top) whose subfolders go no deeper than `deepest`. Links
  // and subfolders come mixed, as a user files them.
  void folder(int level, int deepest) {
    indent(level);
    append("<DT><H3 FOLDED ADD_DATE=\"");
    std::uint64_t added = date();
    number(added);
    append("\" LAST_MODIFIED=\"");
    number(added + random_.between(0, 90 * 24 * 3600));
    append("\">");
    words(random_.between(1, 4));
    append("</H3>");
    endLine();
    line(level, "<DL><p>");

    std::uint64_t links = linkCount();
    // One subfolder on average: every level down to `deepest` holds about as many folders as
    // the one above it, so shallow folders hold the most links.
    std::uint64_t folders = level < deepest ? random_.between(0, 2) : 0;
    while (linksLeft_ > 0 && links + folders > 0) {
      if (random_.next() % (links + folders) < folders) {
        --folders;
        folder(level + 1, deepest);
      } else {
        --links;
        link(level + 1);
      }
    }
    line(level, "</DL><p>");
  }

  // Mostly small folders, some large ones and a few huge ones.
  std::uint64_t linkCount() {
    std::uint64_t kind = random_.next() % 100;
    if (kind < 50) return random_.between(1, 12);
    if (kind < 85) return random_.between(13, 60);
    if (kind < 98) return random_.between(61, 250);
    return random_.between(251, 2000);
  }

  void link(int level) {
    --linksLeft_;
    // Popular sites are bookmarked far more often than the rest.
    std::size_t domain = random_.index(1 + random_.index(kDomainCount));
    indent(level);
    append("<DT><A HREF=\"");
    url(domain);
    append("\" ADD_DATE=\"");
    number(date());
    if (random_.oneIn(kIconEvery)) {
      append("\" ICON=\"data:image/png;base64,");
      append(icons_[domain % icons_.size()]);
    }
    append("\">");
    std::uint64_t kind = random_.next() % 100;
    if (kind < 2) {
      words(random_.between(20, 40));
    } else if (kind < 3) {
      url(domain);  // an untitled page shows its address
    } else {
      words(random_.between(1, 10));
    }
    append("</A>");
    endLine();
  }

  void url(std::size_t domain) {
    append(random_.oneIn(10) ? "http://" : "https://");
    if (random_.next() % 10 < 6) append("www.");
    append(domains_[domain]);
    for (std::uint64_t n = random_.between(0, 6); n > 0; --n) {
      append("/");
      if (random_.oneIn(3)) {
        number(random_.between(1, 99999999));
      } else {
        append(random_.pick(kPathWords));
      }
    }
    std::uint64_t kind = random_.next() % 100;
    if (kind < 25) {
      append("?q=");
      append(random_.pick(kPathWords));
      append("&id=");
      number(random_.between(1, 999999));
    } else if (kind < 26) {
      // Tracking parameters and state blobs make a few addresses very long.
      append("?utm_source=newsletter&state=");
      randomText(kAlphanumeric, random_.between(300, 1500));
    }
  }

  void words(std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) {
      if (i > 0) append(" ");
      append(random_.pick(kWords));
    }
  }

  std::string makeDomain() {
    std::string domain;
    for (std::uint64_t n = random_.between(2, 4); n > 0; --n) domain += random_.pick(kSyllables);
    domain += ".";
    domain += random_.pick(kTlds);
    return domain;
  }

  std::string makeIcon() {
    // Base64 comes in groups of four characters.
    std::size_t length =
        static_cast<std::size_t>(random_.between(kIconMinBytes / 4, kIconMaxBytes / 4)) * 4;
    std::string icon(kPngStart);
    while (icon.size() < length - 4) icon += kBase64[random_.index(kBase64.size())];
    icon += "AAAA";
    if (random_.oneIn(2)) icon.replace(icon.size() - 2, 2, "==");
    return icon;
  }

  std::uint64_t date() { return kFirstDate + random_.next() % kDateSpan; }

  void randomText(std::string_view alphabet, std::uint64_t length) {
    for (; length > 0; --length) buffer_ += alphabet[random_.index(alphabet.size())];
  }

  void number(std::uint64_t value) { append(std::to_string(value)); }

  void indent(int level) { buffer_.append(static_cast<std::size_t>(level) * 4, ' '); }

  void line(int level, std::string_view text) {
    indent(level);
    append(text);
    endLine();
  }

  void append(std::string_view text) { buffer_ += text; }

  void endLine() {
    buffer_ += "\r\n";
    if (buffer_.size() >= kFlushAt) flush();
  }

  void flush() {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      throw std::runtime_error("cannot write the bookmark export");
    }
    bytes_ += buffer_.size();
    buffer_.clear();
  }

  Random random_{kSeed};
  std::FILE* file_;
  std::uint64_t linksLeft_;
  std::uint64_t bytes_ = 0;
  std::string buffer_;
  std::vector<std::string> domains_;
  std::vector<std::string> icons_;
};

}  // namespace

std::uint64_t writeBookmarkExport(const fs::path& path, std::uint64_t links) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot create " + path.string());
  std::uint64_t bytes = 0;
  bool written = false;
  try {
    bytes = ExportWriter(file, links).write();
    written = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  } catch (...) {
    std::fclose(file);
    throw;
  }
  if (std::fclose(file) != 0 || !written) {
    throw std::runtime_error("cannot write " + path.string());
  }
  return bytes;
}
