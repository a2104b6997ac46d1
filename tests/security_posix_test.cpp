// The program loads its library from its own folder only, whatever the environment says: a
// copy of a tiny program around the drop handling is started as a process of its own, with a
// planted library in its current directory and on LD_LIBRARY_PATH. The planted library marks
// every load, so the test sees whether it was ever loaded, not only whether it was used.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messages.h"
#include "support/child_process.h"
#include "support/program_run.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::kBookmarks;
using testing_support::ProgramRun;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(SecurityPosixTest, LibraryOnlyFromBesideTheProgramsFile) {
  const fs::path bin = testing_support::executableDir();
  const std::string realLibrary = readFile(bin / "libquillcore.so");
  struct Row {
    const char* name;
    std::string beside;  // the file libquillcore.so beside the program; "" for none
    std::string message;
  } rows[] = {
      {"NothingBeside", "", std::string(kGenerateFailedMessage) + "\n"},
      {"GarbageBeside", std::string(4096, '\x7f') + "ELF garbage",
       std::string(kGenerateFailedMessage) + "\n"},
      {"LibraryBeside", realLibrary, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramRun run;
    TempDir programDir, searchDir, scratch;
    fs::path program = programDir.path() / "quillmapgen";
    fs::copy_file(bin / QUILLMAP_DROP_RUNNER, program);
    fs::permissions(program, fs::perms::owner_all);
    if (!row.beside.empty()) writeFile(programDir.path() / "libquillcore.so", row.beside);
    for (const fs::path& where : {run.cwd(), searchDir.path()}) {
      fs::copy_file(bin / QUILLMAP_MARKING_LIBRARY, where / "libquillcore.so");
    }
    writeFile(run.home() / "b.htm", kBookmarks);
    const fs::path mark = scratch.path() / "mark";

    std::vector<std::string> env = {
        "LD_LIBRARY_PATH=" + searchDir.path().string() + ":.:" + run.cwd().string(),
        "QUILLMAP_MARK_FILE=" + mark.string(),
        "PATH=/usr/bin:/bin",
    };
    // A sanitizer's runtime takes its settings from the environment, as the test's own does.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
      if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    }
    testing_support::ChildOutcome outcome =
        testing_support::runProgram(program.string(), {(run.home() / "b.htm").string()}, env);
    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, row.message);
    EXPECT_FALSE(fs::exists(mark)) << "the planted library was loaded";
    if (row.message.empty()) {
      EXPECT_EQ(readFile(run.output() / "Quillmap.htm"), run.expectedPage(run.home() / "b.htm"));
    } else {
      EXPECT_FALSE(fs::exists(run.output() / "Quillmap.htm"));
    }
  }
}

TEST(SecurityPosixTest, PlantedLibraryWouldBeNoticed) {
  // The check above can fail: the planted library, loaded, leaves its mark and its own page.
  TempDir scratch;
  const fs::path mark = scratch.path() / "mark";
  std::string libraryPath = (testing_support::executableDir() / QUILLMAP_MARKING_LIBRARY).string();
  testing_support::ChildOutcome outcome = testing_support::inChild([&]() -> std::string {
    setenv("QUILLMAP_MARK_FILE", mark.string().c_str(), 1);
    void* library = testing_support::loadLibraryAt(libraryPath);
    if (library == nullptr) return "not loaded";
    auto* convert = reinterpret_cast<bool (*)(const char*, const char*, const char*)>(
        testing_support::findSymbol(library, "readAndWrite"));
    return convert("in", scratch.file("page.htm").c_str(), "t") ? "converted" : "failed";
  });
  EXPECT_EQ(outcome.output, "converted");
  EXPECT_TRUE(fs::exists(mark));
  EXPECT_EQ(readFile(scratch.path() / "page.htm"), "a planted page\n");
}

}  // namespace
