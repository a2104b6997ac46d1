// The line classifier: each row is one line, what it is taken to be and what it yields.
#include "classifier.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Row {
  const char* name;
  std::string line;
  LineKind kind;
  std::string url;    // expected url (rows that leave the record alone expect "unchanged")
  std::string title;  // expected title
  int depthChange;    // change of nestingDepth; a Link or Folder records the depth after it
};

const std::string kUnchanged = "unchanged";

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      {"EmptyLine", "", LineKind::Ignored, kUnchanged, kUnchanged, 0},
      {"Header", "<!DOCTYPE NETSCAPE-Bookmark-file-1>", LineKind::Ignored, kUnchanged, kUnchanged,
       0},
      {"ListOpen", "<DL><p>", LineKind::Ignored, kUnchanged, kUnchanged, 0},
      {"ListClose", "</DL><p>", LineKind::ListClose, kUnchanged, kUnchanged, -1},
      {"OpenAndCloseOnOneLine", "<DL></DL>", LineKind::Ignored, kUnchanged, kUnchanged, 0},
      {"TwoListEnds", "</DL></DL>", LineKind::ListClose, kUnchanged, kUnchanged, -1},
      {"Link", "<DT><A HREF=\"http://a.example/\" ADD_DATE=\"1\">Title</A>", LineKind::Link,
       "http://a.example/", "Title", 0},
      {"Folder", "<DT><H3 FOLDED ADD_DATE=\"1\">Folder</H3>", LineKind::Folder, kUnchanged,
       "Folder", 1},
      {"LinkWithListEnd", "<DT><A HREF=\"u\" X=\"1\">T</A></DL>", LineKind::Link, "u", "T", 0},
      {"LinkWithFolder", "<A HREF=\"u\" X=\"1\">T</A><H3 FOLDED>F</H3>", LineKind::Link, "u",
       "T", 0},
      {"FolderWithListEnd", "<DT><H3 FOLDED>F</H3></DL>", LineKind::Folder, kUnchanged, "F", 1},
      {"FirstOfTwoAnchors", "<A HREF=\"one\" X=\"\">1</A><A HREF=\"two\" X=\"\">2</A>",
       LineKind::Link, "one", "1", 0},
      {"FolderWithoutFolded", "<DT><H3 ADD_DATE=\"1\">F</H3>", LineKind::Ignored, kUnchanged,
       kUnchanged, 0},
      {"FoldedNotFirst", "<H3  OBJECT_TYPE=\"LINK\" FOLDED>F</H3>", LineKind::Ignored, kUnchanged,
       kUnchanged, 0},
      {"LowerCase", "<dt><a href=\"u\" x=\"1\">t</a>", LineKind::Ignored, kUnchanged, kUnchanged,
       0},
      {"TwoBlanks", "<A  HREF=\"u\" X=\"1\">t</A>", LineKind::Ignored, kUnchanged, kUnchanged, 0},
      {"AttributeBeforeHref", "<A ID=\"1\" HREF=\"u\">t</A>", LineKind::Ignored, kUnchanged,
       kUnchanged, 0},
      {"BlankBeforeEquals", "<A HREF =\"u\">t</A>", LineKind::Ignored, kUnchanged, kUnchanged, 0},
      {"Tab", "<A\tHREF=\"u\">t</A>", LineKind::Ignored, kUnchanged, kUnchanged, 0},
      // An anchor without attributes after HREF yields no title token: its own text stands in.
      {"NoAttributeAfterHref", "<DT><A HREF=\"http://s.example/\">Safari</A>", LineKind::Link,
       "http://s.example/", "Safari", 0},
      {"NoAttributeTextAfterClosingTag", "<A HREF=\"u\">T</A> tail", LineKind::Link, "u",
       " tail", 0},
      {"NoAttributeEmptyText", "<A HREF=\"http://e.example/a<b>\"></A>", LineKind::Link,
       "http://e.example/a<b>", "http://e.example/a&lt;b&gt;", 0},
      {"EmptyHref", "<A HREF=\"\" ADD_DATE=\"5\">T</A>", LineKind::Link, " ADD_DATE=", "T", 0},
      {"EmptyHrefNoThirdQuote", "<A HREF=\"\">T</A>", LineKind::Link, ">T</A>",
       "&gt;T&lt;/A&gt;", 0},
      {"UnquotedHref", "<A HREF=http://x ADD_DATE=\"7\">T</A>", LineKind::Link, "7", "T", 0},
      {"NoQuoteAtAll", "<A HREF=x>T</A>", LineKind::Link, "", "T", 0},
      {"NoQuoteNoText", "<A HREF=x", LineKind::Link, "", "", 0},
      {"UnclosedUrl", "<A HREF=\"http://x>T</A>", LineKind::Link, "http://x>T</A>",
       "http://x&gt;T&lt;/A&gt;", 0},
      {"FolderEmptyName", "<DT><H3 FOLDED></H3>", LineKind::Folder, kUnchanged, "/H3>", 1},
      {"FolderNoClosingBracket", "<DT><H3 FOLDED ADD_DATE=\"1\"", LineKind::Folder, kUnchanged, "",
       1},
      {"FolderNothingAfterBracket", "<DT><H3 FOLDED>", LineKind::Folder, kUnchanged, "", 1},
      {"ReferencesAndHighBytes",
       "<A HREF=\"http://x/\xE6\x97\xA5?a=1&amp;b\" X=\"\">caf\xC3\xA9 &lt;&#160;</A>",
       LineKind::Link, "http://x/\xE6\x97\xA5?a=1&amp;b", "caf\xC3\xA9 &lt;&#160;", 0},
      {"LongTokens",
       "<A HREF=\"" + std::string(5000, 'u') + "\" X=\"\">" + std::string(5000, 't') + "</A>",
       LineKind::Link, std::string(5000, 'u'), std::string(5000, 't'), 0},
      {"ExactlyFieldSize",
       "<A HREF=\"" + std::string(511, 'u') + "\" X=\"\">" + std::string(511, 't') + "</A>",
       LineKind::Link, std::string(511, 'u'), std::string(511, 't'), 0},
  };
  return table;
}

TEST(ClassifierTest, Table) {
  for (const Row& row : rows()) {
    SCOPED_TRACE(row.name);
    nestingDepth = 5;
    BookmarkEntry entry{kUnchanged, kUnchanged, -99};
    std::vector<char> line(row.line.begin(), row.line.end());
    line.push_back('\0');

    EXPECT_EQ(classifyLine(entry, line.data()), row.kind);
    EXPECT_EQ(entry.url, row.url);
    EXPECT_EQ(entry.title, row.title);
    EXPECT_EQ(nestingDepth, 5 + row.depthChange);
    bool recordsDepth = row.kind == LineKind::Link || row.kind == LineKind::Folder;
    EXPECT_EQ(entry.depth, recordsDepth ? nestingDepth : -99);
  }
}

TEST(ClassifierTest, WellFormedDepths) {
  const char* lines[] = {
      "<DL><p>",
      "<DT><A HREF=\"top\" X=\"\">top</A>",
      "<DT><H3 FOLDED>F</H3>",
      "<DL><p>",
      "<DT><A HREF=\"in\" X=\"\">in</A>",
      "<DT><H3 FOLDED>G</H3>",
      "<DL><p>",
      "</DL><p>",
      "</DL><p>",
      "</DL><p>",
  };
  const int expected[] = {-1, 1, 2, -1, 2, 3, -1, -1, -1, -1};  // -1: no depth recorded
  nestingDepth = 1;
  BookmarkEntry entry;
  for (std::size_t i = 0; i < std::size(lines); ++i) {
    SCOPED_TRACE(lines[i]);
    std::string line = lines[i];
    entry.depth = -1;
    classifyLine(entry, line.data());
    EXPECT_EQ(entry.depth, expected[i]);
  }
  EXPECT_EQ(nestingDepth, 0);
}

TEST(ClassifierTest, FolderKeepsEarlierUrl) {
  nestingDepth = 1;
  BookmarkEntry entry;
  std::string link = "<A HREF=\"kept\" X=\"\">L</A>";
  std::string folder = "<H3 FOLDED>F</H3>";
  classifyLine(entry, link.data());
  EXPECT_EQ(classifyLine(entry, folder.data()), LineKind::Folder);
  EXPECT_EQ(entry.url, "kept");
  EXPECT_EQ(entry.title, "F");
}

TEST(ClassifierTest, TokenizerContinuesAndRestores) {
  std::string text = "\"\"a\"\"b\"";
  std::string original = text;
  Tokenizer tokenizer;
  EXPECT_STREQ(tokenizer.next(text.data(), '"'), "a");
  EXPECT_STREQ(tokenizer.next(nullptr, '"'), "b");
  EXPECT_EQ(tokenizer.next(nullptr, '"'), nullptr);
  EXPECT_EQ(tokenizer.next(nullptr, '"'), nullptr);
  tokenizer.restore();
  EXPECT_EQ(text, original);
}

}  // namespace
