// The page runs nothing that the export did not already hold as a link: hostile titles and
// addresses stay inside the text or the attribute value they are copied into. A small HTML
// tokenizer (the tag and attribute rules of a browser's, without the rest) reads every line the
// conversion writes; each must be exactly the tags and attributes of its kind, with the
// export's own title and address in them as they stand. And the template is read from the
// program's current directory only.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

// -- a tokenizer -----------------------------------------------------------------------------

struct HtmlToken {
  enum Kind { Text, StartTag, EndTag, Other } kind;
  std::string name;  // tag name in lower case, or the text
  std::vector<std::pair<std::string, std::string>> attributes;  // names in lower case

  bool operator==(const HtmlToken&) const = default;
};

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Splits `html` the way a browser's tokenizer does in body text: a "<" followed by a letter
// opens a tag, "</" and a letter an end tag, "<!" or "<?" a comment or declaration (reported
// as Other, as is a tag cut off by the end); any other "<" is text. Inside a tag, attribute
// values are double-quoted, single-quoted or unquoted. Character references stay as written.
std::vector<HtmlToken> tokenize(const std::string& html) {
  std::vector<HtmlToken> tokens;
  auto text = [&](const std::string& piece) {
    if (piece.empty()) return;
    if (!tokens.empty() && tokens.back().kind == HtmlToken::Text) {
      tokens.back().name += piece;
    } else {
      tokens.push_back({HtmlToken::Text, piece, {}});
    }
  };
  std::size_t i = 0, n = html.size();
  while (i < n) {
    if (html[i] != '<') {
      std::size_t next = html.find('<', i);
      if (next == std::string::npos) next = n;
      text(html.substr(i, next - i));
      i = next;
      continue;
    }
    bool end = i + 1 < n && html[i + 1] == '/';
    std::size_t nameStart = i + (end ? 2 : 1);
    if (nameStart < n && (html[nameStart] == '!' || html[nameStart] == '?')) {
      tokens.push_back({HtmlToken::Other, html.substr(i), {}});
      return tokens;
    }
    if (nameStart >= n || !isLetter(html[nameStart])) {
      text("<");
      ++i;
      continue;
    }
    HtmlToken tag{end ? HtmlToken::EndTag : HtmlToken::StartTag, "", {}};
    std::size_t p = nameStart;
    while (p < n && !isSpace(html[p]) && html[p] != '/' && html[p] != '>') tag.name += html[p++];
    tag.name = lower(tag.name);
    bool closed = false;
    while (p < n) {
      while (p < n && (isSpace(html[p]) || html[p] == '/')) ++p;
      if (p >= n) break;
      if (html[p] == '>') {
        closed = true;
        ++p;
        break;
      }
      std::string name(1, html[p++]);  // a first "=" belongs to the name
      while (p < n && !isSpace(html[p]) && html[p] != '/' && html[p] != '>' && html[p] != '=') {
        name += html[p++];
      }
      while (p < n && isSpace(html[p])) ++p;
      std::string value;
      if (p < n && html[p] == '=') {
        ++p;
        while (p < n && isSpace(html[p])) ++p;
        if (p < n && (html[p] == '"' || html[p] == '\'')) {
          char quote = html[p++];
          std::size_t close = html.find(quote, p);
          if (close == std::string::npos) {
            p = n;  // the value runs to the end: the tag is never closed
            break;
          }
          value = html.substr(p, close - p);
          p = close + 1;
        } else {
          while (p < n && !isSpace(html[p]) && html[p] != '>') value += html[p++];
        }
      }
      tag.attributes.emplace_back(lower(name), value);
    }
    if (!closed) {
      tokens.push_back({HtmlToken::Other, html.substr(i), {}});
      return tokens;
    }
    tokens.push_back(tag);
    i = p;
  }
  return tokens;
}

// -- what each line of the tree must be ------------------------------------------------------

const std::string kIndent = "&#160; &#160; &#160;";

HtmlToken textToken(const std::string& text) { return {HtmlToken::Text, text, {}}; }
HtmlToken start(const std::string& name,
                std::vector<std::pair<std::string, std::string>> attributes = {}) {
  return {HtmlToken::StartTag, name, std::move(attributes)};
}
HtmlToken endTag(const std::string& name) { return {HtmlToken::EndTag, name, {}}; }

// The tokens of a link line: indentation, the anchor with its address as its only attribute,
// the title as text, the anchor's end and a line break.
std::vector<HtmlToken> linkTokens(const std::string& indent, const std::string& url,
                                  const std::string& title) {
  std::vector<HtmlToken> tokens;
  if (!indent.empty()) tokens.push_back(textToken(indent));
  tokens.push_back(start("a", {{"href", url}}));
  if (!title.empty()) tokens.push_back(textToken(title));
  tokens.push_back(endTag("a"));
  tokens.push_back(start("br"));
  return tokens;
}

std::vector<HtmlToken> folderTokens(const std::string& indent, const std::string& n,
                                    const std::string& title) {
  std::vector<HtmlToken> tokens;
  tokens.push_back(textToken(indent));
  tokens.push_back(start("a", {{"href", "JavaScript:onClick=Display('display" + n +
                                            "');ImageChange('img" + n + "');"}}));
  tokens.push_back(start("img", {{"src", "folder1.gif"}, {"id", "img" + n}, {"border", "0"}}));
  if (!title.empty()) tokens.push_back(textToken(title));
  tokens.push_back(endTag("a"));
  tokens.push_back(start("br"));
  return tokens;
}

std::string describe(const std::vector<HtmlToken>& tokens) {
  std::string out;
  for (const HtmlToken& t : tokens) {
    switch (t.kind) {
      case HtmlToken::Text:
        out += "text[" + t.name + "] ";
        break;
      case HtmlToken::EndTag:
        out += "</" + t.name + "> ";
        break;
      case HtmlToken::Other:
        out += "OTHER[" + t.name + "] ";
        break;
      case HtmlToken::StartTag:
        out += "<" + t.name;
        for (const auto& [name, value] : t.attributes) out += " " + name + "=[" + value + "]";
        out += "> ";
        break;
    }
  }
  return out;
}

// Whether `line` (without its CR LF) reads as a tree line of some kind: a link, a folder, a
// folder's block or the end of one. Sets what it found.
bool isTreeLine(const std::string& line, std::string& url, std::string& title) {
  std::vector<HtmlToken> tokens = tokenize(line);
  std::string indent;
  std::size_t at = 0;
  if (!tokens.empty() && tokens[0].kind == HtmlToken::Text) indent = tokens[at++].name;
  for (std::size_t i = 0; i < indent.size(); i += kIndent.size()) {
    if (indent.compare(i, kIndent.size(), kIndent) != 0) return false;
  }
  if (tokens == std::vector<HtmlToken>{endTag("div")}) return true;
  if (tokens.size() == 1 && tokens[0].kind == HtmlToken::StartTag && tokens[0].name == "div") {
    const auto& a = tokens[0].attributes;
    return a.size() == 2 && a[0].first == "id" && a[0].second.rfind("display", 0) == 0 &&
           a[1].first == "style" && a[1].second == "display:none";
  }
  if (at >= tokens.size() || tokens[at].kind != HtmlToken::StartTag || tokens[at].name != "a" ||
      tokens[at].attributes.size() != 1 || tokens[at].attributes[0].first != "href") {
    return false;
  }
  url = tokens[at].attributes[0].second;
  title.clear();
  // Text between the anchor's start and end: its title (after the picture of a folder).
  for (std::size_t i = at + 1; i < tokens.size(); ++i) {
    if (tokens[i].kind == HtmlToken::Text) title = tokens[i].name;
  }
  if (url.rfind("JavaScript:onClick=Display('display", 0) == 0) {
    std::string n = url.substr(35, url.find('\'', 35) - 35);
    return tokens == folderTokens(indent, n, title);
  }
  return tokens == linkTokens(indent, url, title);
}

// The tree lines of a page made with the test template: between its first line and the last.
std::vector<std::string> treeLines(const std::string& page) {
  std::vector<std::string> lines;
  std::size_t at = page.find("\r\n") + 2;  // past the template's one line
  while (at < page.size()) {
    std::size_t end = page.find("\r\n", at);
    lines.push_back(page.substr(at, end - at));
    at = end + 2;
  }
  if (!lines.empty()) lines.pop_back();  // the trailer
  return lines;
}

std::string convert(const std::string& bookmarks) {
  TempDir dir;
  writeFile(dir.path() / "template.htm", "<HTML><BODY>\n");
  writeFile(dir.path() / "bookmarks.html", bookmarks);
  EXPECT_TRUE(testing_support::convertFresh(dir.file("bookmarks.html"), dir.file("page.htm"),
                                            dir.file("template.htm")));
  return readFile(dir.path() / "page.htm");
}

TEST(SecurityTest, TokenizerSeesInjection) {
  // The check can fail: lines that an escaping mistake would produce are caught.
  std::string url, title;
  EXPECT_TRUE(isTreeLine(kIndent + "<A HREF=\"u\">t</A><BR>", url, title));
  for (const char* injected : {
           "<A HREF=\"u\" onmouseover=\"x()\">t</A><BR>",
           "<A HREF=\"u\">t<script>x()</script></A><BR>",
           "<A HREF=\"u\">t</A><BR><IMG SRC=x onerror=x()>",
           "<A HREF=\"u\"\">t</A><BR>",
           "<A HREF=\"u>t</A><BR>",
           "<A HREF=\"u\">t<!--</A><BR>",
           "<A HREF=\"JavaScript:onClick=Display('display1');ImageChange('img1');\"><IMG "
           "SRC=\"folder1.gif\" ID=\"img1\" BORDER=\"0\" onload=\"x()\">t</A><BR>",
       }) {
    SCOPED_TRACE(injected);
    EXPECT_FALSE(isTreeLine(injected, url, title)) << describe(tokenize(injected));
  }
}

TEST(SecurityTest, HostileTitlesAndAddressesStayWhereTheyBelong) {
  struct Row {
    const char* name;
    std::string line;   // of the bookmark file
    std::string url;    // what the page's anchor must point to: the export's own address
    std::string title;  // and the text it must show
  } rows[] = {
      {"TitleWithQuotesAndHandler",
       "<DT><A HREF=\"http://a/\" ADD_DATE=\"1\">x\" onmouseover=\"alert(1)\" y='</A>", "http://a/",
       "x\" onmouseover=\"alert(1)\" y='"},
      {"TitleWithClosingBrackets",
       "<DT><A HREF=\"http://a/\" A=\"1\">a > b\"> onload=alert(1)//</A>", "http://a/",
       "a > b\"> onload=alert(1)//"},
      {"TitleWithReferences", "<DT><A HREF=\"http://a/\" A=\"1\">&lt;script&gt;&#34;&quot;</A>",
       "http://a/", "&lt;script&gt;&#34;&quot;"},
      {"TitleCannotOpenATag",
       "<DT><A HREF=\"http://a/\" A=\"1\">before<script>alert(1)</script></A>", "http://a/",
       "before"},
      {"AddressWithTagsInside", "<DT><A HREF=\"x><script>alert(1)</script><b \" A=\"1\">t</A>",
       "x><script>alert(1)</script><b ", "t"},
      {"AddressWithSingleQuotes", "<DT><A HREF=\"x' onload='alert(1)\" A=\"1\">t</A>",
       "x' onload='alert(1)", "t"},
      {"AddressClosedEarlyLosesTheHandler", "<DT><A HREF=\"http://a/\" onclick=\"alert(1)\">t</A>",
       "http://a/", "t"},
      {"EmptyAddressTakesTheNextName", "<DT><A HREF=\"\" onclick=\"alert(1)\">t</A>",
       " onclick=", "t"},
      {"ScriptAddressAsExported",
       "<DT><A HREF=\"javascript:alert(document.cookie)\" A=\"1\">js</A>",
       "javascript:alert(document.cookie)", "js"},
      {"DataAddressAsExported",
       "<DT><A HREF=\"data:text/html,<script>alert(1)</script>\" A=\"1\">d</A>",
       "data:text/html,<script>alert(1)</script>", "d"},
      {"FallbackTitleWritesBracketsAsReferences",
       "<DT><A HREF=\"http://e/<script>alert(1)</script>\"></A>",
       "http://e/<script>alert(1)</script>", "http://e/&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"FallbackTitleFromText", "<DT><A HREF=\"http://s/\">x\" onload=\"y</A>", "http://s/",
       "x\" onload=\"y"},
      {"CommentMarkersInTitle", "<DT><A HREF=\"http://a/\" A=\"1\">--> <!-- ]]></A>", "http://a/",
       "--> "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> lines = treeLines(convert(row.line + "\n"));
    ASSERT_EQ(lines.size(), 1u);
    std::string url, title;
    EXPECT_TRUE(isTreeLine(lines[0], url, title)) << describe(tokenize(lines[0]));
    EXPECT_EQ(url, row.url);
    EXPECT_EQ(title, row.title);
  }

  // Folder titles go into the text after the folder's picture, and nowhere else.
  std::vector<std::string> lines =
      treeLines(convert("<DT><H3 FOLDED ADD_DATE=\"1\">f\" onclick=\"alert(1)\"> x' y</H3>\n"));
  ASSERT_EQ(lines.size(), 2u);
  std::string url, title;
  EXPECT_TRUE(isTreeLine(lines[0], url, title)) << describe(tokenize(lines[0]));
  EXPECT_EQ(title, "f\" onclick=\"alert(1)\"> x' y");
  EXPECT_TRUE(isTreeLine(lines[1], url, title)) << describe(tokenize(lines[1]));
}

TEST(SecurityTest, EveryLineOfRealExportsIsATreeLine) {
  int checked = 0;
  for (const char* folder : {"pages", "samples"}) {
    for (const auto& entry : fs::directory_iterator(testing_support::testDataDir() / folder)) {
      if (entry.path().extension() != ".html") continue;
      SCOPED_TRACE(entry.path().filename().string());
      for (const std::string& line : treeLines(convert(readFile(entry.path())))) {
        std::string url, title;
        EXPECT_TRUE(isTreeLine(line, url, title)) << line << "\n" << describe(tokenize(line));
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 100);
}

TEST(SecurityTest, TemplateOnlyFromTheCurrentDirectory) {
  // Templates planted beside the dropped file and in the output folder are never read, nor is
  // the shipped one beside the test program and the library: the page starts with the one in
  // the current directory.
  testing_support::ProgramRun run;
  writeFile(run.home() / "b.htm", testing_support::kBookmarks);
  fs::create_directory(run.output());
  const std::string planted = "<SCRIPT>planted()</SCRIPT>\n";
  writeFile(run.home() / "source_normal.htm", planted);
  writeFile(run.output() / "source_normal.htm", planted);
  EXPECT_EQ(run.drop({(run.home() / "b.htm").string()}), "");
  std::string page = readFile(run.output() / "Quillmap.htm");
  EXPECT_EQ(page.find("planted"), std::string::npos);
  EXPECT_EQ(page, run.expectedPage(run.home() / "b.htm"));
}

}  // namespace
