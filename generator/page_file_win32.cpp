// Page file operations on Windows, through the ANSI functions: paths are bytes in the ANSI
// code page and are passed on unchanged.
#include "page_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

namespace {

std::atomic<unsigned> tempCounter{0};

}  // namespace

std::FILE* openRegularFile(const char* path) {
  // A folder cannot be opened as a file here; a device or pipe name is refused by its type.
  std::FILE* file = std::fopen(path, "rb");
  if (file != nullptr &&
      GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

bool pageWritable(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::FILE* createFileBeside(const char* path, std::string& tempPath) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = path;
    tempPath += ".";
    tempPath += std::to_string(GetCurrentProcessId());
    tempPath += "-";
    tempPath += std::to_string(tempCounter.fetch_add(1));
    tempPath += ".tmp";
    HANDLE handle = CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
      if (fd < 0) {
        CloseHandle(handle);
        DeleteFileA(tempPath.c_str());
        break;
      }
      std::FILE* file = _fdopen(fd, "wb");
      if (file == nullptr) {
        _close(fd);
        DeleteFileA(tempPath.c_str());
      }
      return file;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  tempPath.clear();
  return nullptr;
}

bool replaceFile(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}
