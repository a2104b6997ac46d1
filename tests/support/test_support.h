// Helpers shared by the tests: scratch folders, whole-file reads and writes, and loading the
// built library at run time exactly as the program does.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

// A fresh, empty folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& path() const { return path_; }
  // The path of `name` inside the folder, as a string for the C interfaces.
  std::string file(std::string_view name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string readFile(const fs::path& path);
void writeFile(const fs::path& path, std::string_view bytes);

// The names of the files in `folder`, sorted.
std::string listFolder(const fs::path& folder);

// The folder that holds the running test program (and the built library beside it).
fs::path executableDir();

// The directory of the test's own data files.
fs::path testDataDir();

// A loaded instance of the built quillcore library; unloaded when destroyed.
class Library {
 public:
  Library();  // loads it from beside the test program; fails the test if it cannot
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  bool readAndWrite(const std::string& input, const std::string& output,
                    const std::string& templatePath) const;

 private:
  void* handle_ = nullptr;
  void* function_ = nullptr;
};

// Loads the library, converts once and unloads it again, as the program does for every drop.
bool convertFresh(const std::string& input, const std::string& output,
                  const std::string& templatePath);

// A drop as the window would receive it, holding `paths`, first item first. Its handle is what
// the drop handling takes: on Windows a real shell drop (released by whoever handles it), on
// Linux the list of paths.
class TestDrop {
 public:
  explicit TestDrop(std::vector<std::string> paths);
  TestDrop(const TestDrop&) = delete;
  TestDrop& operator=(const TestDrop&) = delete;
  void* handle() const { return handle_; }

 private:
  std::vector<std::string> paths_;
  void* handle_ = nullptr;
};

// Platform layer for Library: load by full path, look up by name, unload.
void* loadLibraryAt(const fs::path& path);
void* findSymbol(void* library, const char* name);
void unloadLibrary(void* library);
// The library's file name on this platform.
std::string libraryFileName();

}  // namespace testing_support
