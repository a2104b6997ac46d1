// The page writer: tree lines by kind and depth, folder numbering, and the template copy.
#include "page_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"

namespace {

using testing_support::TempDir;

std::string indent(int units) {
  std::string text;
  for (int i = 0; i < units; ++i) text += "&#160; &#160; &#160;";
  return text;
}

// Collects what the writer produces through a real file.
class PageCapture {
 public:
  PageCapture() : path_(dir_.file("page")), file_(std::fopen(path_.c_str(), "wb")), page_(file_) {}
  ~PageCapture() {
    if (file_ != nullptr) std::fclose(file_);
  }
  PageStream& page() { return page_; }
  std::string text() {
    EXPECT_TRUE(page_.flush());
    std::fclose(file_);
    file_ = nullptr;
    return testing_support::readFile(path_);
  }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  std::string path_;
  std::FILE* file_;
  PageStream page_;
};

TEST(PageWriterTest, TreeLinesByKindAndDepth) {
  struct Case {
    const char* name;
    LineKind kind;
    int depth;
    std::string expected;
  } cases[] = {
      {"TopLink", LineKind::Link, 1, indent(2) + "<A HREF=\"u\">t</A><BR>\r\n"},
      {"DeepLink", LineKind::Link, 4, indent(5) + "<A HREF=\"u\">t</A><BR>\r\n"},
      {"LinkAtZero", LineKind::Link, 0, indent(1) + "<A HREF=\"u\">t</A><BR>\r\n"},
      {"LinkBelowZero", LineKind::Link, -3, indent(1) + "<A HREF=\"u\">t</A><BR>\r\n"},
      {"TopFolder", LineKind::Folder, 2,
       indent(2) +
           "<A HREF=\"JavaScript:onClick=Display('display1');ImageChange('img1');\">"
           "<IMG SRC=\"folder1.gif\" ID=\"img1\" BORDER=\"0\">t</A><BR>\r\n"
           "<DIV ID=\"display1\" STYLE=\"display:none\">\r\n"},
      {"FolderAtOne", LineKind::Folder, 1,
       indent(1) +
           "<A HREF=\"JavaScript:onClick=Display('display1');ImageChange('img1');\">"
           "<IMG SRC=\"folder1.gif\" ID=\"img1\" BORDER=\"0\">t</A><BR>\r\n"
           "<DIV ID=\"display1\" STYLE=\"display:none\">\r\n"},
      {"FolderBelowZero", LineKind::Folder, -2,
       indent(1) +
           "<A HREF=\"JavaScript:onClick=Display('display1');ImageChange('img1');\">"
           "<IMG SRC=\"folder1.gif\" ID=\"img1\" BORDER=\"0\">t</A><BR>\r\n"
           "<DIV ID=\"display1\" STYLE=\"display:none\">\r\n"},
      {"ListEnd", LineKind::ListClose, 7, "</DIV>\r\n"},
      {"Ignored", LineKind::Ignored, 3, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folderSerial = 0;
    PageCapture capture;
    writeEntry(capture.page(), c.kind, BookmarkEntry{"t", "u", c.depth});
    EXPECT_EQ(capture.text(), c.expected);
  }
}

TEST(PageWriterTest, FoldersNumberedInOrder) {
  folderSerial = 0;
  PageCapture capture;
  for (int i = 0; i < 12; ++i) writeEntry(capture.page(), LineKind::Folder, {"f", "", 2});
  std::string text = capture.text();
  EXPECT_NE(text.find("Display('display12');ImageChange('img12');\"><IMG SRC=\"folder1.gif\" "
                      "ID=\"img12\""),
            std::string::npos);
  EXPECT_NE(text.find("<DIV ID=\"display12\" STYLE"), std::string::npos);
  EXPECT_EQ(text.find("display13"), std::string::npos);
  EXPECT_EQ(folderSerial, 12);
}

TEST(PageWriterTest, LongLinesWrittenWhole) {
  folderSerial = 0;
  PageCapture capture;
  std::string url(300000, 'u'), title(300000, 't');
  writeEntry(capture.page(), LineKind::Link, {title, url, 200});
  EXPECT_EQ(capture.text(), indent(201) + "<A HREF=\"" + url + "\">" + title + "</A><BR>\r\n");
}

TEST(PageWriterTest, TemplateCopy) {
  struct Case {
    const char* name;
    std::string templateBytes;
    std::string expected;
  } cases[] = {
      {"Empty", "", ""},
      {"LineEndsBecomeCRLF", "<HTML>\n<BODY>\r\n", "<HTML>\r\n<BODY>\r\n"},
      {"LastLineGetsLineEnd", "a\nb", "a\r\nb\r\n"},
      {"EmptyLinesKept", "\n\n", "\r\n\r\n"},
      {"ZeroByteCutsLine", std::string("ab\0cd\nef\n", 9), "ab\r\nef\r\n"},
      {"LongLines", std::string(1023, 'a') + "\n" + std::string(5000, 'b') + "\nc\n",
       std::string(1023, 'a') + "\r\n" + std::string(5000, 'b') + "\r\nc\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageCapture capture;
    std::string templatePath = capture.dir().file("template.htm");
    testing_support::writeFile(templatePath, c.templateBytes);
    EXPECT_TRUE(copyTemplate(capture.page(), templatePath.c_str()));
    EXPECT_EQ(capture.text(), c.expected);
  }
}

TEST(PageWriterTest, MissingTemplateWritesNothing) {
  PageCapture capture;
  EXPECT_FALSE(copyTemplate(capture.page(), capture.dir().file("missing.htm").c_str()));
  EXPECT_EQ(capture.text(), "");
}

TEST(PageWriterTest, TrailerEndsPage) {
  PageCapture capture;
  writeTrailer(capture.page());
  EXPECT_EQ(capture.text(), "</BODY></HTML>\r\n");
}

}  // namespace
