// Buffered page output.
#include "page_stream.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace {

// The buffers start on a page boundary and are handed on only when full (but for the last part
// of the page), so every write is of whole pages from a page boundary: the system copies those
// far faster than bytes at an address inside a page.
constexpr std::size_t kPageSize = 4096;

char* pageAligned(char* p) {
  auto address = reinterpret_cast<std::uintptr_t>(p);
  return p + (kPageSize - address % kPageSize) % kPageSize;
}

// Writes `size` bytes at `data` unless an earlier write failed, and notes a failure in `failed`.
void writeUnlessFailed(std::FILE* file, const char* data, std::size_t size, bool& failed) {
  if (!failed && std::fwrite(data, 1, size, file) != size) failed = true;
}

}  // namespace

// Writes full buffers to the file on a thread of its own while the conversion fills the other
// buffer, so that the system's copying of the page into the file overlaps the reading and
// converting of the bookmarks instead of adding to it. It holds at most one buffer at a time.
class BackgroundWriter {
 public:
  // Throws std::system_error when no thread can be started.
  explicit BackgroundWriter(std::FILE* file) : file_(file), thread_([this] { run(); }) {}

  // Stops the thread. A buffer handed over but not yet begun is dropped: the stream is being
  // abandoned without a flush, and its page will not be used.
  ~BackgroundWriter() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Waits until the previous buffer is written, then hands over `size` bytes at `data`, which
  // stay untouched until the next write() or finish() returns.
  void write(const char* data, std::size_t size) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_ == nullptr; });
    pending_ = data;
    pendingSize_ = size;
    lock.unlock();
    changed_.notify_all();
  }

  // Waits until everything handed over is written. False when any write failed.
  bool finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_ == nullptr; });
    return !failed_;
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return pending_ != nullptr || stopping_; });
      if (stopping_) return;
      const char* data = pending_;
      std::size_t size = pendingSize_;
      bool failed = failed_;
      lock.unlock();
      writeUnlessFailed(file_, data, size, failed);
      lock.lock();
      failed_ = failed;
      pending_ = nullptr;
      changed_.notify_all();
    }
  }

  std::FILE* file_;
  std::mutex mutex_;
  std::condition_variable changed_;  // a buffer was handed over or written, or stop was asked
  const char* pending_ = nullptr;    // the buffer handed over and not yet written
  std::size_t pendingSize_ = 0;
  bool failed_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once everything it uses is there
};

PageStream::PageStream(std::FILE* file)
    : file_(file),
      storage_(new char[2 * kBufferSize + kPageSize]),
      buffer_(pageAligned(storage_.get())),
      spare_(buffer_ + kBufferSize) {
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

PageStream::~PageStream() = default;

void PageStream::writeOverflowing(std::string_view text) {
  while (text.size() > kBufferSize - used_) {
    std::size_t part = kBufferSize - used_;
    std::memcpy(buffer_ + used_, text.data(), part);
    used_ += part;
    handOff(true);
    text.remove_prefix(part);
  }
  std::memcpy(buffer_ + used_, text.data(), text.size());
  used_ += text.size();
}

void PageStream::handOff(bool more) {
  if (used_ == 0) return;
  // A page that fits in one buffer is written at once; a longer one gets the thread.
  if (!writer_ && more) {
    try {
      writer_ = std::make_unique<BackgroundWriter>(file_);
    } catch (const std::system_error&) {
      // No thread to be had: the page is written here instead, only more slowly.
    }
  }
  if (writer_) {
    writer_->write(buffer_, used_);
    std::swap(buffer_, spare_);
  } else {
    writeUnlessFailed(file_, buffer_, used_, failed_);
  }
  used_ = 0;
}

bool PageStream::flush() {
  handOff(false);
  if (writer_ && !writer_->finish()) failed_ = true;
  if (!failed_ && std::fflush(file_) != 0) failed_ = true;
  return !failed_;
}
