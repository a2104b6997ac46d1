// A run of the program for drop tests: the current directory holds the template and the
// pictures, the library lies beside the test program, the user's files are in home(), and the
// error boxes are recorded.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "drop_handler.h"
#include "support/recording_message_box.h"
#include "support/test_support.h"

namespace testing_support {

inline const std::string kBookmarks =
    "<DL><p>\n<DT><H3 FOLDED>Folder</H3>\n<DL><p>\n<DT><A HREF=\"http://a/\" X=\"1\">A</A>\n"
    "</DL><p>\n</DL><p>\n";
inline const std::string kTemplate = "<HTML><BODY>\n";
inline const std::string kPicture1 = "GIF89a closed";
inline const std::string kPicture2 = "GIF89a open";
inline WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x1234);

class ProgramRun {
 public:
  ProgramRun() {
    fs::create_directory(cwd());
    fs::create_directory(home());
    writeFile(cwd() / "source_normal.htm", kTemplate);
    writeFile(cwd() / "folder1.gif", kPicture1);
    writeFile(cwd() / "folder2.gif", kPicture2);
    savedCwd_ = fs::current_path();
    fs::current_path(cwd());
    generatorPath = platform::libraryBesideProgram();
    testing_support::shownMessages().clear();
  }
  ~ProgramRun() { fs::current_path(savedCwd_); }
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  fs::path cwd() const { return dir_.path() / "cwd"; }
  fs::path home() const { return dir_.path() / "home"; }
  fs::path output() const { return home() / "Quillmap"; }

  // Drops `paths` and returns the messages shown, joined.
  std::string drop(std::vector<std::string> paths) {
    testing_support::shownMessages().clear();
    testing_support::TestDrop drop(std::move(paths));
    handleDrop(kWindow, drop.handle());
    std::string shown;
    for (const auto& message : testing_support::shownMessages()) {
      EXPECT_EQ(message.owner, kWindow);
      shown += (shown.empty() ? "" : " | ") + message.text;
    }
    return shown;
  }

  // The page the library makes of `bookmarks`, in a load of its own.
  std::string expectedPage(const fs::path& bookmarks) {
    TempDir scratch;
    std::string page = scratch.file("page.htm");
    EXPECT_TRUE(testing_support::convertFresh(bookmarks.string(), page,
                                              (cwd() / "source_normal.htm").string()));
    return readFile(page);
  }

  std::string outputListing() const {
    return fs::exists(output()) ? listFolder(output()) : "<no folder>";
  }

 private:
  TempDir dir_;
  fs::path savedCwd_;
};

}  // namespace testing_support
