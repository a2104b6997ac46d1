// A library planted where a search for the converter would find it. Loading it runs code, as
// loading any planted library would: it leaves a mark in the file QUILLMAP_MARK_FILE names.
// Its readAndWrite writes a page of its own and reports success.
#include <cstdio>
#include <cstdlib>

__attribute__((constructor)) static void markLoad() {
  if (const char* mark = std::getenv("QUILLMAP_MARK_FILE")) {
    if (std::FILE* file = std::fopen(mark, "ab")) {
      std::fputs("loaded\n", file);
      std::fclose(file);
    }
  }
}

extern "C" bool readAndWrite(const char*, const char* outputPath, const char*) {
  std::FILE* file = std::fopen(outputPath, "wb");
  if (file == nullptr) return false;
  std::fputs("a planted page\n", file);
  return std::fclose(file) == 0;
}
