// Drops that meet a fault on the way, on every platform: what the user is told, and that the
// bookmark file, an earlier page and everything else in the folder are as they were (an
// earlier page is only ever replaced whole, by a complete new one).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "drop_handler.h"
#include "messages.h"
#include "support/drop_checks.h"
#include "support/program_run.h"
#include "support/snapshot.h"

namespace {

namespace fs = std::filesystem;
using testing_support::kBookmarks;
using testing_support::MayAdd;
using testing_support::nothingLost;
using testing_support::ProgramRun;
using testing_support::readFile;
using testing_support::snapshot;
using testing_support::TempDir;
using testing_support::writeFile;

// A library file beside which the test puts what stands in for the converter.
std::string realLibrary() {
  return readFile(testing_support::executableDir() / testing_support::libraryFileName());
}

TEST(FaultsTest, DropTable) {
  struct Row {
    const char* name;
    // Brings the fault about: `run` is the program's run, `scratch` a folder outside the
    // user's. Returns what the program is set to load, or "" for the real library.
    std::function<std::string(const ProgramRun& run, const TempDir& scratch)> prepare;
    std::string message;
    bool converts;
    bool picture1Copied;
  } rows[] = {
      {"PagePathIsFolder",
       [](const ProgramRun& run, const TempDir&) {
         fs::remove(run.output() / "Quillmap.htm");
         fs::create_directory(run.output() / "Quillmap.htm");
         writeFile(run.output() / "Quillmap.htm" / "inside.txt", "the user's file");
         return std::string();
       },
       kGenerateFailedMessage, false, true},
      {"TemplateIsFolder",
       [](const ProgramRun& run, const TempDir&) {
         fs::remove(run.cwd() / "source_normal.htm");
         fs::create_directory(run.cwd() / "source_normal.htm");
         return std::string();
       },
       kGenerateFailedMessage, false, true},
      {"PictureIsFolder",
       [](const ProgramRun& run, const TempDir&) {
         fs::remove(run.cwd() / "folder1.gif");
         fs::create_directory(run.cwd() / "folder1.gif");
         fs::remove(run.output() / "folder1.gif");
         return std::string();
       },
       "", true, false},
      {"LibraryIsEmptyFile",
       [](const ProgramRun&, const TempDir& scratch) {
         writeFile(scratch.path() / testing_support::libraryFileName(), "");
         return scratch.file(testing_support::libraryFileName());
       },
       kGenerateFailedMessage, false, true},
      {"LibraryIsText",
       [](const ProgramRun&, const TempDir& scratch) {
         writeFile(scratch.path() / testing_support::libraryFileName(),
                   "this is not a library\n" + std::string(5000, '\x90'));
         return scratch.file(testing_support::libraryFileName());
       },
       kGenerateFailedMessage, false, true},
      {"LibraryHeaderOnly",
       [](const ProgramRun&, const TempDir& scratch) {
         writeFile(scratch.path() / testing_support::libraryFileName(),
                   realLibrary().substr(0, 64));
         return scratch.file(testing_support::libraryFileName());
       },
       kGenerateFailedMessage, false, true},
      {"LibraryCutShort",  // its headers whole, the code and data they point to missing
       [](const ProgramRun&, const TempDir& scratch) {
         writeFile(scratch.path() / testing_support::libraryFileName(),
                   realLibrary().substr(0, 4096));
         return scratch.file(testing_support::libraryFileName());
       },
       kGenerateFailedMessage, false, true},
      {"LibraryWithoutEntry",
       [](const ProgramRun&, const TempDir&) {
         return (testing_support::executableDir() / QUILLMAP_NO_ENTRY_LIBRARY).string();
       },
       kGenerateFailedMessage, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramRun run;
    TempDir scratch;
    writeFile(run.home() / "b.htm", kBookmarks);
    testing_support::writeEarlierOutput(run.home());
    std::string expectedPage = run.expectedPage(run.home() / "b.htm");
    std::string library = row.prepare(run, scratch);
    if (!library.empty()) generatorPath = library;
    auto before = snapshot(run.home());

    EXPECT_EQ(run.drop({(run.home() / "b.htm").string()}), row.message);

    MayAdd may;
    if (row.converts) may.page = expectedPage;
    auto after = snapshot(run.home());
    EXPECT_TRUE(nothingLost(before, after, may));
    EXPECT_EQ(after.count("Quillmap/folder1.gif"), row.picture1Copied ? 1u : 0u);
  }
}

}  // namespace
