// Cuts a byte stream into lines by the text-mode rules every platform gets alike: a CR LF pair
// or a lone LF ends a line, a lone CR is an ordinary byte, a byte 0x1A ends the input, and
// nothing else is translated.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>

class LineReader {
 public:
  static constexpr std::size_t kDefaultChunk = std::size_t{1} << 20;

  // Reads from `file` (opened in binary mode, owned by the caller) `chunkSize` bytes at a time.
  explicit LineReader(std::FILE* file, std::size_t chunkSize = kDefaultChunk);

  // The next line without its line end, zero-terminated in a writable buffer that stays valid
  // until the next call, its length in `length`. A zero byte inside the line is kept (and so
  // ends the line for anything that reads it as a C string). Returns nullptr at the end of the
  // input and on a read error; failed() tells the two apart. Lines have no length limit: the
  // buffer grows with the longest line and never with the size of the input.
  char* next(std::size_t* length) {
    // Almost every line lies whole in the bytes already read.
    if (void* found = std::memchr(begin_, '\n', static_cast<std::size_t>(end_ - begin_))) {
      return cutLine(static_cast<char*>(found), length);
    }
    return nextAfterFill(length);
  }

  bool failed() const { return failed_; }

 private:
  // Ends the line that starts at begin_ at the LF at `lineFeed`.
  char* cutLine(char* lineFeed, std::size_t* length) {
    char* line = begin_;
    char* lineEnd = lineFeed;
    // The CR of a CR LF pair belongs to the line end; the reader keeps a pair together even
    // when it arrived split over two reads, since the partial line is carried over whole.
    if (lineEnd > line && lineEnd[-1] == '\r') --lineEnd;
    *lineEnd = '\0';
    *length = static_cast<std::size_t>(lineEnd - line);
    begin_ = lineFeed + 1;
    return line;
  }

  // next() for a line that is not yet read whole: reads on until it is, or the input ends.
  char* nextAfterFill(std::size_t* length);

  // Keeps the unread bytes and appends the next chunk after them. False when no byte came.
  bool fill();

  std::FILE* file_;
  std::size_t chunk_;
  std::unique_ptr<char[]> storage_;
  std::size_t capacity_ = 0;  // bytes in storage_
  char* front_ = nullptr;     // the first byte of storage_ on a page boundary
  char* begin_ = nullptr;     // first unread byte
  char* end_ = nullptr;       // one past the last byte read; a spare byte always follows it
  bool atEnd_ = false;        // end of file, an end-of-file byte or a read error: read no more
  bool failed_ = false;
};
