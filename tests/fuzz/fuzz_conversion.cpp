// The fuzz target: every input is a bookmark file. The library converts it in memory, and the
// page must pass every check in conversion_check.h; a page that fails stops the run with what
// is wrong with it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "conversion_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bookmarks(reinterpret_cast<const char*>(data), size);
  // The read size follows from the input, so that over a run lines and CR LF pairs fall across
  // reads in every way, and any input found replays with the same reads.
  std::size_t readSize = kReadSizes[size % kReadSizes.size()];
  std::string fault = checkConversion(bookmarks, readSize);
  if (!fault.empty()) {
    std::fprintf(stderr, "\nquillmap fuzz: %s (read size %zu)\n", fault.c_str(), readSize);
    __builtin_trap();
  }
  return 0;
}
