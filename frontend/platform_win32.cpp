// The platform layer on Windows: the shell's drop, the ANSI file functions and the library
// loader. Paths are bytes in the ANSI code page and are never converted.
#include <windows.h>
#include <shellapi.h>

#include <bit>
#include <string>

#include "path_split.h"
#include "platform.h"

namespace platform {

namespace {

// The drop query writes at most this many bytes, terminator included.
constexpr UINT kDropBufferBytes = 261;

bool ansiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

HDROP asDrop(DropHandle drop) { return static_cast<HDROP>(drop); }

}  // namespace

PathRules pathRules() { return {"\\/", ansiLeadByte}; }

std::size_t droppedPathLimit() { return kDropBufferBytes - 1; }
// Paths live in 264-byte buffers with their terminator.
std::size_t outputPathLimit() { return 263; }

unsigned dropCount(DropHandle drop) {
  return DragQueryFileA(asDrop(drop), 0xFFFFFFFF, nullptr, 0);
}

std::size_t firstDroppedPathLength(DropHandle drop) {
  return DragQueryFileA(asDrop(drop), 0, nullptr, 0);
}

std::string firstDroppedPath(DropHandle drop) {
  char buffer[264] = {};
  DragQueryFileA(asDrop(drop), 0, buffer, kDropBufferBytes);
  return buffer;
}

void finishDrop(DropHandle drop) { DragFinish(asDrop(drop)); }

PathKind pathKind(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return PathKind::Missing;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Directory
                                                                 : PathKind::File;
}

void createDirectory(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

void copyFileNoOverwrite(const std::string& from, const std::string& to) {
  CopyFileA(from.c_str(), to.c_str(), TRUE);
}

void removeDirectory(const std::string& path) { RemoveDirectoryA(path.c_str()); }

std::string libraryBesideProgram() {
  char buffer[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH + 1);
  // A name that filled the buffer may have been cut: load nothing rather than a wrong path.
  if (length == 0 || length > MAX_PATH) return {};
  PathParts parts = splitPath(std::string(buffer, length), pathRules());
  return parts.drive + parts.directory + "quillcore.dll";
}

LibraryHandle loadLibrary(const std::string& path) {
  // Only a full path is loaded: a bare or relative name would be searched for, starting in
  // places others can write to. LOAD_WITH_ALTERED_SEARCH_PATH takes the library's own
  // dependencies from its folder rather than from the current directory.
  bool drivePath = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  bool networkPath = path.rfind("\\\\", 0) == 0;
  if (!drivePath && !networkPath) return nullptr;
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* findSymbol(LibraryHandle library, const char* name) {
  return std::bit_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(LibraryHandle library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace platform
