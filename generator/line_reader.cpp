// Line reading with text-mode rules done here rather than by the C runtime, so that Windows and
// Linux read the same file the same way.
#include "line_reader.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr char kEndOfFileByte = 0x1A;

// Reads go to a page boundary: the system copies whole pages into the buffer far faster than
// it copies them to an address inside a page.
constexpr std::size_t kPageSize = 4096;

// Room before the read point for the unfinished line that one read leaves, so that it and the
// next read's bytes lie together. A longer line is moved to the front of the buffer instead
// and the reads after it go wherever it ends.
constexpr std::size_t kCarryRoom = 4 * kPageSize;

char* pageAligned(char* p) {
  auto address = reinterpret_cast<std::uintptr_t>(p);
  return p + (kPageSize - address % kPageSize) % kPageSize;
}

}  // namespace

LineReader::LineReader(std::FILE* file, std::size_t chunkSize)
    : file_(file),
      chunk_(chunkSize == 0 ? 1 : chunkSize),
      storage_(new char[kPageSize + kCarryRoom + chunk_ + 1]),
      capacity_(kPageSize + kCarryRoom + chunk_ + 1),
      front_(pageAligned(storage_.get())),
      begin_(front_ + kCarryRoom),
      end_(begin_) {}

char* LineReader::nextAfterFill(std::size_t* length) {
  for (;;) {
    auto scanned = static_cast<std::size_t>(end_ - begin_);  // bytes known to hold no LF
    if (!fill()) {
      if (failed_ || begin_ == end_) return nullptr;
      // A last line without a line end. A CR at its end is an ordinary byte: no LF follows it.
      char* line = begin_;
      *end_ = '\0';
      *length = static_cast<std::size_t>(end_ - begin_);
      begin_ = end_;
      return line;
    }
    if (void* found = std::memchr(begin_ + scanned, '\n',
                                  static_cast<std::size_t>(end_ - begin_) - scanned)) {
      return cutLine(static_cast<char*>(found), length);
    }
  }
}

bool LineReader::fill() {
  if (atEnd_) return false;
  char* limit = storage_.get() + capacity_;
  if (static_cast<std::size_t>(limit - end_) < chunk_ + 1) {
    // No room for a read after the unread bytes: they move down to end where the reads begin,
    // or to the very front when they are longer than the room for them.
    auto carry = static_cast<std::size_t>(end_ - begin_);
    std::size_t offset = carry <= kCarryRoom ? kCarryRoom - carry : 0;
    std::size_t needed = offset + carry + chunk_ + 1;
    if (needed > static_cast<std::size_t>(limit - front_)) {
      std::size_t capacity = std::max(capacity_ * 2, kPageSize + needed);
      std::unique_ptr<char[]> storage(new char[capacity]);
      char* front = pageAligned(storage.get());
      std::memcpy(front + offset, begin_, carry);
      storage_ = std::move(storage);
      capacity_ = capacity;
      front_ = front;
    } else if (begin_ != front_ + offset) {
      std::memmove(front_ + offset, begin_, carry);
    }
    begin_ = front_ + offset;
    end_ = begin_ + carry;
  }
  std::size_t got = std::fread(end_, 1, chunk_, file_);
  if (got == 0) {
    atEnd_ = true;
    failed_ = std::ferror(file_) != 0;
    return false;
  }
  if (void* stop = std::memchr(end_, kEndOfFileByte, got)) {
    got = static_cast<std::size_t>(static_cast<char*>(stop) - end_);
    atEnd_ = true;
  }
  end_ += got;
  return got > 0;
}
