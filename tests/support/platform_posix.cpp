// Test helpers' platform layer on POSIX systems.
#include <dlfcn.h>

#include "test_support.h"

namespace testing_support {

fs::path executableDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

void* loadLibraryAt(const fs::path& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* findSymbol(void* library, const char* name) { return dlsym(library, name); }

void unloadLibrary(void* library) { dlclose(library); }

std::string libraryFileName() { return "libquillcore.so"; }

TestDrop::TestDrop(std::vector<std::string> paths) : paths_(std::move(paths)), handle_(&paths_) {}

}  // namespace testing_support
