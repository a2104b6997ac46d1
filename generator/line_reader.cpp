// Line reading with text-mode rules done here rather than by the C runtime, so that Windows and
// Linux read the same file the same way.
#include "line_reader.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

constexpr char kEndOfFileByte = 0x1A;

// Reads go to a page boundary: the system copies whole pages into the buffer far faster than
// it copies them to an address inside a page.
constexpr std::size_t kPageSize = 4096;

// Room before each read for the unfinished line that the previous read left, so that it and
// the new bytes lie together. A longer line gathers in a buffer of its own instead.
constexpr std::size_t kCarryRoom = 4 * kPageSize;

char* pageAligned(char* p) {
  auto address = reinterpret_cast<std::uintptr_t>(p);
  return p + (kPageSize - address % kPageSize) % kPageSize;
}

}  // namespace

// One read of the file, with the line ends in it.
struct ReadSlot {
  enum class State { Free, Filled, Held };

  std::unique_ptr<char[]> storage;
  char* bytes = nullptr;  // the read's bytes: kCarryRoom bytes before them, a spare byte after
  std::size_t count = 0;  // bytes read, up to an end-of-file byte
  bool last = false;      // no read follows: end of file, an end-of-file byte or a read error
  bool failed = false;    // the read failed
  // Where the LFs among the bytes are, as offsets from `bytes`, in order: all of them, or as
  // many as there is room for when allLineEnds is false.
  std::unique_ptr<std::size_t[]> lineEnds;
  std::size_t lineEndCount = 0;
  bool allLineEnds = false;
  State state = State::Free;
};

// Reads the file a chunk at a time, a chunk ahead of the lines being cut, and finds the line
// ends in it, on a thread of its own: the system's copying of the file into memory and the
// search for line ends then overlap the conversion instead of adding to it. Two slots take
// turns: the line reader holds one while the other is read into. Where no thread can be
// started, each read is made when it is asked for.
class ReadAhead {
 public:
  ReadAhead(std::FILE* file, std::size_t chunk)
      : file_(file), chunk_(chunk), lineEndRoom_(chunk / 64 + 16) {
    for (ReadSlot& slot : slots_) {
      slot.storage.reset(new char[kPageSize + kCarryRoom + chunk_ + 1]);
      slot.bytes = pageAligned(slot.storage.get()) + kCarryRoom;
      slot.lineEnds.reset(new std::size_t[lineEndRoom_]);
    }
    try {
      thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
      // Read when asked instead.
    }
  }

  ~ReadAhead() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next read in file order, once it is made; the caller holds it until release().
  ReadSlot& take() {
    ReadSlot& slot = slots_[taken_++ % slots_.size()];
    if (!thread_.joinable()) {
      read(slot);
      slot.state = ReadSlot::State::Held;
      return slot;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&slot] { return slot.state == ReadSlot::State::Filled; });
    slot.state = ReadSlot::State::Held;
    return slot;
  }

  // Gives a slot back for a later read.
  void release(ReadSlot& slot) {
    {
      std::lock_guard lock(mutex_);
      slot.state = ReadSlot::State::Free;
    }
    changed_.notify_all();
  }

 private:
  void run() {
    for (std::size_t n = 0;; ++n) {
      ReadSlot& slot = slots_[n % slots_.size()];
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock,
                      [this, &slot] { return stopping_ || slot.state == ReadSlot::State::Free; });
        if (stopping_) return;
      }
      read(slot);
      {
        std::lock_guard lock(mutex_);
        slot.state = ReadSlot::State::Filled;
      }
      changed_.notify_all();
      if (slot.last) return;
    }
  }

  void read(ReadSlot& slot) {
    slot.count = std::fread(slot.bytes, 1, chunk_, file_);
    slot.last = false;
    slot.failed = false;
    if (slot.count == 0) {
      slot.last = true;
      slot.failed = std::ferror(file_) != 0;
    } else if (void* stop = std::memchr(slot.bytes, kEndOfFileByte, slot.count)) {
      slot.count = static_cast<std::size_t>(static_cast<char*>(stop) - slot.bytes);
      slot.last = true;
    }
    findLineEnds(slot);
  }

  void findLineEnds(ReadSlot& slot) const {
    char* from = slot.bytes;
    char* end = slot.bytes + slot.count;
    std::size_t count = 0;
    slot.allLineEnds = false;
    while (count < lineEndRoom_) {
      void* found = std::memchr(from, '\n', static_cast<std::size_t>(end - from));
      if (found == nullptr) {
        slot.allLineEnds = true;
        break;
      }
      char* lineFeed = static_cast<char*>(found);
      slot.lineEnds[count++] = static_cast<std::size_t>(lineFeed - slot.bytes);
      from = lineFeed + 1;
    }
    slot.lineEndCount = count;
  }

  std::FILE* file_;
  std::size_t chunk_;
  std::size_t lineEndRoom_;  // line ends noted per read
  std::array<ReadSlot, 2> slots_;
  std::size_t taken_ = 0;  // reads taken so far
  std::mutex mutex_;
  std::condition_variable changed_;  // a slot was filled or released, or stop was asked
  bool stopping_ = false;
  std::thread thread_;
};

LineReader::LineReader(std::FILE* file, std::size_t chunkSize)
    : reads_(std::make_unique<ReadAhead>(file, chunkSize == 0 ? 1 : chunkSize)) {}

LineReader::~LineReader() = default;

char* LineReader::nextUnrecorded(std::size_t* length) {
  std::size_t scanned = 0;  // bytes after begin_ known to hold no LF
  for (;;) {
    if (!allEndsFound_) {
      if (void* found = std::memchr(begin_ + scanned, '\n',
                                    static_cast<std::size_t>(end_ - begin_) - scanned)) {
        return cutLine(static_cast<char*>(found), length);
      }
    }
    scanned = static_cast<std::size_t>(end_ - begin_);
    if (!fill()) {
      if (failed_ || begin_ == end_) return nullptr;
      // A last line without a line end. A CR at its end is an ordinary byte: no LF follows it.
      char* line = begin_;
      *end_ = '\0';
      *length = static_cast<std::size_t>(end_ - begin_);
      begin_ = end_;
      return line;
    }
    if (nextEnd_ != lastEnd_) return cutLine(endsBase_ + *nextEnd_++, length);
  }
}

bool LineReader::fill() {
  if (atEnd_) return false;
  ReadSlot& read = reads_->take();
  atEnd_ = read.last;
  failed_ = read.failed;
  if (read.count == 0) {
    reads_->release(read);
    return false;
  }
  auto carry = static_cast<std::size_t>(end_ - begin_);
  if (carry <= kCarryRoom) {
    // The usual case: the unfinished line goes into the room before the new bytes, and the
    // line ends found in them hold.
    char* to = read.bytes - carry;
    std::memcpy(to, begin_, carry);
    begin_ = to;
    end_ = read.bytes + read.count;
    endsBase_ = read.bytes;
    nextEnd_ = read.lineEnds.get();
    lastEnd_ = nextEnd_ + read.lineEndCount;
    allEndsFound_ = read.allLineEnds;
    if (current_ != nullptr) reads_->release(*current_);
    current_ = &read;
    return true;
  }
  // A long line: it and the new bytes gather in a buffer of their own, growing as needed, and
  // next() looks for line ends there itself.
  std::size_t needed = carry + read.count + 1;
  if (longLine_.size() < needed) {
    std::vector<char> bigger(std::max(needed, 2 * longLine_.size()));
    std::memcpy(bigger.data(), begin_, carry);
    longLine_.swap(bigger);
  } else if (begin_ != longLine_.data()) {
    std::memmove(longLine_.data(), begin_, carry);
  }
  std::memcpy(longLine_.data() + carry, read.bytes, read.count);
  begin_ = longLine_.data();
  end_ = begin_ + carry + read.count;
  endsBase_ = nullptr;
  nextEnd_ = lastEnd_ = nullptr;
  allEndsFound_ = false;
  reads_->release(read);
  if (current_ != nullptr) reads_->release(*current_);
  current_ = nullptr;
  return true;
}
