// Unusual input that only Linux allows: file names with any byte but "/" and NUL, paths longer
// than the system lets a program name, and (opt-in, QUILLMAP_BIG_TESTS=1) inputs and pages of
// many gigabytes, converted with memory that does not grow with them.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "messages.h"
#include "quillcore.h"
#include "support/child_process.h"
#include "support/drop_checks.h"
#include "support/program_run.h"
#include "support/snapshot.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::kBookmarks;
using testing_support::ProgramRun;
using testing_support::snapshot;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(HostileInputPosixTest, NamesWithAnyByte) {
  struct Row {
    std::string folder;
    std::string file;
  } rows[] = {
      {"", "say \"cheese\".htm"},
      {"", "back\\slash.htm"},  // an ordinary character here, never a separator
      {"a\\b\\c:", "b.htm"},
      {"", "new\nline\r.htm"},
      {"", "tab\there.htm"},
      {"", "caf\xC3\xA9 \xC3\xBC \xE3\x83\x96\xE3\x83\x83\xE3\x82\xAF \xE6\x96\x87.htm"},
      {"\xE8\xA1\xA8", "\xE8\xA1\xA8.htm"},
      {"", "\xFF\xFE not UTF-8 \x95\x5C.htm"},
      {"-", "-.html"},
  };
  for (const Row& row : rows) testing_support::expectNameConverts(row.folder, row.file);
}

// A chain of folders made one by one from open folders, so that the whole path may pass
// PATH_MAX, which no call taking a path accepts; removed again the same way.
class LongPath {
 public:
  // Folders under `base` so that base + folders + "/" + `file` is exactly `length` bytes.
  LongPath(const fs::path& base, std::size_t length, const std::string& file) : base_(base) {
    std::string path = base.string();
    fds_.push_back(::open(path.c_str(), O_DIRECTORY | O_CLOEXEC));
    // Each folder takes its name and a "/": names of 200 bytes, and the last one what is left
    // (a name of at least one byte, so no single byte may be left over).
    std::size_t left = length - path.size() - 1 - file.size();
    while (left > 0) {
      std::size_t take = left <= 201 ? left : (left - 201 == 1 ? 200 : 201);
      std::string name(take - 1, static_cast<char>('a' + names_.size() % 26));
      ::mkdirat(fds_.back(), name.c_str(), 0777);
      fds_.push_back(::openat(fds_.back(), name.c_str(), O_DIRECTORY | O_CLOEXEC));
      names_.push_back(name);
      path += "/" + name;
      left -= take;
    }
    int fd = ::openat(fds_.back(), file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    static_cast<void>(::write(fd, kBookmarks.data(), kBookmarks.size()));
    ::close(fd);
    file_ = file;
    path_ = path + "/" + file;
  }
  ~LongPath() {
    // From the innermost folder outwards: whatever the drop made, then the folder itself.
    for (std::size_t i = fds_.size(); i-- > 1;) {
      removeContents(fds_[i]);
      ::close(fds_[i]);
      ::unlinkat(fds_[i - 1], names_[i - 1].c_str(), AT_REMOVEDIR);
    }
    ::close(fds_[0]);
  }

  const std::string& path() const { return path_; }
  // The names in `folder` inside the innermost folder; "" when there is none.
  std::string listing(const char* folder = ".") const {
    std::string listing;
    int fd = ::openat(fds_.back(), folder, O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return listing;
    if (DIR* dir = ::fdopendir(fd)) {
      std::vector<std::string> names;
      while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      ::closedir(dir);
      std::sort(names.begin(), names.end());
      for (const auto& name : names) listing += (listing.empty() ? "" : " ") + name;
    }
    return listing;
  }

 private:
  static void removeContents(int folder) {
    for (const char* name :
         {"Quillmap/Quillmap.htm", "Quillmap/folder1.gif", "Quillmap/folder2.gif"}) {
      ::unlinkat(folder, name, 0);
    }
    ::unlinkat(folder, "Quillmap", AT_REMOVEDIR);
    for (const char* name : {"b.htm", "bookmarks.htm"}) ::unlinkat(folder, name, 0);
  }

  fs::path base_;
  std::vector<int> fds_;
  std::vector<std::string> names_;
  std::string file_;
  std::string path_;
};

TEST(HostileInputPosixTest, PathsAroundPathMax) {
  // A path of up to PATH_MAX - 1 bytes can be opened. The page is written under a temporary
  // name beside it (its own name, a dot, the process id, a counter and ".tmp"), so a page path
  // that fits converts only when that name fits too; beyond that the drop fails cleanly, and a
  // dropped path beyond PATH_MAX is refused before anything is made.
  constexpr std::size_t kPageName = std::char_traits<char>::length("Quillmap/Quillmap.htm");
  constexpr std::size_t kLongest = PATH_MAX - 1;
  struct Row {
    const char* name;
    std::size_t pageLength;  // of the page path; the dropped path ("b.htm") is 16 bytes less
    std::string message;
    std::string listing;  // of the dropped file's folder afterwards
    std::string output;   // of the Quillmap folder in it
  } rows[] = {
      {"RoomForTheTemporaryName", kLongest - 32, "", "Quillmap b.htm",
       "Quillmap.htm folder1.gif folder2.gif"},
      {"PagePathFitsTemporaryNameDoesNot", kLongest, kGenerateFailedMessage, "Quillmap b.htm",
       "folder1.gif folder2.gif"},
      {"PagePathTooLong", kLongest + 6, kGenerateFailedMessage, "b.htm", ""},
      {"DroppedPathTooLong", kLongest + 200, kOpenFailedMessage, "b.htm", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramRun run;
    LongPath path(run.home(), row.pageLength - kPageName + 5, "b.htm");
    ASSERT_EQ(path.path().size() + kPageName - 5, row.pageLength);
    EXPECT_EQ(run.drop({path.path()}), row.message);
    EXPECT_EQ(path.listing(), row.listing);
    EXPECT_EQ(path.listing("Quillmap"), row.output);
  }
}

// -- big inputs (opt-in) ---------------------------------------------------------------------

bool bigTestsWanted() {
  const char* wanted = std::getenv("QUILLMAP_BIG_TESTS");
  return wanted != nullptr && std::string(wanted) == "1";
}

// Writes bytes to a file through a large buffer.
class Writer {
 public:
  explicit Writer(const fs::path& path) : file_(std::fopen(path.string().c_str(), "wb")) {
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  }
  ~Writer() { close(); }
  void write(std::string_view bytes) {
    if (file_ != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
      failed_ = true;
    }
    size_ += bytes.size();
  }
  bool close() {
    if (file_ != nullptr) {
      failed_ |= std::fclose(file_) != 0;
      file_ = nullptr;
    }
    return !failed_;
  }
  std::uint64_t size() const { return size_; }

 private:
  std::FILE* file_;
  bool failed_ = false;
  std::uint64_t size_ = 0;
};

// Reads a file from its start and compares it with the expected bytes, piece by piece, without
// holding more than one buffer of either; remembers the first difference.
class Comparer {
 public:
  explicit Comparer(const fs::path& path)
      : file_(std::fopen(path.string().c_str(), "rb")), buffer_(1 << 20) {}
  ~Comparer() {
    if (file_ != nullptr) std::fclose(file_);
  }
  void expect(std::string_view bytes) {
    while (!bytes.empty() && ok()) {
      if (at_ == filled_ && !refill()) {
        mismatch_ = offset_;
        return;
      }
      std::size_t n = std::min(bytes.size(), filled_ - at_);
      if (std::memcmp(buffer_.data() + at_, bytes.data(), n) != 0) {
        for (std::size_t i = 0; i < n; ++i) {
          if (buffer_[at_ + i] != bytes[i]) {
            mismatch_ = offset_ + i;
            return;
          }
        }
      }
      at_ += n;
      offset_ += n;
      bytes.remove_prefix(n);
    }
  }
  // True when every byte matched and the file ends right there.
  bool matchedToEnd() {
    if (!ok()) return false;
    if (at_ < filled_ || refill()) {
      mismatch_ = offset_;
      return false;
    }
    return true;
  }
  bool ok() const { return file_ != nullptr && mismatch_ == kNone; }
  std::uint64_t mismatch() const { return mismatch_; }

 private:
  bool refill() {
    filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    at_ = 0;
    return filled_ > 0;
  }
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
  std::FILE* file_;
  std::vector<char> buffer_;
  std::size_t filled_ = 0;
  std::size_t at_ = 0;
  std::uint64_t offset_ = 0;
  std::uint64_t mismatch_ = kNone;
};

const std::string kBigTemplate = "<HTML><BODY>\n";

std::string indentOf(std::int64_t units) {
  std::string text;
  for (std::int64_t i = 0; i < units; ++i) text += "&#160; &#160; &#160;";
  return text;
}

// An input given line by line, each with the page lines it becomes, so that the input can be
// written and the page checked from the same description without holding either.
using LineSource =
    std::function<void(const std::function<void(std::string_view input, std::string_view page)>&)>;

struct BigRun {
  std::uint64_t inputBytes = 0;
  std::uint64_t pageBytes = 0;
  std::uint64_t lines = 0;
  double seconds = 0;        // from start to end
  double userSeconds = 0;    // of processor time in the conversion's own code
  double systemSeconds = 0;  // and in the system's (reading and writing the files)
  long maxRssKiB = 0;
};

// Writes the input, converts it in a child process that loads the library as the program does
// (its peak memory measured), checks the page byte for byte, and removes both files.
BigRun convertBig(const LineSource& source) {
  BigRun run;
  TempDir dir;
  fs::path input = dir.path() / "big.html", page = dir.path() / "page.htm",
           templatePath = dir.path() / "template.htm";
  writeFile(templatePath, kBigTemplate);
  {
    Writer writer(input);
    source([&](std::string_view in, std::string_view) {
      writer.write(in);
      ++run.lines;
    });
    run.inputBytes = writer.size();
    EXPECT_TRUE(writer.close()) << "cannot write " << input;
  }
  fs::path library = testing_support::executableDir() / testing_support::libraryFileName();
  auto start = std::chrono::steady_clock::now();
  testing_support::ChildOutcome outcome = testing_support::inChild(
      [&]() -> std::string {
        testing_support::Library loaded;
        return loaded.readAndWrite(input.string(), page.string(), templatePath.string()) ? "1"
                                                                                         : "0";
      },
      std::chrono::minutes(20));
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.maxRssKiB = outcome.maxRssKiB;
  run.userSeconds = outcome.userSeconds;
  run.systemSeconds = outcome.systemSeconds;
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.output, "1") << "the conversion failed";
  fs::remove(input);
  if (outcome.output != "1") return run;

  run.pageBytes = fs::file_size(page);
  Comparer comparer(page);
  comparer.expect("<HTML><BODY>\r\n");
  std::uint64_t expectedBytes = 14;
  source([&](std::string_view, std::string_view out) {
    comparer.expect(out);
    expectedBytes += out.size();
  });
  comparer.expect("</BODY></HTML>\r\n");
  expectedBytes += 16;
  EXPECT_EQ(run.pageBytes, expectedBytes);
  EXPECT_TRUE(comparer.matchedToEnd()) << "the page differs from byte " << comparer.mismatch();
  return run;
}

void report(const char* what, const BigRun& run) {
  auto mb = [](std::uint64_t bytes) { return static_cast<double>(bytes) / 1e6; };
  auto lines = static_cast<double>(run.lines);
  std::printf("%s: input %.1f MB, page %.1f MB, %llu lines\n", what, mb(run.inputBytes),
              mb(run.pageBytes), static_cast<unsigned long long>(run.lines));
  auto pageBytes = static_cast<double>(run.pageBytes);
  std::printf(
      "    %.2f s (%.0f MB/s of page, %.1f ns/line); processor: own code %.2f s (%.1f ns/line, "
      "%.3f ns/page byte), system %.2f s; peak memory %ld KiB\n",
      run.seconds, mb(run.pageBytes) / run.seconds, run.seconds * 1e9 / lines, run.userSeconds,
      run.userSeconds * 1e9 / lines, run.userSeconds * 1e9 / pageBytes, run.systemSeconds,
      run.maxRssKiB);
  std::fflush(stdout);
}

// The page's two lines for folder `n` at `units` of indentation.
std::string folderPageLines(int units, const std::string& n, const std::string& title) {
  return indentOf(units) + "<A HREF=\"JavaScript:onClick=Display('display" + n +
         "');ImageChange('img" + n + "');\"><IMG SRC=\"folder1.gif\" ID=\"img" + n +
         "\" BORDER=\"0\">" + title + "</A><BR>\r\n<DIV ID=\"display" + n +
         "\" STYLE=\"display:none\">\r\n";
}

// Folders nested `levels` deep, a link in the innermost.
LineSource deepNesting(int levels) {
  return [levels](const auto& emit) {
    emit("<DL><p>\n", "");
    for (int i = 1; i <= levels; ++i) {
      std::string n = std::to_string(i);
      emit("<DT><H3 FOLDED>F" + n + "</H3>\n", folderPageLines(1 + i, n, "F" + n));
      emit("<DL><p>\n", "");
    }
    emit("<DT><A HREF=\"http://deep/\" ADD_DATE=\"1\">deep</A>\n",
         indentOf(levels + 2) + "<A HREF=\"http://deep/\">deep</A><BR>\r\n");
    for (int i = 0; i <= levels; ++i) emit("</DL><p>\n", "</DIV>\r\n");
  };
}

TEST(HostileInputPosixTest, BigDeepNesting) {
  if (!bigTestsWanted()) GTEST_SKIP() << "set QUILLMAP_BIG_TESTS=1 to run";
  // 5,000 levels make a page of about 250 MB, nearly all indentation; half as many a quarter of
  // it. The same time per page byte for both shows time linear in the page's size.
  for (int levels : {2500, 5000}) {
    SCOPED_TRACE(levels);
    BigRun run = convertBig(deepNesting(levels));
    report((std::to_string(levels) + " nested folders").c_str(), run);
    EXPECT_LT(run.maxRssKiB, 64 * 1024) << "memory grows with the page";
  }
}

// About `targetBytes` of input: eight nested folders, then numbered links in the innermost,
// then the list ends.
LineSource manyLinks(std::uint64_t targetBytes) {
  constexpr int kFolders = 8;
  return [targetBytes](const auto& emit) {
    std::uint64_t written = 0;
    auto put = [&](std::string_view in, std::string_view out) {
      emit(in, out);
      written += in.size();
    };
    put("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n", "");
    for (int i = 1; i <= kFolders; ++i) {
      std::string n = std::to_string(i);
      put("<DT><H3 FOLDED ADD_DATE=\"1\">Folder " + n + "</H3>\n",
          folderPageLines(1 + i, n, "Folder " + n));
      put("<DL><p>\n", "");
    }
    const std::string indent = indentOf(kFolders + 2);
    char in[160], out[320];
    for (std::uint64_t i = 0; written < targetBytes; ++i) {
      auto n = static_cast<unsigned long long>(i);
      int inLength = std::snprintf(in, sizeof in,
                                   "<DT><A HREF=\"https://example.com/%011llu\" "
                                   "ADD_DATE=\"1700000000\">Bookmark %011llu</A>\r\n",
                                   n, n);
      int outLength = std::snprintf(out, sizeof out,
                                    "%s<A HREF=\"https://example.com/%011llu\">Bookmark %011llu"
                                    "</A><BR>\r\n",
                                    indent.c_str(), n, n);
      put(std::string_view(in, static_cast<std::size_t>(inLength)),
          std::string_view(out, static_cast<std::size_t>(outLength)));
    }
    for (int i = 0; i <= kFolders; ++i) put("</DL><p>\n", "</DIV>\r\n");
  };
}

TEST(HostileInputPosixTest, InputOverTwoGigabytes) {
  if (!bigTestsWanted()) GTEST_SKIP() << "set QUILLMAP_BIG_TESTS=1 to run";
  // 2.2 GB of input makes a page of about 5.8 GB: offsets and sizes pass both 2^31 and 2^32.
  constexpr std::uint64_t kInput = 2'200'000'000;
  constexpr std::uint64_t kNeeded = 10'000'000'000;  // input, page and room to spare
  auto space = fs::space(fs::temp_directory_path());
  if (space.available < kNeeded) {
    GTEST_SKIP() << "needs " << kNeeded / 1'000'000'000 << " GB free in "
                 << fs::temp_directory_path() << ", has " << space.available / 1'000'000'000;
  }
  // A tenth of the size first: the same time per line for both shows no slowdown as the
  // input grows.
  report("220 MB of links", convertBig(manyLinks(kInput / 10)));
  BigRun run = convertBig(manyLinks(kInput));
  report("2.2 GB of links", run);
  EXPECT_GT(run.inputBytes, std::uint64_t{1} << 31);
  EXPECT_GT(run.pageBytes, std::uint64_t{1} << 32);
  EXPECT_LT(run.maxRssKiB, 64 * 1024) << "memory grows with the input";
}

}  // namespace
