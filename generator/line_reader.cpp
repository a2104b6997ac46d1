// Line reading with text-mode rules done here rather than by the C runtime, so that Windows and
// Linux read the same file the same way.
#include "line_reader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kEndOfFileByte = 0x1A;

}  // namespace

LineReader::LineReader(std::FILE* file, std::size_t chunkSize)
    : file_(file), chunk_(chunkSize == 0 ? 1 : chunkSize), buffer_(chunk_ + 1) {}

char* LineReader::next(std::size_t* length) {
  std::size_t scanned = 0;  // bytes after begin_ already known to hold no LF
  for (;;) {
    char* data = buffer_.data();
    if (void* found = std::memchr(data + begin_ + scanned, '\n', end_ - begin_ - scanned)) {
      std::size_t lineEnd = static_cast<std::size_t>(static_cast<char*>(found) - data);
      std::size_t following = lineEnd + 1;
      // The CR of a CR LF pair belongs to the line end; the reader keeps a pair together even
      // when it arrived split over two chunks, since the partial line is carried over whole.
      if (lineEnd > begin_ && data[lineEnd - 1] == '\r') --lineEnd;
      data[lineEnd] = '\0';
      char* line = data + begin_;
      *length = lineEnd - begin_;
      begin_ = following;
      return line;
    }
    scanned = end_ - begin_;
    if (!fill()) {
      if (failed_ || begin_ == end_) return nullptr;
      // A last line without a line end. A CR at its end is an ordinary byte: no LF follows it.
      data = buffer_.data();
      data[end_] = '\0';  // fill() always leaves one spare byte after end_
      char* line = data + begin_;
      *length = end_ - begin_;
      begin_ = end_;
      return line;
    }
  }
}

bool LineReader::fill() {
  if (atEnd_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (buffer_.size() < end_ + chunk_ + 1) buffer_.resize(std::max(buffer_.size() * 2, end_ + chunk_ + 1));
  char* start = buffer_.data() + end_;
  std::size_t got = std::fread(start, 1, chunk_, file_);
  if (got == 0) {
    atEnd_ = true;
    failed_ = std::ferror(file_) != 0;
    return false;
  }
  if (void* stop = std::memchr(start, kEndOfFileByte, got)) {
    got = static_cast<std::size_t>(static_cast<char*>(stop) - start);
    atEnd_ = true;
  }
  end_ += got;
  return got > 0;
}
