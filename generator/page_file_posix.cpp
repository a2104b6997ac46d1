// Page file operations on POSIX systems.
#include "page_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace {

std::atomic<unsigned> tempCounter{0};

}  // namespace

std::FILE* openRegularFile(const char* path) {
  // O_NONBLOCK so that opening a named pipe returns at once instead of waiting for a writer.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
}

bool pageWritable(const char* path) {
  struct stat info {};
  if (::stat(path, &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode)) return false;
  // A file without any write permission is read-only for everyone: root would be let in by
  // open(), but the user marked the page as not to be changed.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  int fd = ::open(path, O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::FILE* createFileBeside(const char* path, std::string& tempPath) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = path;
    tempPath += ".";
    tempPath += std::to_string(::getpid());
    tempPath += "-";
    tempPath += std::to_string(tempCounter.fetch_add(1));
    tempPath += ".tmp";
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) {
      std::FILE* file = ::fdopen(fd, "wb");
      if (file == nullptr) {
        ::close(fd);
        ::unlink(tempPath.c_str());
      }
      return file;
    }
    if (errno != EEXIST) break;
  }
  tempPath.clear();
  return nullptr;
}

bool replaceFile(const char* from, const char* to) { return std::rename(from, to) == 0; }
