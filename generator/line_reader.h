// Cuts a byte stream into lines by the text-mode rules every platform gets alike: a CR LF pair
// or a lone LF ends a line, a lone CR is an ordinary byte, a byte 0x1A ends the input, and
// nothing else is translated.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

class LineReader {
 public:
  static constexpr std::size_t kDefaultChunk = std::size_t{1} << 18;

  // Reads from `file` (opened in binary mode, owned by the caller) `chunkSize` bytes at a time.
  explicit LineReader(std::FILE* file, std::size_t chunkSize = kDefaultChunk);

  // The next line without its line end, zero-terminated in a writable buffer that stays valid
  // until the next call, its length in `length`. A zero byte inside the line is kept (and so
  // ends the line for anything that reads it as a C string). Returns nullptr at the end of the
  // input and on a read error; failed() tells the two apart. Lines have no length limit: the
  // buffer grows with the longest line and never with the size of the input.
  char* next(std::size_t* length);

  bool failed() const { return failed_; }

 private:
  // Moves the unread bytes to the front and appends the next chunk. False when no byte came.
  bool fill();

  std::FILE* file_;
  std::size_t chunk_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // one past the last byte read
  bool atEnd_ = false;     // end of file, an end-of-file byte or a read error: read no more
  bool failed_ = false;
};
