// Cuts a byte stream into lines by the text-mode rules every platform gets alike: a CR LF pair
// or a lone LF ends a line, a lone CR is an ordinary byte, a byte 0x1A ends the input, and
// nothing else is translated.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

class ReadAhead;
struct ReadSlot;

class LineReader {
 public:
  static constexpr std::size_t kDefaultChunk = std::size_t{1} << 20;

  // Reads from `file` (opened in binary mode, owned by the caller, open until the reader is
  // destroyed) `chunkSize` bytes at a time.
  explicit LineReader(std::FILE* file, std::size_t chunkSize = kDefaultChunk);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its line end, zero-terminated in a writable buffer that stays valid
  // until the next call, its length in `length`. A zero byte inside the line is kept (and so
  // ends the line for anything that reads it as a C string). Returns nullptr at the end of the
  // input and on a read error; failed() tells the two apart. Lines have no length limit: the
  // buffer grows with the longest line and never with the size of the input.
  char* next(std::size_t* length) {
    // Almost every line ends at a line end that the read ahead already found.
    if (nextEnd_ != lastEnd_) return cutLine(endsBase_ + *nextEnd_++, length);
    return nextUnrecorded(length);
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

  // next() once the line ends found ahead are used up: looks for one itself, and reads on
  // until the line is whole or the input ends.
  char* nextUnrecorded(std::size_t* length);

  // Puts the next read after the unread bytes. False when no byte came.
  bool fill();

  std::unique_ptr<ReadAhead> reads_;
  ReadSlot* current_ = nullptr;  // the read that begin_ and end_ lie in, if they lie in one
  std::vector<char> longLine_;   // where a line too long to be carried over gathers
  char noBytes_ = '\0';          // where begin_ and end_ point before the first read
  char* begin_ = &noBytes_;      // first unread byte
  char* end_ = &noBytes_;        // one past the last byte read; a spare byte always follows it
  // The LFs after begin_ that the read ahead found, as offsets from endsBase_. When
  // allEndsFound_ is false, more LFs may follow the last of them.
  char* endsBase_ = nullptr;
  const std::size_t* nextEnd_ = nullptr;
  const std::size_t* lastEnd_ = nullptr;
  bool allEndsFound_ = false;
  bool atEnd_ = false;  // end of file, an end-of-file byte or a read error: read no more
  bool failed_ = false;
};
