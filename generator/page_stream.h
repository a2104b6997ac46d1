// The page being written: a buffered sink over a C stream that turns every line end into CR LF
// and remembers whether any write failed, so that a full disk is noticed at the end.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

class PageStream {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

  // Writes to `file` (opened in binary mode, nothing written to it yet, owned by the caller,
  // open until the stream is destroyed). The stream takes the C stream's own buffering away:
  // it would only copy the start of each of this stream's buffers and write that on its own.
  explicit PageStream(std::FILE* file);
  ~PageStream();
  PageStream(const PageStream&) = delete;
  PageStream& operator=(const PageStream&) = delete;

  // A page is written in many small pieces, so the common case, a piece that fits in the
  // buffer, is kept here where the compiler can inline it.
  void write(std::string_view text) {
    if (text.size() <= kBufferSize - used_) {
      std::memcpy(buffer_ + used_, text.data(), text.size());
      used_ += text.size();
    } else {
      writeOverflowing(text);
    }
  }
  void endLine() { write("\r\n"); }

  // Room for `size` more bytes straight in the buffer, or nullptr when less is left there: for
  // a writer that lays out a whole line at once rather than piece by piece. Once it has filled
  // the room, commit(size) adds the bytes to the page.
  char* room(std::size_t size) { return size <= kBufferSize - used_ ? buffer_ + used_ : nullptr; }
  void commit(std::size_t size) { used_ += size; }

  // Hands everything buffered to the C stream and flushes it. False when any write so far
  // failed.
  bool flush();

 private:
  // Fills the buffer up with the start of `text`, writes it whole, and goes on with the rest.
  void writeOverflowing(std::string_view text);
  // Writes the filled part of the buffer and goes on with an empty buffer.
  void drain();

  std::FILE* file_;
  std::unique_ptr<char[]> storage_;
  char* buffer_;  // kBufferSize bytes in storage_ on a page boundary
  std::size_t used_ = 0;
  bool failed_ = false;
};
