// Platform-neutral test helpers.
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>
#include <algorithm>

#include "quillcore.h"

namespace testing_support {

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed() ^ static_cast<std::uint64_t>(
                                      std::chrono::steady_clock::now().time_since_epoch().count()));
  for (;;) {
    path_ = fs::temp_directory_path() / ("quillmap-test-" + std::to_string(random()));
    if (fs::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only files behind; make them removable first.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string listFolder(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const auto& name : names) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

fs::path testDataDir() { return fs::path(QUILLMAP_TEST_DATA_DIR); }

Library::Library() {
  fs::path path = executableDir() / libraryFileName();
  handle_ = loadLibraryAt(path);
  if (handle_ == nullptr) {
    ADD_FAILURE() << "cannot load " << path;
    return;
  }
  function_ = findSymbol(handle_, "readAndWrite");
  if (function_ == nullptr) ADD_FAILURE() << "no readAndWrite in " << path;
}

Library::~Library() {
  if (handle_ != nullptr) unloadLibrary(handle_);
}

bool Library::readAndWrite(const std::string& input, const std::string& output,
                           const std::string& templatePath) const {
  if (function_ == nullptr) return false;
  auto function = reinterpret_cast<ReadAndWriteFunction>(function_);
  return function(input.c_str(), output.c_str(), templatePath.c_str());
}

bool convertFresh(const std::string& input, const std::string& output,
                  const std::string& templatePath) {
  Library library;
  return library.readAndWrite(input, output, templatePath);
}

}  // namespace testing_support
