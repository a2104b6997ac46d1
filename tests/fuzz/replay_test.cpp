// The fuzz target's checks as an ordinary test: every seed of the fuzz corpus and every input a
// fuzz run found a fault with goes through the conversion and the checks, at every read size;
// the reference converter reproduces the golden pages; and each check catches the page fault
// it is there for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "conversion_check.h"
#include "reference_converter.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::testDataDir;

// The files in `folder` whose names end in `extension` (any name when it is empty), sorted.
std::vector<fs::path> filesIn(const fs::path& folder, const std::string& extension) {
  std::vector<fs::path> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    if (!extension.empty() && entry.path().extension() != extension) continue;
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(FuzzReplayTest, SeedsAndFindings) {
  std::vector<fs::path> inputs;
  for (const char* folder : {"pages", "samples"}) {
    for (const fs::path& file : filesIn(testDataDir() / folder, ".html")) inputs.push_back(file);
  }
  for (const char* folder : {"seeds", "regressions"}) {
    for (const fs::path& file : filesIn(fs::path(QUILLMAP_FUZZ_DIR) / folder, "")) {
      inputs.push_back(file);
    }
  }
  ASSERT_GE(inputs.size(), 15u) << "the seeds are missing";
  for (const fs::path& input : inputs) {
    std::string bookmarks = readFile(input);
    for (std::size_t readSize : kReadSizes) {
      EXPECT_EQ(checkConversion(bookmarks, readSize), "")
          << input.string() << ", read size " << readSize;
    }
  }
}

TEST(FuzzReplayTest, ReferenceMatchesGoldenPages) {
  // The golden pages start with the fixtures' template, whose lines end in LF alone.
  std::string templatePage;
  for (char c : readFile(testDataDir() / "template.htm")) {
    templatePage += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  int compared = 0;
  for (const char* folder : {"pages", "samples"}) {
    for (const fs::path& input : filesIn(testDataDir() / folder, ".html")) {
      SCOPED_TRACE(input.string());
      fs::path expected = input;
      expected.replace_extension(".expected.htm");
      EXPECT_EQ(templatePage + referenceTreeLines(readFile(input)), readFile(expected));
      ++compared;
    }
  }
  EXPECT_GE(compared, 12);
}

TEST(FuzzReplayTest, ChecksCatchWrongPages) {
  const std::string bookmarks =
      "<DL><p>\n<DT><H3 FOLDED>A</H3>\n<DL><p>\n<DT><A HREF=\"u\" X=\"1\">T</A>\n</DL><p>\n"
      "<DT><H3 FOLDED>B</H3>\n<DL><p>\n</DL><p>\n</DL><p>\n";
  std::string page;
  ASSERT_TRUE(convertInMemory(bookmarks, 4096, page));
  ASSERT_EQ(pageFault(bookmarks, page), "");

  struct Row {
    const char* name;
    std::string from;   // the first occurrence of this in the page
    std::string to;     // is replaced by this
    std::string fault;  // and the fault found says this
  };
  const Row rows[] = {
      {"TemplateChanged", "<HTML>", "<HTML >", "does not start with the template"},
      {"TrailerWithoutCr", "</BODY></HTML>\r\n", "</BODY></HTML>\n",
       "does not end with the trailer"},
      {"LineWithoutCrLf", "</A><BR>\r\n", "</A><BR>\n", "not a tree line"},
      {"FolderNumberSkipped", "('display2');ImageChange('img2", "('display3');ImageChange('img3",
       "the anchor of folder 2 does not carry its number"},
      {"BlockOfOtherFolder", "<DIV ID=\"display1\"", "<DIV ID=\"display2\"",
       "folder 1 is not followed by the start of its block"},
      {"BlockWithoutFolder", "</DIV>\r\n", "<DIV ID=\"display1\" STYLE=\"display:none\">\r\n",
       "a block start after no folder"},
      {"BlockEndMissing", "</DIV>\r\n", "", "the page closes 2 blocks, the classifier takes 3"},
      {"TitleChanged", ">T</A>", ">t</A>", "differs from the reference at page line 5"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string wrong = page;
    std::size_t at = wrong.find(row.from);
    ASSERT_NE(at, std::string::npos);
    wrong.replace(at, row.from.size(), row.to);
    EXPECT_NE(pageFault(bookmarks, wrong).find(row.fault), std::string::npos)
        << pageFault(bookmarks, wrong);
  }
}

}  // namespace
