// What the conversion needs of the platform to open its input files safely and to replace a
// page in one step: the page is written
// to a new file of its own beside its final place and moved over the page only when complete,
// so a failed conversion leaves an earlier page as it was and two conversions into one folder
// never mix. One implementation per platform.
#pragma once

#include <cstdio>
#include <string>

// Opens `path` for reading in binary mode when it is a regular file. Anything else (a named
// pipe, a device, a folder) is refused without waiting: a pipe would keep the conversion
// waiting for a writer, and a device could feed it without end. Returns nullptr when refused or
// when the file cannot be opened.
std::FILE* openRegularFile(const char* path);

// Whether a page may be written at `path`: true when nothing is there yet, or when a regular
// file is there that may be written over. A folder, a read-only file or a path that cannot be
// examined is refused.
bool pageWritable(const char* path);

// Creates a new, empty file beside `path` under a name no other file has, opened for writing in
// binary mode; its name goes to `tempPath`. Returns nullptr when it cannot be created (for
// example when the folder does not exist).
std::FILE* createFileBeside(const char* path, std::string& tempPath);

// Moves the file `from` over `to`, replacing `to` whole. False when it cannot.
bool replaceFile(const char* from, const char* to);
