// Buffered page output.
#include "page_stream.h"

#include <cstring>

PageStream::PageStream(std::FILE* file) : file_(file), buffer_(new char[kBufferSize]) {}

PageStream::~PageStream() = default;

void PageStream::write(std::string_view text) {
  if (text.size() > kBufferSize - used_) {
    drain();
    if (text.size() >= kBufferSize) {
      // Too big to buffer (a very long address, a deep indent): straight through.
      if (!failed_ && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        failed_ = true;
      }
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, text.data(), text.size());
  used_ += text.size();
}

void PageStream::drain() {
  if (used_ > 0 && !failed_ && std::fwrite(buffer_.get(), 1, used_, file_) != used_) {
    failed_ = true;
  }
  used_ = 0;
}

bool PageStream::flush() {
  drain();
  if (!failed_ && std::fflush(file_) != 0) failed_ = true;
  return !failed_;
}
