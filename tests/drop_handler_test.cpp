// The drop handling with real folders, the real library, and the error box recorded: each row
// is one drop and what the user finds afterwards.
#include "drop_handler.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "messages.h"
#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using testing_support::kBookmarks;
using testing_support::kPicture1;
using testing_support::kPicture2;
using testing_support::listFolder;
using testing_support::ProgramRun;
using testing_support::readFile;
using testing_support::writeFile;

TEST(DropTest, Table) {
  const std::string converted = "Quillmap.htm folder1.gif folder2.gif";
  struct Row {
    const char* name;
    std::function<std::vector<std::string>(const fs::path& home)> prepare;  // returns the drop
    std::string message;  // "" when nothing is shown
    std::string listing;  // of the output folder
  } rows[] = {
      {"Htm", [](const fs::path& h) { return std::vector<std::string>{(h / "b.htm").string()}; },
       "", converted},
      {"Html", [](const fs::path& h) { return std::vector<std::string>{(h / "b.html").string()}; },
       "", converted},
      {"SeveralDots",
       [](const fs::path& h) {
         writeFile(h / "my.book.marks.htm", kBookmarks);
         return std::vector<std::string>{(h / "my.book.marks.htm").string()};
       },
       "", converted},
      {"FirstOfTwo",
       [](const fs::path& h) {
         return std::vector<std::string>{(h / "b.htm").string(), (h / "other.txt").string()};
       },
       "", converted},
      {"EmptyDrop", [](const fs::path&) { return std::vector<std::string>{}; },
       kOpenFailedMessage, "<no folder>"},
      {"Folder",
       [](const fs::path& h) {
         fs::create_directory(h / "dir");
         return std::vector<std::string>{(h / "dir").string(), (h / "b.htm").string()};
       },
       kOpenFailedMessage, "<no folder>"},
      {"FolderNamedHtm",
       [](const fs::path& h) {
         fs::create_directory(h / "x.htm");
         return std::vector<std::string>{(h / "x.htm").string()};
       },
       kOpenFailedMessage, "<no folder>"},
      {"Missing", [](const fs::path& h) { return std::vector<std::string>{(h / "gone.htm").string()}; },
       kOpenFailedMessage, "<no folder>"},
      {"UpperCaseExtension",
       [](const fs::path& h) { return std::vector<std::string>{(h / "B.HTM").string()}; },
       kOpenFailedMessage, "<no folder>"},
      {"MixedCaseExtension",
       [](const fs::path& h) { return std::vector<std::string>{(h / "b.Html").string()}; },
       kOpenFailedMessage, "<no folder>"},
      {"BackupName",
       [](const fs::path& h) { return std::vector<std::string>{(h / "b.htm.bak").string()}; },
       kOpenFailedMessage, "<no folder>"},
      {"BareDot", [](const fs::path& h) { return std::vector<std::string>{(h / "b.").string()}; },
       kOpenFailedMessage, "<no folder>"},
      {"NoDot", [](const fs::path& h) { return std::vector<std::string>{(h / "b").string()}; },
       kOpenFailedMessage, "<no folder>"},
      {"TextFile",
       [](const fs::path& h) { return std::vector<std::string>{(h / "other.txt").string()}; },
       kOpenFailedMessage, "<no folder>"},
      {"FolderReusedPicturesKept",
       [](const fs::path& h) {
         fs::create_directory(h / "Quillmap");
         writeFile(h / "Quillmap" / "folder1.gif", "the user's own picture");
         writeFile(h / "Quillmap" / "Quillmap.htm", "an earlier page");
         return std::vector<std::string>{(h / "b.htm").string()};
       },
       "", converted},
      {"NoPicturesInCurrentDirectory",
       [](const fs::path& h) {
         fs::remove("folder1.gif");
         fs::remove("folder2.gif");
         return std::vector<std::string>{(h / "b.htm").string()};
       },
       "", "Quillmap.htm"},
      {"LibraryMissingFolderKeptWithPictures",
       [](const fs::path& h) {
         generatorPath = (h / "nowhere" / testing_support::libraryFileName()).string();
         return std::vector<std::string>{(h / "b.htm").string()};
       },
       kGenerateFailedMessage, "folder1.gif folder2.gif"},
      {"LibraryMissingEmptyFolderRemoved",
       [](const fs::path& h) {
         fs::remove("folder1.gif");
         fs::remove("folder2.gif");
         fs::create_directory(h / "Quillmap");  // there before the drop, and empty
         generatorPath = (h / "nowhere" / testing_support::libraryFileName()).string();
         return std::vector<std::string>{(h / "b.htm").string()};
       },
       kGenerateFailedMessage, "<no folder>"},
      {"LibraryWithoutEntry",
       [](const fs::path& h) {
         generatorPath = (testing_support::executableDir() / QUILLMAP_NO_ENTRY_LIBRARY).string();
         return std::vector<std::string>{(h / "b.htm").string()};
       },
       kGenerateFailedMessage, "folder1.gif folder2.gif"},
      {"ConversionFailsFolderKept",
       [](const fs::path& h) {
         fs::remove("source_normal.htm");
         return std::vector<std::string>{(h / "b.htm").string()};
       },
       kGenerateFailedMessage, "folder1.gif folder2.gif"},
      {"ConversionFailsEmptyFolderRemoved",
       [](const fs::path& h) {
         fs::remove("source_normal.htm");
         fs::remove("folder1.gif");
         fs::remove("folder2.gif");
         return std::vector<std::string>{(h / "b.htm").string()};
       },
       kGenerateFailedMessage, "<no folder>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramRun run;
    const fs::path home = run.home(), output = run.output();
    for (const char* name : {"b.htm", "b.html", "B.HTM", "b.Html", "b.htm.bak", "b.", "b",
                             "other.txt"}) {
      writeFile(home / name, kBookmarks);
    }
    std::vector<std::string> paths = row.prepare(home);
    std::string userPicture = fs::exists(output / "folder1.gif")
                                  ? readFile(output / "folder1.gif")
                                  : kPicture1;

    EXPECT_EQ(run.drop(paths), row.message);
    EXPECT_EQ(run.outputListing(), row.listing);
    if (row.message.empty()) {
      EXPECT_EQ(readFile(output / "Quillmap.htm"), run.expectedPage(paths.front()));
    }
    if (row.listing.find("folder1.gif") != std::string::npos) {
      EXPECT_EQ(readFile(output / "folder1.gif"), userPicture);
      EXPECT_EQ(readFile(output / "folder2.gif"), kPicture2);
    }
    // The user's own files are only read.
    EXPECT_EQ(readFile(home / "b.htm"), kBookmarks);
    EXPECT_EQ(readFile(home / "other.txt"), kBookmarks);
  }
}

TEST(DropTest, EveryDropStartsTheLibraryAfresh) {
  ProgramRun run;
  writeFile(run.home() / "b.htm", kBookmarks);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(run.drop({(run.home() / "b.htm").string()}), "");
    std::string page = readFile(run.output() / "Quillmap.htm");
    EXPECT_NE(page.find("Display('display1')"), std::string::npos);
    EXPECT_EQ(page.find("display2"), std::string::npos);
  }
}


TEST(DropTest, LibraryOnlyFromTheProgramsFolder) {
  ProgramRun run;
  // The library is the one beside the program, by its full path.
  EXPECT_EQ(fs::path(platform::libraryBesideProgram()),
            testing_support::executableDir() / testing_support::libraryFileName());
  // A library planted in the current directory is never loaded: it would fail every drop.
  fs::copy_file(testing_support::executableDir() / QUILLMAP_PLANTED_LIBRARY,
                run.cwd() / testing_support::libraryFileName());
  writeFile(run.home() / "b.htm", kBookmarks);
  EXPECT_EQ(run.drop({(run.home() / "b.htm").string()}), "");
  // Nor is one named without a full path, which the loader would search for.
  generatorPath = testing_support::libraryFileName();
  EXPECT_EQ(run.drop({(run.home() / "b.htm").string()}), kGenerateFailedMessage);
}

}  // namespace
