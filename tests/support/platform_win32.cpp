// Test helpers' platform layer on Windows.
#include <windows.h>

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

}  // namespace testing_support
