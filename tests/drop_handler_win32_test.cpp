// Drops on Windows, where paths live in buffers of 264 bytes: a path that would not fit is
// refused whole, never cut.
#include <gtest/gtest.h>

#include "messages.h"
#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using testing_support::kBookmarks;
using testing_support::listFolder;
using testing_support::ProgramRun;
using testing_support::writeFile;

TEST(DropWin32Test, DroppedPathLongerThan260BytesIsRefused) {
  ProgramRun run;
  std::string path = run.home().string() + "\\" + std::string(300, 'x') + ".htm";
  EXPECT_EQ(run.drop({path}), kOpenFailedMessage);
  EXPECT_EQ(listFolder(run.home()), "");
}

TEST(DropWin32Test, OutputPathThatWouldNotFitCreatesNothing) {
  ProgramRun run;
  // A folder whose page path, with the output folder and page names appended, passes 263
  // bytes while the dropped path itself stays within 260.
  std::string base = run.home().string() + "\\";
  fs::path folder = base + std::string(245 - base.size(), 'd');
  fs::create_directory(folder);
  writeFile(folder / "b.htm", kBookmarks);
  std::string dropped = (folder / "b.htm").string();
  ASSERT_LE(dropped.size(), 260u);
  EXPECT_EQ(run.drop({dropped}), kGenerateFailedMessage);
  EXPECT_EQ(listFolder(folder), "b.htm");
}

}  // namespace
