// The conversion rules once more, with plain loops and std::string.
#include "reference_converter.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

const std::string kIndentUnit = "&#160; &#160; &#160;";
const std::string kCrLf = "\r\n";

// The input cut into lines: LF or CR LF ends a line, a lone CR is kept, a byte 0x1A ends the
// input, and a last line without a line end counts when it holds anything.
std::vector<std::string> splitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string current;
  for (char c : bytes) {
    if (c == '\x1A') break;
    if (c == '\n') {
      if (!current.empty() && current.back() == '\r') current.pop_back();
      lines.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

// strtok over a copy of the line: every call names its delimiter and carries on where the
// previous one stopped; delimiters in front of a token are passed over.
class Splitter {
 public:
  Splitter(std::string text, std::size_t from) : text_(std::move(text)), at_(from) {}

  // The next token in `token`; false when only delimiters are left.
  bool next(char delimiter, std::string& token) {
    while (at_ < text_.size() && text_[at_] == delimiter) ++at_;
    if (at_ == text_.size()) return false;
    std::size_t end = text_.find(delimiter, at_);
    if (end == std::string::npos) end = text_.size();
    token = text_.substr(at_, end - at_);
    at_ = end == text_.size() ? end : end + 1;  // past the delimiter, if there is one
    return true;
  }

  std::size_t position() const { return at_; }

 private:
  std::string text_;
  std::size_t at_;
};

std::string indent(std::int64_t units) {
  std::string text;
  for (std::int64_t i = 0; i < units; ++i) text += kIndentUnit;
  return text;
}

}  // namespace

std::string referenceTreeLines(std::string_view bookmarks) {
  std::string page;
  std::int64_t depth = 1;
  std::int64_t folders = 0;
  for (std::string line : splitLines(bookmarks)) {
    // A zero byte ends the line for everything that reads it.
    line = line.substr(0, line.find('\0'));

    std::size_t anchor = line.find("<A HREF=");
    std::size_t heading = line.find("<H3 FOLDED");
    if (anchor != std::string::npos) {
      // The address is the second piece between quotation marks from the anchor on, the title
      // the text after the next ">" up to the next "<".
      Splitter splitter(line, anchor);
      std::string before, url, tag, title;
      splitter.next('"', before);
      bool hasUrl = splitter.next('"', url);
      if (!hasUrl) url = "";
      std::size_t afterUrl = hasUrl ? splitter.position() : anchor;
      splitter.next('>', tag);  // the rest of the tag, passed over
      bool hasTitle = splitter.next('<', title);
      if (!hasTitle) {
        // The anchor's own text after the address, or else the address with its angle
        // brackets written as references.
        title = "";
        std::size_t open = line.find('>', afterUrl);
        if (open != std::string::npos) {
          std::size_t close = line.find('<', open + 1);
          if (close == std::string::npos) close = line.size();
          title = line.substr(open + 1, close - (open + 1));
        }
        if (title.empty()) {
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
      }
      page += indent(1 + std::max<std::int64_t>(0, depth)) + "<A HREF=\"" + url + "\">" + title +
              "</A><BR>" + kCrLf;
    } else if (heading != std::string::npos) {
      depth = depth + 1;
      folders = folders + 1;
      Splitter splitter(line, heading);
      std::string tag, title;
      splitter.next('>', tag);
      if (!splitter.next('<', title)) title = "";
      std::string n = std::to_string(folders);
      page += indent(std::max<std::int64_t>(1, depth)) +
              "<A HREF=\"JavaScript:onClick=Display('display" + n + "');ImageChange('img" + n +
              "');\"><IMG SRC=\"folder1.gif\" ID=\"img" + n + "\" BORDER=\"0\">" + title +
              "</A><BR>" + kCrLf;
      page += "<DIV ID=\"display" + n + "\" STYLE=\"display:none\">" + kCrLf;
    } else if (line.find("<DL>") != std::string::npos) {
      // A list start, even when the line also holds a list end: nothing to write.
    } else if (line.find("</DL>") != std::string::npos) {
      depth = depth - 1;
      page += "</DIV>" + kCrLf;
    }
  }
  page += "</BODY></HTML>" + kCrLf;
  return page;
}
