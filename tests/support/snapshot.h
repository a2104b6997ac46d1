// What the user has in a folder, file by file, so that a test can show that a drop changed
// nothing but what it may change.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace testing_support {

// Every file and folder under a root, by its path relative to the root ("/" between names):
// a file's bytes, kFolderMark for a folder, or a mark for a symbolic link (naming its target)
// and for any other kind of file.
using Snapshot = std::map<std::string, std::string>;
inline const std::string kFolderMark = "<folder>";

Snapshot snapshot(const std::filesystem::path& root);

// A snapshot as bytes and back, to hand it from a child process to the test.
std::string serialize(const Snapshot& snapshot);
Snapshot deserialize(std::string_view bytes);

// The differences between two snapshots, one line each ("" when they are the same); file
// contents are named by their sizes, not shown.
std::string differences(const Snapshot& before, const Snapshot& after);

}  // namespace testing_support
