// Buffered page output.
#include "page_stream.h"

#include <cstdint>

namespace {

// The buffer starts on a page boundary and is written only when full (but for the last part of
// the page), so every write is of whole pages from a page boundary: the system copies those
// far faster than bytes at an address inside a page.
constexpr std::size_t kPageSize = 4096;

char* pageAligned(char* p) {
  auto address = reinterpret_cast<std::uintptr_t>(p);
  return p + (kPageSize - address % kPageSize) % kPageSize;
}

}  // namespace

PageStream::PageStream(std::FILE* file)
    : file_(file),
      storage_(new char[kBufferSize + kPageSize]),
      buffer_(pageAligned(storage_.get())) {
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

PageStream::~PageStream() = default;

void PageStream::writeOverflowing(std::string_view text) {
  while (text.size() > kBufferSize - used_) {
    std::size_t part = kBufferSize - used_;
    std::memcpy(buffer_ + used_, text.data(), part);
    used_ += part;
    drain();
    text.remove_prefix(part);
  }
  std::memcpy(buffer_ + used_, text.data(), text.size());
  used_ += text.size();
}

void PageStream::drain() {
  if (used_ > 0 && !failed_ && std::fwrite(buffer_, 1, used_, file_) != used_) failed_ = true;
  used_ = 0;
}

bool PageStream::flush() {
  drain();
  if (!failed_ && std::fflush(file_) != 0) failed_ = true;
  return !failed_;
}
