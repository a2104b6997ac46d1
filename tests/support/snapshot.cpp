// Folder snapshots.
#include "support/snapshot.h"

#include <algorithm>
#include <cstdint>

#include "support/test_support.h"

namespace testing_support {

Snapshot snapshot(const fs::path& root) {
  Snapshot result;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string name = entry.path().lexically_relative(root).generic_string();
    fs::file_status status = entry.symlink_status();
    if (fs::is_symlink(status)) {
      result[name] = "<link to " + fs::read_symlink(entry.path()).string() + ">";
    } else if (fs::is_directory(status)) {
      result[name] = kFolderMark;
    } else if (fs::is_regular_file(status)) {
      result[name] = readFile(entry.path());
    } else {
      result[name] = "<special file>";  // never opened: a named pipe would wait for a writer
    }
  }
  return result;
}

namespace {

void putNumber(std::string& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t takeNumber(std::string_view& in) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8 && i < static_cast<int>(in.size()); ++i) {
    value |= std::uint64_t{static_cast<unsigned char>(in[static_cast<std::size_t>(i)])} << (8 * i);
  }
  in.remove_prefix(std::min<std::size_t>(8, in.size()));
  return value;
}

std::string takeText(std::string_view& in) {
  std::size_t size = static_cast<std::size_t>(takeNumber(in));
  size = std::min(size, in.size());
  std::string text(in.substr(0, size));
  in.remove_prefix(size);
  return text;
}

std::string describe(const std::string& content) {
  return content == kFolderMark ? "folder" : std::to_string(content.size()) + " bytes";
}

}  // namespace

std::string serialize(const Snapshot& snapshot) {
  std::string out;
  for (const auto& [name, content] : snapshot) {
    putNumber(out, name.size());
    out += name;
    putNumber(out, content.size());
    out += content;
  }
  return out;
}

Snapshot deserialize(std::string_view bytes) {
  Snapshot result;
  while (!bytes.empty()) {
    std::string name = takeText(bytes);
    result[name] = takeText(bytes);
  }
  return result;
}

std::string differences(const Snapshot& before, const Snapshot& after) {
  std::string lines;
  for (const auto& [name, content] : before) {
    auto found = after.find(name);
    if (found == after.end()) {
      lines += "  gone: " + name + " (" + describe(content) + ")\n";
    } else if (found->second != content) {
      lines += "  changed: " + name + " (" + describe(content) + " -> " + describe(found->second) +
               ")\n";
    }
  }
  for (const auto& [name, content] : after) {
    if (before.count(name) == 0) lines += "  new: " + name + " (" + describe(content) + ")\n";
  }
  return lines;
}

}  // namespace testing_support
