// The platform layer on Linux: POSIX file calls and dlopen. Paths are UTF-8, whose bytes never
// fake a separator or a dot, so there are no lead bytes; "\" is an ordinary character.
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform.h"

namespace platform {

namespace {

bool noLeadBytes(unsigned char) { return false; }

const std::vector<std::string>& paths(DropHandle drop) {
  return *static_cast<const std::vector<std::string>*>(drop);
}

// Writes all of `size` bytes, retrying after interruptions and short writes.
bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Reads exactly `size` bytes at `offset`.
bool readAt(int fd, void* data, std::size_t size, off_t offset) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    ssize_t got = ::pread(fd, bytes, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

// Whether the file at `path` holds every byte its ELF headers say the loader maps. The loader
// maps the segments without comparing them with the file's size, and touching a mapped page
// past the end of a cut-off file (one copied or unpacked only in part) ends the process with
// SIGBUS; such a file is no library to load. Whatever else is wrong with a file dlopen reports.
bool wholeLibraryFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  ElfW(Ehdr) header{};
  bool whole =
      ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && readAt(fd, &header, sizeof header, 0) &&
      std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_phentsize == sizeof(ElfW(Phdr));
  auto size = static_cast<std::uint64_t>(info.st_size);
  for (unsigned i = 0; whole && i < header.e_phnum; ++i) {
    ElfW(Phdr) segment{};
    std::uint64_t at = header.e_phoff + std::uint64_t{i} * sizeof segment;
    whole = size >= sizeof segment && at <= size - sizeof segment &&
            readAt(fd, &segment, sizeof segment, static_cast<off_t>(at));
    if (whole && segment.p_type == PT_LOAD) {
      whole = segment.p_offset <= size && segment.p_filesz <= size - segment.p_offset;
    }
  }
  ::close(fd);
  return whole;
}

}  // namespace

PathRules pathRules() { return {"/", noLeadBytes}; }

std::size_t droppedPathLimit() { return 0; }
std::size_t outputPathLimit() { return 0; }

unsigned dropCount(DropHandle drop) { return static_cast<unsigned>(paths(drop).size()); }

std::size_t firstDroppedPathLength(DropHandle drop) { return paths(drop).front().size(); }

std::string firstDroppedPath(DropHandle drop) { return paths(drop).front(); }

// The window keeps the list of paths; there is nothing to release.
void finishDrop(DropHandle) {}

PathKind pathKind(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return PathKind::Missing;
  if (S_ISDIR(info.st_mode)) return PathKind::Directory;
  return S_ISREG(info.st_mode) ? PathKind::File : PathKind::Other;
}

void createDirectory(const std::string& path) { ::mkdir(path.c_str(), 0777); }

void copyFileNoOverwrite(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return;
  // O_EXCL: a file already there is left alone, whatever it holds.
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) {
    ::close(in);
    return;
  }
  bool copied = true;
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      copied = got == 0;
      break;
    }
    if (!writeAll(out, buffer, static_cast<std::size_t>(got))) {
      copied = false;
      break;
    }
  }
  ::close(in);
  if (::close(out) != 0) copied = false;
  // No half-copied picture: a later drop could never replace it.
  if (!copied) ::unlink(to.c_str());
}

void removeDirectory(const std::string& path) { ::rmdir(path.c_str()); }

std::string libraryBesideProgram() {
  char buffer[4096];
  std::string program;
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
    program.assign(buffer, static_cast<std::size_t>(length));
  }
  std::string::size_type slash = program.rfind('/');
  // Without its own path the program loads no library at all rather than searching for one.
  if (slash == std::string::npos) return {};
  return program.substr(0, slash + 1) + "libquillcore.so";
}

LibraryHandle loadLibrary(const std::string& path) {
  // Only a full path is loaded: dlopen searches for a bare name, and takes a relative one
  // against the current directory.
  if (path.empty() || path.front() != '/') return nullptr;
  if (!wholeLibraryFile(path)) return nullptr;
  return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* findSymbol(LibraryHandle library, const char* name) { return ::dlsym(library, name); }

void unloadLibrary(LibraryHandle library) { ::dlclose(library); }

}  // namespace platform
