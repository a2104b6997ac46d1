// The line reader: text-mode rules, and the same lines whatever the size of the reads.
#include "line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testing_support::TempDir;

struct Read {
  std::vector<std::string> lines;
  bool failed = false;
};

Read readAll(std::FILE* file, std::size_t chunk) {
  LineReader reader(file, chunk);
  Read result;
  std::size_t length = 0;
  while (const char* line = reader.next(&length)) result.lines.emplace_back(line, length);
  result.failed = reader.failed();
  return result;
}

// Reads `bytes` through every read size from 1 to a little over the input and checks that each
// gives `expected`.
void expectLines(const std::string& bytes, const std::vector<std::string>& expected) {
  TempDir dir;
  std::string path = dir.file("input");
  testing_support::writeFile(path, bytes);
  for (std::size_t chunk = 1; chunk <= bytes.size() + 2; ++chunk) {
    SCOPED_TRACE("read size " + std::to_string(chunk));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    Read read = readAll(file, chunk);
    std::fclose(file);
    EXPECT_FALSE(read.failed);
    ASSERT_EQ(read.lines, expected);
  }
}

TEST(LineReaderTest, LineEnds) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"Empty", "", {}},
      {"LF", "a\nbc\n", {"a", "bc"}},
      {"CRLF", "a\r\nbc\r\n", {"a", "bc"}},
      {"Mixed", "a\r\nb\nc\r\n", {"a", "b", "c"}},
      {"EmptyLines", "\n\r\n\n", {"", "", ""}},
      {"LastLineWithoutEnd", "a\nlast", {"a", "last"}},
      {"LoneCRIsOrdinary", "a\rb\r\nc\r", {"a\rb", "c\r"}},
      {"CRCRLF", "a\r\r\n", {"a\r"}},
      {"EndOfFileByte", "a\nb\x1A" "c\nd\n", {"a", "b"}},
      {"EndOfFileByteAtLineStart", "a\n\x1A" "b\n", {"a"}},
      {"EndOfFileByteAfterCR", "a\r\x1A\n", {"a\r"}},
      {"ZeroByteKept", std::string("a\0b\nc\n", 6), {std::string("a\0b", 3), "c"}},
      {"HighBytes", "\xC3\xA9\xFF\n", {"\xC3\xA9\xFF"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectLines(c.bytes, c.lines);
  }
}

TEST(LineReaderTest, LongLinesWhole) {
  std::string l1023(1023, 'x'), l1024(1024, 'y'), l5000(5000, 'z');
  std::string bytes = l1023 + "\r\n" + l1024 + "\n" + l5000 + "\r\n" + "end";
  TempDir dir;
  std::string path = dir.file("input");
  testing_support::writeFile(path, bytes);
  for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{1024},
                            LineReader::kDefaultChunk}) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    Read read = readAll(file, chunk);
    std::fclose(file);
    EXPECT_EQ(read.lines, (std::vector<std::string>{l1023, l1024, l5000, "end"}));
  }
}

}  // namespace
