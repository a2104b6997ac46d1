// The built library through its one export, loaded at run time as the program loads it: whole
// pages compared byte for byte, the results of every failure, and the state kept per load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::convertFresh;
using testing_support::Library;
using testing_support::listFolder;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string kTemplate = "<HTML>\n<HEAD><TITLE>t</TITLE></HEAD>\n<BODY>\n";
const std::string kTemplatePage = "<HTML>\r\n<HEAD><TITLE>t</TITLE></HEAD>\r\n<BODY>\r\n";
const std::string kTrailer = "</BODY></HTML>\r\n";
const std::string kIndent = "&#160; &#160; &#160;";

std::string linkLine(int units, const std::string& url, const std::string& title) {
  std::string line;
  for (int i = 0; i < units; ++i) line += kIndent;
  return line + "<A HREF=\"" + url + "\">" + title + "</A><BR>\r\n";
}

// Reports the first line where two pages differ, rather than two walls of text.
testing::AssertionResult samePage(const std::string& actual, const std::string& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  std::size_t at = 0, line = 1;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
    if (actual[at] == '\n') ++line;
    ++at;
  }
  auto excerpt = [at](const std::string& text) {
    std::size_t start = text.rfind('\n', at == 0 ? 0 : at - 1);
    start = start == std::string::npos ? 0 : start + 1;
    return text.substr(start, std::min<std::size_t>(200, text.size() - start));
  };
  return testing::AssertionFailure() << "pages differ at line " << line << " (byte " << at
                                     << ")\n actual:   " << excerpt(actual)
                                     << "\n expected: " << excerpt(expected);
}

// A scratch folder with the test template in it.
class Scratch {
 public:
  Scratch() { writeFile(templatePath(), kTemplate); }
  std::string file(const std::string& name) const { return dir_.file(name); }
  std::string templatePath() const { return dir_.file("template.htm"); }
  std::string page() const { return dir_.file("page.htm"); }
  const fs::path& path() const { return dir_.path(); }

  // Converts `bookmarks` in a fresh load; returns the page, or "<result 0>".
  std::string convert(const std::string& bookmarks) const {
    writeFile(file("bookmarks.html"), bookmarks);
    if (!convertFresh(file("bookmarks.html"), page(), templatePath())) return "<result 0>";
    return readFile(page());
  }

 private:
  TempDir dir_;
};

TEST(ReadAndWriteTest, GoldenPages) {
  // Every NAME.html under these folders has its expected page beside it as NAME.expected.htm,
  // made with the template there.
  int compared = 0;
  for (const char* folder : {"pages", "samples"}) {
    fs::path dir = testing_support::testDataDir() / folder;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().extension() != ".html") continue;
      SCOPED_TRACE(entry.path().string());
      fs::path expected = entry.path();
      expected.replace_extension(".expected.htm");
      TempDir out;
      std::string page = out.file("page.htm");
      ASSERT_TRUE(convertFresh(entry.path().string(), page,
                               (testing_support::testDataDir() / "template.htm").string()));
      EXPECT_TRUE(samePage(readFile(page), readFile(expected)));
      ++compared;
    }
  }
  EXPECT_GE(compared, 10);
}

TEST(ReadAndWriteTest, LineEndsGiveTheSamePage) {
  std::string lf = readFile(testing_support::testDataDir() / "pages" / "nested.html");
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  Scratch scratch;
  std::string fromLf = scratch.convert(lf);
  EXPECT_NE(fromLf, "<result 0>");
  EXPECT_TRUE(samePage(scratch.convert(crlf), fromLf));
  // Without a line end after the last line, that line is still converted.
  EXPECT_TRUE(samePage(scratch.convert(lf.substr(0, lf.size() - 1)), fromLf));
}

TEST(ReadAndWriteTest, SmallInputs) {
  std::string link = "<DT><A HREF=\"http://x/\" A=\"1\">x</A>\n";
  struct Case {
    const char* name;
    std::string bookmarks;
    std::string tree;  // expected page between the template and the trailer
  } cases[] = {
      {"Empty", "", ""},
      {"LinksOnly", "<DL><p>\n" + link + link + "</DL><p>\n",
       linkLine(2, "http://x/", "x") + linkLine(2, "http://x/", "x") + "</DIV>\r\n"},
      {"EndOfFileByte", link + "\x1A" + link, linkLine(2, "http://x/", "x")},
      {"ZeroByteHidesRestOfLine",
       std::string("<DT>\0<A HREF=\"http://x/\" A=\"1\">x</A>\n", 37) + link,
       linkLine(2, "http://x/", "x")},
      {"LoneCRInsideLine", "<DT><A HREF=\"a\rb\" A=\"1\">x</A>\n", linkLine(2, "a\rb", "x")},
      {"MoreListEndsThanFolders", "</DL>\n</DL>\n" + link, "</DIV>\r\n</DIV>\r\n" +
                                                           linkLine(1, "http://x/", "x")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    EXPECT_TRUE(samePage(scratch.convert(c.bookmarks), kTemplatePage + c.tree + kTrailer));
  }
}

TEST(ReadAndWriteTest, LinesOfAnyLength) {
  // Lines of 1,023, 1,024 and 5,000 characters and one far longer, all converted whole.
  std::vector<std::string> urls = {std::string(1023 - 37, 'a'), std::string(1024 - 37, 'b'),
                                   std::string(5000 - 37, 'c'), std::string(3000000, 'd')};
  std::string bookmarks, tree;
  for (const std::string& url : urls) {
    std::string line = "<DT><A HREF=\"" + url + "\" ADD_DATE=\"1\">title</A>";
    bookmarks += line + "\n";
    tree += linkLine(2, url, "title");
  }
  ASSERT_EQ(bookmarks.find('\n'), 1023u);
  Scratch scratch;
  std::string longTemplate = std::string(4000, 'T') + "\n";
  writeFile(scratch.templatePath(), longTemplate);
  EXPECT_TRUE(samePage(scratch.convert(bookmarks), std::string(4000, 'T') + "\r\n" + tree + kTrailer));
}

TEST(ReadAndWriteTest, StateCarriesOnWithinOneLoadAndStartsAfreshAfterUnload) {
  Scratch scratch;
  std::string folder = "<DT><H3 FOLDED>F</H3>\n<DL><p>\n";
  writeFile(scratch.file("open.html"), folder);  // leaves the depth one up
  writeFile(scratch.file("link.html"), "<DT><H3 FOLDED>G</H3>\n<DT><A HREF=\"u\" A=\"\">t</A>\n");
  auto firstFolderNumber = [&](const std::string& page) {
    std::size_t at = readFile(page).find("Display('display");
    return at == std::string::npos ? -1 : std::stoi(readFile(page).substr(at + 16));
  };
  for (int load = 0; load < 2; ++load) {
    SCOPED_TRACE("load " + std::to_string(load));
    Library library;
    ASSERT_TRUE(library.loaded());
    ASSERT_TRUE(library.readAndWrite(scratch.file("open.html"), scratch.page(),
                                     scratch.templatePath()));
    EXPECT_EQ(firstFolderNumber(scratch.page()), 1);
    ASSERT_TRUE(library.readAndWrite(scratch.file("link.html"), scratch.file("second.htm"),
                                     scratch.templatePath()));
    // The second page numbers on from the first, and its depths start one level deeper.
    std::string second = readFile(scratch.file("second.htm"));
    EXPECT_EQ(firstFolderNumber(scratch.file("second.htm")), 2);
    EXPECT_NE(second.find("\r\n" + kIndent + kIndent + kIndent + kIndent + "<A HREF=\"u\">t</A>"),
              std::string::npos);
  }
}

TEST(ReadAndWriteTest, FailuresLeaveEverythingAsItWas) {
  const std::string earlier = "an earlier page\r\n";
  const std::string bookmarks = "<DL><p>\n<DT><A HREF=\"u\" A=\"\">t</A>\n</DL>\n";
  struct Case {
    const char* name;
    // Prepares the scratch folder and returns {bookmark path, page path, template path}.
    std::vector<std::string> (*prepare)(const Scratch&);
  } cases[] = {
      {"MissingBookmarkFile",
       [](const Scratch& s) -> std::vector<std::string> {
         return {s.file("missing.html"), s.page(), s.templatePath()};
       }},
      {"BookmarkFileIsFolder",
       [](const Scratch& s) -> std::vector<std::string> {
         fs::create_directory(s.file("folder.html"));
         return {s.file("folder.html"), s.page(), s.templatePath()};
       }},
      {"PageInMissingFolder",
       [](const Scratch& s) -> std::vector<std::string> {
         return {s.file("bookmarks.html"), s.file("nowhere/page.htm"), s.templatePath()};
       }},
      {"PageIsFolder",
       [](const Scratch& s) -> std::vector<std::string> {
         fs::create_directory(s.file("dir.htm"));
         return {s.file("bookmarks.html"), s.file("dir.htm"), s.templatePath()};
       }},
      {"PageIsReadOnly",
       [](const Scratch& s) -> std::vector<std::string> {
         fs::permissions(s.page(), fs::perms::owner_read | fs::perms::group_read |
                                       fs::perms::others_read);
         return {s.file("bookmarks.html"), s.page(), s.templatePath()};
       }},
      {"MissingTemplate",
       [](const Scratch& s) -> std::vector<std::string> {
         return {s.file("bookmarks.html"), s.page(), s.file("missing.htm")};
       }},
      {"TemplateIsFolder",
       [](const Scratch& s) -> std::vector<std::string> {
         fs::create_directory(s.file("tdir.htm"));
         return {s.file("bookmarks.html"), s.page(), s.file("tdir.htm")};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    writeFile(scratch.file("bookmarks.html"), bookmarks);
    writeFile(scratch.page(), earlier);
    std::vector<std::string> paths = c.prepare(scratch);
    std::string before = listFolder(scratch.path());

    EXPECT_FALSE(convertFresh(paths[0], paths[1], paths[2]));
    EXPECT_EQ(listFolder(scratch.path()), before);  // nothing created, no temporary file left
    EXPECT_EQ(readFile(scratch.page()), earlier);
    EXPECT_EQ(readFile(scratch.file("bookmarks.html")), bookmarks);
  }
}

TEST(ReadAndWriteTest, SuccessReplacesPageAndLeavesNothingElse) {
  Scratch scratch;
  writeFile(scratch.page(), "an earlier page that was longer than the new one\r\n");
  std::string page = scratch.convert("<DT><A HREF=\"u\" A=\"\">t</A>\n");
  EXPECT_EQ(page, kTemplatePage + linkLine(2, "u", "t") + kTrailer);
  EXPECT_EQ(listFolder(scratch.path()), "bookmarks.html page.htm template.htm");
}

}  // namespace
