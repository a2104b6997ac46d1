// The check every drop test ends with: the user's folder after the drop holds everything it
// held before, byte for byte, and nothing new but what the drop may make.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "support/program_run.h"
#include "support/snapshot.h"

namespace testing_support {

// What a drop into a folder may add there, under "Quillmap/".
struct MayAdd {
  // The pictures, each only as a whole copy of the one in the current directory.
  std::map<std::string, std::string> pictures = {{"folder1.gif", kPicture1},
                                                 {"folder2.gif", kPicture2}};
  // The page, when the drop converted: it then replaces any earlier page.
  std::optional<std::string> page;
};

inline testing::AssertionResult nothingLost(const Snapshot& before, const Snapshot& after,
                                            const MayAdd& may = {}) {
  const std::string folder = "Quillmap";
  const std::string page = folder + "/Quillmap.htm";
  std::string problems;
  for (const auto& [name, content] : before) {
    auto found = after.find(name);
    if (may.page && name == page) continue;  // checked below
    if (found == after.end()) {
      problems += "  lost: " + name + "\n";
    } else if (found->second != content) {
      problems += "  changed: " + name + " (" + std::to_string(content.size()) + " -> " +
                  std::to_string(found->second.size()) + " bytes)\n";
    }
  }
  for (const auto& [name, content] : after) {
    if (before.count(name) != 0) continue;
    bool allowed = false;
    if (name == folder) {
      allowed = content == kFolderMark;
    } else if (name == page) {
      allowed = may.page.has_value();
    } else if (name.rfind(folder + "/", 0) == 0) {
      auto picture = may.pictures.find(name.substr(folder.size() + 1));
      allowed = picture != may.pictures.end() && picture->second == content;
    }
    if (!allowed) {
      problems += "  unexpected: " + name + " (" + std::to_string(content.size()) + " bytes)\n";
    }
  }
  if (may.page) {
    auto found = after.find(page);
    if (found == after.end()) {
      problems += "  no page\n";
    } else if (found->second != *may.page) {
      problems += "  the page is not the expected one (" + std::to_string(found->second.size()) +
                  " bytes against " + std::to_string(may.page->size()) + ")\n";
    }
  }
  if (problems.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the user's folder after the drop:\n" << problems;
}

// Puts an earlier conversion's output in `home`: the folder, an earlier page and the pictures.
inline void writeEarlierOutput(const fs::path& home) {
  fs::create_directory(home / "Quillmap");
  writeFile(home / "Quillmap" / "Quillmap.htm", "an earlier page\r\n");
  writeFile(home / "Quillmap" / "folder1.gif", kPicture1);
  writeFile(home / "Quillmap" / "folder2.gif", kPicture2);
}

// Drops a bookmark file named `file` in `folder` (under the user's folder; "" for the user's
// folder itself) and expects it converted beside it, with nothing of the user's lost.
inline void expectNameConverts(const std::string& folder, const std::string& file) {
  namespace fs = std::filesystem;
  SCOPED_TRACE(folder + " | " + file);
  ProgramRun run;
  fs::path where = folder.empty() ? run.home() : run.home() / folder;
  fs::create_directories(where);
  fs::path dropped = where / file;
  writeFile(dropped, kBookmarks);
  std::string page = run.expectedPage(dropped);
  auto before = snapshot(where);

  EXPECT_EQ(run.drop({dropped.string()}), "");
  EXPECT_TRUE(nothingLost(before, snapshot(where), MayAdd{.page = page}));
  if (!folder.empty()) {
    EXPECT_EQ(listFolder(run.home()), fs::path(folder).begin()->string());
  }
}

}  // namespace testing_support
