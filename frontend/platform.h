// What the drop handling needs of the operating system, under the same names on every platform.
// One implementation file per platform (platform_win32.cpp, platform_posix.cpp); the drop logic
// itself is written once, over these.
//
// Paths are byte strings in the system code page (the ANSI code page on Windows, UTF-8 on
// Linux), passed on unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The platform's drop: on Windows the shell's HDROP; on Linux a std::vector<std::string>* of
// the local file paths that the window received, first item first.
using DropHandle = void*;
// The window that owns message boxes (a HWND, or the toolkit's widget).
using WindowHandle = void*;
// A loaded library.
using LibraryHandle = void*;

namespace platform {

// How paths are cut into parts: the separators, and the code page's lead bytes, each of which
// forms one character with the byte after it (so that byte is never a separator or a dot).
struct PathRules {
  std::string_view separators;
  bool (*isLeadByte)(unsigned char byte);
};
PathRules pathRules();

// The longest path, in bytes without the terminator, that a drop may deliver and that a
// composed output path may have; 0 when the platform sets no such limit.
std::size_t droppedPathLimit();
std::size_t outputPathLimit();

// The number of items in the drop.
unsigned dropCount(DropHandle drop);
// The length in bytes of the first item's path.
std::size_t firstDroppedPathLength(DropHandle drop);
// The first item's path; the caller has checked its length against droppedPathLimit().
std::string firstDroppedPath(DropHandle drop);
// Releases the drop; it is not touched afterwards.
void finishDrop(DropHandle drop);

// Other is anything that is neither a regular file nor a folder: a named pipe, a device, a
// socket. Such a thing could keep a reader waiting for ever, or feed it without end.
enum class PathKind { Missing, File, Directory, Other };
// What the path names; Missing when the lookup finds nothing.
PathKind pathKind(const std::string& path);

// These report nothing: the drop handling goes on whatever their outcome.
void createDirectory(const std::string& path);
// Copies `from` to `to` unless something named `to` exists already.
void copyFileNoOverwrite(const std::string& from, const std::string& to);
// Removes the folder only when it is empty.
void removeDirectory(const std::string& path);

// The conversion library's full path: its file in the program's own folder.
std::string libraryBesideProgram();
// Loads the library at exactly `path` (no search), or returns nullptr.
LibraryHandle loadLibrary(const std::string& path);
void* findSymbol(LibraryHandle library, const char* name);
void unloadLibrary(LibraryHandle library);

}  // namespace platform
