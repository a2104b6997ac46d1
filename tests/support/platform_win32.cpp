// Test helpers' platform layer on Windows.
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include <bit>

#include "test_support.h"

namespace testing_support {

fs::path executableDir() {
  char name[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, name, MAX_PATH);
  return fs::path(name).parent_path();
}

void* loadLibraryAt(const fs::path& path) {
  return LoadLibraryExA(path.string().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* findSymbol(void* library, const char* name) {
  return std::bit_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string libraryFileName() { return "quillcore.dll"; }

// A shell drop is a DROPFILES header followed by the paths, each zero-terminated, and one more
// zero after the last.
TestDrop::TestDrop(std::vector<std::string> paths) : paths_(std::move(paths)) {
  std::size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& path : paths_) size += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = FALSE;
  char* at = reinterpret_cast<char*>(header) + sizeof(DROPFILES);
  for (const std::string& path : paths_) {
    std::memcpy(at, path.c_str(), path.size() + 1);
    at += path.size() + 1;
  }
  GlobalUnlock(memory);
  handle_ = memory;
}

}  // namespace testing_support
