// The page being written: a buffered sink over a C stream that turns every line end into CR LF
// and remembers whether any write failed, so that a full disk is noticed at the end.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string_view>

class PageStream {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 18;

  // Writes to `file` (opened in binary mode, owned by the caller).
  explicit PageStream(std::FILE* file);
  ~PageStream();
  PageStream(const PageStream&) = delete;
  PageStream& operator=(const PageStream&) = delete;

  void write(std::string_view text);
  void endLine() { write("\r\n"); }

  // Hands everything buffered to the C stream and flushes it. False when any write so far
  // failed.
  bool flush();

 private:
  void drain();

  std::FILE* file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  bool failed_ = false;
};
