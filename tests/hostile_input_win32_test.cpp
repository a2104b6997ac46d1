// Unusual names on Windows, where the program takes paths as bytes in the ANSI code page: names
// outside ASCII, and under code page 932 a folder whose name ends in a double-byte character
// whose second byte is 0x5C, the byte of "\". The files are made and read through the same
// ANSI calls, so that the bytes are exactly what the program gets.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace {

using testing_support::kBookmarks;
using testing_support::ProgramRun;

// `text` in the ANSI code page, or "" when some character has no form there.
std::string ansi(const std::wstring& text) {
  BOOL lossy = FALSE;
  int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(),
                                 static_cast<int>(text.size()), nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return "";
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()),
                      bytes.data(), size, nullptr, nullptr);
  return bytes;
}

void writeAnsi(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << "cannot write " << path;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string readAnsi(const std::string& path) {
  std::string bytes;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    std::fclose(file);
  }
  return bytes;
}

bool isFile(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The names in `folder`, read with the wide calls: what the names really are.
std::wstring wideListing(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return L"<none>";
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  std::wstring listing;
  for (const auto& name : names) listing += (listing.empty() ? L"" : L" ") + name;
  return listing;
}

// Drops `file` in `folder` (both ANSI bytes, the folder under the user's) and expects the page
// and pictures in "Quillmap" inside that folder.
void expectConvertsInside(ProgramRun& run, const std::string& folder, const std::string& file) {
  std::string base = run.home().string() + "\\" + folder;
  ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
  std::string dropped = base + "\\" + file;
  writeAnsi(dropped, kBookmarks);
  // The expected page is made of a copy under a plain name.
  testing_support::TempDir scratch;
  testing_support::writeFile(scratch.path() / "b.htm", kBookmarks);
  std::string expected = run.expectedPage(scratch.path() / "b.htm");

  EXPECT_EQ(run.drop({dropped}), "");
  EXPECT_EQ(readAnsi(base + "\\Quillmap\\Quillmap.htm"), expected);
  EXPECT_TRUE(isFile(base + "\\Quillmap\\folder1.gif"));
  EXPECT_TRUE(isFile(base + "\\Quillmap\\folder2.gif"));
  EXPECT_EQ(readAnsi(dropped), kBookmarks);
}

TEST(HostileInputWin32Test, NamesOutsideAscii) {
  // Whatever the code page, the characters it has: Latin letters in 1252, kana and kanji in 932.
  int tried = 0;
  for (const std::wstring& name :
       {std::wstring(L"caf\u00e9 \u00fc \u00df"), std::wstring(L"\u30d6\u30c3\u30af \u6587")}) {
    std::string bytes = ansi(name);
    if (bytes.empty()) continue;
    SCOPED_TRACE(bytes);
    ProgramRun run;
    expectConvertsInside(run, bytes, bytes + ".htm");
    ++tried;
  }
  EXPECT_GE(tried, 1) << "no name fits code page " << GetACP();
}

TEST(HostileInputWin32Test, Cp932FolderEndingInTrailByte5C) {
  if (GetACP() != 932) {
    GTEST_SKIP() << "the ANSI code page is " << GetACP()
                 << "; run under LANG=ja_JP.UTF-8 for code page 932";
  }
  // "表" (U+8868) is 0x95 0x5C in code page 932: taken byte by byte, the folder's name would
  // end in "\" and the output would land in its parent, in a folder named by the lead byte.
  std::string folder = ansi(L"\u8868");
  ASSERT_EQ(folder, "\x95\x5C");
  for (const std::string& file : {std::string("b.htm"), ansi(L"\u8868.htm")}) {
    SCOPED_TRACE(file);
    ProgramRun run;
    expectConvertsInside(run, folder, file);
    std::wstring home = run.home().wstring();
    EXPECT_EQ(wideListing(home), L"\u8868");
    EXPECT_EQ(
        wideListing(home + L"\\\u8868"),
        (file == "b.htm" ? std::wstring(L"Quillmap b.htm") : std::wstring(L"Quillmap \u8868.htm")));
  }
}

}  // namespace
