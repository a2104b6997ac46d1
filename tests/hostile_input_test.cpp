// Unusual and hostile input on every platform: file names that shells and URLs treat
// specially, and bookmark files that are nothing like an export. Each is converted whole,
// exactly as the design says, or refused with its message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drop_handler.h"
#include "support/drop_checks.h"
#include "support/program_run.h"
#include "support/snapshot.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::snapshot;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string kTemplate = "<HTML><BODY>\n";
const std::string kTemplatePage = "<HTML><BODY>\r\n";
const std::string kTrailer = "</BODY></HTML>\r\n";

std::string indent(long units) {
  std::string text;
  for (long i = 0; i < units; ++i) text += "&#160; &#160; &#160;";
  return text;
}

std::string linkLine(long units, const std::string& url, const std::string& title) {
  return indent(units) + "<A HREF=\"" + url + "\">" + title + "</A><BR>\r\n";
}

std::string folderLines(long units, int serial, const std::string& title) {
  std::string n = std::to_string(serial);
  return indent(units) + "<A HREF=\"JavaScript:onClick=Display('display" + n +
         "');ImageChange('img" + n + "');\"><IMG SRC=\"folder1.gif\" ID=\"img" + n +
         "\" BORDER=\"0\">" + title + "</A><BR>\r\n<DIV ID=\"display" + n +
         "\" STYLE=\"display:none\">\r\n";
}

TEST(HostileInputTest, FileAndFolderNames) {
  // Names a shell, a URL or a command line would take apart; all are plain bytes to the program.
  struct Row {
    std::string folder;  // under the user's folder; "" for the user's folder itself
    std::string file;
  } rows[] = {
      {"", "my bookmarks.htm"},
      {"", "#1 100% it's (copy).html"},
      {"", "%20%00%s%n.htm"},
      {"", "-rf.htm"},
      {"", "--help.html"},
      {"", "a;b&c$(x)`y`.htm"},
      {"", "[x] {y} ~z! +=,@.htm"},
      {"", ". leading dot.htm"},
      {"", "..htm"},
      {"-n folder #2 %41 ;&", "b.htm"},
      {"folder.named.html", "b.htm"},
      {"two/levels deep -x", "--.htm"},
  };
  for (const Row& row : rows) testing_support::expectNameConverts(row.folder, row.file);
}

// Converts `bookmarks` with the test template in a fresh load; the page, or "<result 0>".
std::string convert(const std::string& bookmarks) {
  TempDir dir;
  writeFile(dir.path() / "template.htm", kTemplate);
  writeFile(dir.path() / "bookmarks.html", bookmarks);
  if (!testing_support::convertFresh(dir.file("bookmarks.html"), dir.file("page.htm"),
                                     dir.file("template.htm"))) {
    return "<result 0>";
  }
  return readFile(dir.path() / "page.htm");
}

// A chain of `levels` folders, each inside the one before, with one link in the innermost,
// and the page the design makes of it.
struct Nesting {
  std::string bookmarks;
  std::string tree;
};

Nesting nested(int levels) {
  Nesting n;
  n.bookmarks = "<DL><p>\n";
  for (int i = 1; i <= levels; ++i) {
    n.bookmarks += "    <DT><H3 FOLDED ADD_DATE=\"1\">F" + std::to_string(i) + "</H3>\n<DL><p>\n";
    // Folder i is one level deeper than the list it is in.
    n.tree += folderLines(1 + i, i, "F" + std::to_string(i));
  }
  n.bookmarks += "<DT><A HREF=\"http://deep/\" ADD_DATE=\"1\">deep</A>\n";
  n.tree += linkLine(levels + 2, "http://deep/", "deep");
  for (int i = 0; i <= levels; ++i) {
    n.bookmarks += "</DL><p>\n";
    n.tree += "</DIV>\r\n";
  }
  return n;
}

TEST(HostileInputTest, BookmarkFilesUnlikeAnExport) {
  const std::string link = "<DT><A HREF=\"http://a/\" ADD_DATE=\"1\">A</A>";
  std::string manyLinksOnOneLine;
  for (int i = 0; i < 100000; ++i) manyLinksOnOneLine += link + "\r";
  std::string listEnds;
  for (int i = 0; i < 1000; ++i) listEnds += "</DL><p>\n";
  std::string closedDivs;
  for (int i = 0; i < 1000; ++i) closedDivs += "</DIV>\r\n";
  Nesting deep = nested(500);
  struct Case {
    const char* name;
    std::string bookmarks;
    std::string tree;  // the page between the template and the trailer
  } cases[] = {
      {"NulBytesOnly", std::string(1 << 20, '\0'), ""},
      {"NulBytesBetweenLineEnds", std::string(1000, '\0') + "\n" + std::string(1000, '\0') + "\n",
       ""},
      // A lone CR ends no line: the whole file is one line, and a line yields one link.
      {"OnlyCarriageReturns",
       "<DL><p>\r<DT><H3 FOLDED>F</H3>\r<DL><p>\r" + link + "\r</DL><p>\r</DL><p>\r",
       linkLine(2, "http://a/", "A")},
      {"OnlyCarriageReturnsLong", manyLinksOnOneLine, linkLine(2, "http://a/", "A")},
      // The depth goes to -999: folder and link keep the least indentation, and the folder is
      // still number 1.
      {"MoreListEndsThanFolders", listEnds + "<DT><H3 FOLDED>F</H3>\n" + link + "\n</DL><p>\n",
       closedDivs + folderLines(1, 1, "F") + linkLine(1, "http://a/", "A") + "</DIV>\r\n"},
      {"FiveHundredLevels", deep.bookmarks, deep.tree},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string page = convert(c.bookmarks);
    std::string expected = kTemplatePage + c.tree + kTrailer;
    EXPECT_EQ(page.size(), expected.size());
    EXPECT_TRUE(page == expected) << "the page differs from the expected one";
  }
}

}  // namespace
