// Path splitting: separators, dots, drives, and code page 932's double-byte characters.
#include "path_split.h"

#include <gtest/gtest.h>

namespace {

// Code page 932 (Shift JIS): lead bytes 0x81 to 0x9F and 0xE0 to 0xFC.
bool shiftJisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
bool noLeadBytes(unsigned char) { return false; }

const platform::PathRules kWindows932{"\\/", shiftJisLeadByte};
const platform::PathRules kLinux{"/", noLeadBytes};

TEST(PathSplitTest, Table) {
  struct Row {
    const char* name;
    const platform::PathRules& rules;
    std::string path;
    PathParts expected;
  } rows[] = {
      {"Plain", kWindows932, "C:\\Users\\me\\bookmarks.htm",
       {"C:", "\\Users\\me\\", "bookmarks", ".htm"}},
      {"SeveralDots", kWindows932, "C:\\a\\my.book.marks.html", {"C:", "\\a\\", "my.book.marks", ".html"}},
      {"DotOnlyInDirectory", kWindows932, "C:\\my.dir\\bookmarks", {"C:", "\\my.dir\\", "bookmarks", ""}},
      {"UpperCase", kWindows932, "C:\\a\\b.HTM", {"C:", "\\a\\", "b", ".HTM"}},
      {"BackupName", kWindows932, "C:\\a\\b.htm.bak", {"C:", "\\a\\", "b.htm", ".bak"}},
      {"BareDot", kWindows932, "C:\\a\\b.", {"C:", "\\a\\", "b", "."}},
      {"NoDot", kWindows932, "C:\\a\\b", {"C:", "\\a\\", "b", ""}},
      {"ForwardSlashes", kWindows932, "C:/a/b.htm", {"C:", "/a/", "b", ".htm"}},
      {"UncWithoutDrive", kWindows932, "\\\\server\\share\\dir\\b.htm",
       {"", "\\\\server\\share\\dir\\", "b", ".htm"}},
      {"NoDirectory", kWindows932, "b.htm", {"", "", "b", ".htm"}},
      // "表" is 0x95 0x5C in code page 932: its second byte is the backslash's value.
      {"TrailByteIsBackslash", kWindows932, "C:\\\x95\x5C\\b.htm", {"C:", "\\\x95\x5C\\", "b", ".htm"}},
      {"TrailByteIsBackslashLast", kWindows932, "C:\\d\\\x95\x5C", {"C:", "\\d\\", "\x95\x5C", ""}},
      // 0x81 0x2E: a double-byte character whose second byte is a dot.
      {"TrailByteIsDot", kWindows932, "C:\\d\\b\x81.htm", {"C:", "\\d\\", "b\x81.htm", ""}},
      {"LeadByteAtEnd", kWindows932, "C:\\d\\b.h\x95", {"C:", "\\d\\", "b", ".h\x95"}},
      {"LinuxBackslashIsOrdinary", kLinux, "/home/me/a\\b.htm", {"", "/home/me/", "a\\b", ".htm"}},
      {"LinuxUtf8", kLinux, "/home/\xE8\xA1\xA8/b.html", {"", "/home/\xE8\xA1\xA8/", "b", ".html"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PathParts parts = splitPath(row.path, row.rules);
    EXPECT_EQ(parts.drive, row.expected.drive);
    EXPECT_EQ(parts.directory, row.expected.directory);
    EXPECT_EQ(parts.name, row.expected.name);
    EXPECT_EQ(parts.extension, row.expected.extension);
  }
}

}  // namespace
