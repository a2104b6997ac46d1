// One bookmark file, held in memory, through the library's conversion, and the checks every
// page it makes must pass. The fuzz target runs them on every input it makes up; the replay
// test runs them on the seeds and on the saved findings.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The template the check puts at the start of every page, as the export copies one.
inline constexpr std::string_view kCheckTemplate =
    "<HTML><HEAD><TITLE>Bookmarks</TITLE></HEAD>\r\n<BODY>\r\n";

// Read sizes for the line reader: from a byte at a time, which splits every line and every
// CR LF pair over reads, to more than a fuzz input holds.
inline constexpr std::array<std::size_t, 6> kReadSizes = {1, 2, 3, 7, 64, 4096};

// The page the library makes of `bookmarks`, in memory: the template, then what convertLines
// writes, from the state a fresh load of the library has (nesting depth 1, no folder numbered
// yet), reading `readSize` bytes at a time. False when convertLines fails.
bool convertInMemory(std::string_view bookmarks, std::size_t readSize, std::string& page);

// What is wrong with `page` as the page of `bookmarks`; empty when nothing is. The page must
// hold the template first and the trailer last, and between them only tree lines ending in
// CR LF; its folders must be numbered 1, 2, 3 and so on, each anchor followed by the start of
// its block; it must close as many blocks as the library's classifier finds list ends; and it
// must be exactly the page that referenceTreeLines() makes.
std::string pageFault(std::string_view bookmarks, std::string_view page);

// Converts `bookmarks` and checks the page: what is wrong, or empty.
std::string checkConversion(std::string_view bookmarks, std::size_t readSize);
