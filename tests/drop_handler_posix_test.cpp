// Drops on Linux: paths have no length limit of their own.
#include <gtest/gtest.h>

#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using testing_support::kBookmarks;
using testing_support::listFolder;
using testing_support::ProgramRun;
using testing_support::writeFile;

TEST(DropTest, PathsOfAnyLength) {
  ProgramRun run;
  // Far beyond the 260 bytes of a Windows path: handled whole on Linux.
  fs::path deep = run.home();
  for (int i = 0; i < 8; ++i) deep /= std::string(200, static_cast<char>('a' + i));
  fs::create_directories(deep);
  writeFile(deep / "b.htm", kBookmarks);
  ASSERT_GT((deep / "b.htm").string().size(), 1600u);
  EXPECT_EQ(run.drop({(deep / "b.htm").string()}), "");
  EXPECT_EQ(listFolder(deep / "Quillmap"), "Quillmap.htm folder1.gif folder2.gif");
}

}  // namespace
