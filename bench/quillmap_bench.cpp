// quillmap_bench: times the conversion of large bookmark exports through the library's exported
// readAndWrite against a plain copy of the same file with dd, and reports the conversion's
// peak memory. Each conversion runs in a fresh child process that loads the library from the
// folder of this program, as the program that ships with the library does.
//
// For scale it also times a floor: a child process that only reads the export, finds every
// line end with memchr, and writes as many bytes as the page has, one megabyte at a time. No
// single-threaded conversion can be faster than that.
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bookmark_export.h"
#include "quillcore.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kRatioGoal = 1.5;
constexpr long kMemoryGoalKiB = 1024;

// How a conversion child ends when it did not convert.
constexpr int kExitConversionFailed = 1;
constexpr int kExitNoLibrary = 2;
constexpr int kExitNoFunction = 3;

struct Options {
  int rounds = 5;
  bool small = true;
  bool large = true;
  std::optional<fs::path> keep;
};

struct SizeCase {
  const char* label;
  std::uint64_t links;
};

constexpr SizeCase kSmall{"20 MB", 100'000};
constexpr SizeCase kLarge{"200 MB", 1'000'000};

// What one child process took.
struct Run {
  double seconds;
  long maxRssKiB;
};

struct Result {
  const char* label;
  std::uint64_t inputBytes = 0;
  std::uint64_t outputBytes = 0;
  std::vector<double> conversion;
  std::vector<double> copy;
  std::vector<double> ratio;
  std::vector<double> floorRatio;
  long peakRssKiB = 0;
};

// The scratch folder: a fresh one under the temporary folder, removed at the end, or the one
// given with --keep, created if needed and left in place.
class WorkDir {
 public:
  explicit WorkDir(const std::optional<fs::path>& keep) : remove_(!keep) {
    if (keep) {
      fs::create_directories(*keep);
      path_ = fs::absolute(*keep);
      return;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        (fs::path(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") / "quillmap_bench.XXXXXX")
            .string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a folder from " + pattern + ": " +
                               std::strerror(errno));
    }
    path_ = pattern;
  }
  ~WorkDir() {
    std::error_code ignored;
    if (remove_) fs::remove_all(path_, ignored);
  }
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  bool remove_;
};

constexpr const char* kUsage =
    "usage: quillmap_bench [--rounds N] [--sizes small|large|both] [--keep DIR]\n"
    "  --rounds N   measured rounds per size, after one warm-up (default 5)\n"
    "  --sizes      which inputs: small (20 MB), large (200 MB) or both (default)\n"
    "  --keep DIR   work in DIR and leave the generated inputs there\n";

[[noreturn]] void usage(const char* problem) {
  std::fprintf(stderr, "quillmap_bench: %s\n%s", problem, kUsage);
  std::exit(2);
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) usage(("missing value after " + name).c_str());
    std::string value = argv[++i];
    if (name == "--rounds") {
      char* end = nullptr;
      long rounds = std::strtol(value.c_str(), &end, 10);
      if (*end != '\0' || rounds < 1 || rounds > 1000) usage("--rounds takes 1 to 1000");
      options.rounds = static_cast<int>(rounds);
    } else if (name == "--sizes") {
      if (value != "small" && value != "large" && value != "both") {
        usage("--sizes takes small, large or both");
      }
      options.small = value != "large";
      options.large = value != "small";
    } else if (name == "--keep") {
      options.keep = value;
    } else {
      usage(("unknown option " + name).c_str());
    }
  }
  return options;
}

double seconds(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double>(end - start).count();
}

// Waits for `child`; its exit status goes to `status` and its peak resident memory (KiB) is
// returned.
long waitForChild(pid_t child, int& status) {
  rusage usage{};
  while (::wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) throw std::runtime_error(std::string("wait4: ") + std::strerror(errno));
  }
  return usage.ru_maxrss;
}

// One conversion in a fresh child process, timed from fork to its end.
Run runConversion(const std::string& library, const std::string& input, const std::string& page,
                  const std::string& templatePath) {
  std::fflush(nullptr);
  Clock::time_point start = Clock::now();
  pid_t child = ::fork();
  if (child < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (child == 0) {
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      std::fprintf(stderr, "quillmap_bench: %s\n", ::dlerror());
      ::_exit(kExitNoLibrary);
    }
    auto readAndWrite = reinterpret_cast<ReadAndWriteFunction>(::dlsym(handle, "readAndWrite"));
    if (readAndWrite == nullptr) ::_exit(kExitNoFunction);
    bool converted = readAndWrite(input.c_str(), page.c_str(), templatePath.c_str());
    ::_exit(converted ? 0 : kExitConversionFailed);
  }
  int status = 0;
  long maxRss = waitForChild(child, status);
  Clock::time_point end = Clock::now();

  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {seconds(start, end), maxRss};
  if (WIFSIGNALED(status)) {
    throw std::runtime_error("the conversion of " + input + " died of signal " +
                             std::to_string(WTERMSIG(status)));
  }
  switch (WEXITSTATUS(status)) {
    case kExitNoLibrary:
      throw std::runtime_error("cannot load " + library);
    case kExitNoFunction:
      throw std::runtime_error(library + " does not export readAndWrite");
    default:
      throw std::runtime_error("readAndWrite returned false for " + input);
  }
}

// The floor in a fresh child process, timed from fork to its end: reads `input` a megabyte at a
// time into a page-aligned buffer, as the conversion does, finds every LF in it with memchr, and
// writes the bytes read to `output` until `outputBytes` are written.
Run runFloor(const std::string& input, const std::string& output, std::uint64_t outputBytes) {
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  std::fflush(nullptr);
  Clock::time_point start = Clock::now();
  pid_t child = ::fork();
  if (child < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (child == 0) {
    int in = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    void* buffer = nullptr;
    if (in < 0 || out < 0 || ::posix_memalign(&buffer, 4096, kChunk) != 0) ::_exit(1);
    char* bytes = static_cast<char*>(buffer);
    std::uint64_t left = outputBytes;
    std::size_t lines = 0;
    for (;;) {
      ssize_t got = ::read(in, bytes, kChunk);
      if (got < 0) ::_exit(1);
      if (got == 0) break;
      const char* end = bytes + got;
      for (const char* p = bytes;; ++lines) {
        const void* lineFeed = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (lineFeed == nullptr) break;
        p = static_cast<const char*>(lineFeed) + 1;
      }
      auto now = static_cast<std::size_t>(std::min(left, static_cast<std::uint64_t>(got)));
      if (now > 0 && ::write(out, bytes, now) != static_cast<ssize_t>(now)) ::_exit(1);
      left -= now;
    }
    ::_exit(lines > 0 && ::close(out) == 0 ? 0 : 1);
  }
  int status = 0;
  long maxRss = waitForChild(child, status);
  Clock::time_point end = Clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the floor run failed on " + input);
  }
  return {seconds(start, end), maxRss};
}

// One copy of `input` to `copy` by dd through user space, timed from its start to its end.
Run runCopy(const std::string& input, const std::string& copy) {
  std::string inArg = "if=" + input;
  std::string outArg = "of=" + copy;
  std::string program = "/bin/dd";
  std::string blockSize = "bs=1M";
  std::string quiet = "status=none";
  char* argv[] = {program.data(),   inArg.data(), outArg.data(),
                  blockSize.data(), quiet.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  std::fflush(nullptr);
  Clock::time_point start = Clock::now();
  pid_t child = 0;
  int error = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0)
    throw std::runtime_error("cannot run /bin/dd: " + std::string(std::strerror(error)));
  int status = 0;
  long maxRss = waitForChild(child, status);
  Clock::time_point end = Clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("dd failed to copy " + input);
  }
  return {seconds(start, end), maxRss};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Warms the page cache with one conversion and one copy, then alternates the two `rounds`
// times, removing their files after each.
Result measure(const SizeCase& size, const fs::path& input, const fs::path& dir,
               const fs::path& binDir, int rounds) {
  const std::string library = (binDir / "libquillcore.so").string();
  const std::string templatePath = (binDir / "source_normal.htm").string();
  const fs::path page = dir / ("page_" + input.stem().string() + ".htm");
  const fs::path copy = dir / ("copy_" + input.filename().string());

  Result result;
  result.label = size.label;
  result.inputBytes = fs::file_size(input);
  for (int round = 0; round <= rounds; ++round) {
    Run conversion = runConversion(library, input.string(), page.string(), templatePath);
    std::error_code missing;
    std::uintmax_t pageBytes = fs::file_size(page, missing);
    if (missing || pageBytes == 0) {
      throw std::runtime_error("readAndWrite reported success but " + page.string() +
                               (missing ? " is missing" : " is empty"));
    }
    Run copyRun = runCopy(input.string(), copy.string());
    fs::remove(page);
    fs::remove(copy);
    Run floorRun = runFloor(input.string(), copy.string(), pageBytes);
    fs::remove(copy);
    std::fprintf(stderr, "  %-6s %-8s conversion %.3f s (%ld KiB), copy %.3f s, floor %.3f s\n",
                 size.label, round == 0 ? "warm-up" : ("round " + std::to_string(round)).c_str(),
                 conversion.seconds, conversion.maxRssKiB, copyRun.seconds, floorRun.seconds);
    if (round == 0) continue;
    result.outputBytes = pageBytes;
    result.conversion.push_back(conversion.seconds);
    result.copy.push_back(copyRun.seconds);
    result.ratio.push_back(conversion.seconds / copyRun.seconds);
    result.floorRatio.push_back(floorRun.seconds / copyRun.seconds);
    result.peakRssKiB = std::max(result.peakRssKiB, conversion.maxRssKiB);
  }
  return result;
}

void printReport(const std::vector<Result>& results, int rounds) {
  std::printf(
      "\nquillmap_bench: readAndWrite in a fresh process against dd bs=1M, "
      "medians of %d rounds, page cache warm\n\n",
      rounds);
  std::printf("%-7s %14s %14s %13s %11s %8s %14s %12s\n", "size", "input bytes", "output bytes",
              "conversion", "copy", "ratio", "peak RSS", "floor ratio");
  for (const Result& r : results) {
    std::printf("%-7s %14ju %14ju %11.3f s %9.3f s %8.2f %10ld KiB %12.2f\n", r.label,
                static_cast<std::uintmax_t>(r.inputBytes),
                static_cast<std::uintmax_t>(r.outputBytes), median(r.conversion), median(r.copy),
                median(r.ratio), r.peakRssKiB, median(r.floorRatio));
  }
  std::printf(
      "\nfloor: one thread that reads 1 MB at a time, finds every line end with memchr and "
      "writes\nas many bytes as the page has, against the same copy\n");

  std::printf("\nGoal: conversion no slower than 1.5 times the copy (median ratio <= %.1f)\n",
              kRatioGoal);
  for (const Result& r : results) {
    double ratio = median(r.ratio);
    std::printf("  %-7s ratio %.2f  %s\n", r.label, ratio, ratio <= kRatioGoal ? "PASS" : "MISS");
  }
  std::printf(
      "Goal: peak memory of the 20 MB and 200 MB conversions within 1 MB "
      "(%ld KiB) of each other\n",
      kMemoryGoalKiB);
  if (results.size() == 2) {
    long difference = std::labs(results[1].peakRssKiB - results[0].peakRssKiB);
    std::printf("  difference %ld KiB  %s\n", difference,
                difference <= kMemoryGoalKiB ? "PASS" : "MISS");
  } else {
    std::printf("  not measured: needs --sizes both\n");
  }
}

int runBenchmark(const Options& options) {
  const fs::path binDir = fs::read_symlink("/proc/self/exe").parent_path();
  for (const char* name : {"libquillcore.so", "source_normal.htm"}) {
    if (!fs::exists(binDir / name)) {
      throw std::runtime_error((binDir / name).string() + " is missing: build the project first");
    }
  }
  if (::access("/bin/dd", X_OK) != 0) throw std::runtime_error("/bin/dd is missing");

  WorkDir dir(options.keep);
  std::vector<std::pair<SizeCase, fs::path>> cases;
  if (options.small) cases.emplace_back(kSmall, dir.path() / "bookmarks_20mb.html");
  if (options.large) cases.emplace_back(kLarge, dir.path() / "bookmarks_200mb.html");

  // All inputs first, so that every conversion child starts from the same parent.
  for (const auto& [size, input] : cases) {
    std::fprintf(stderr, "quillmap_bench: writing %s (%ju links)\n", input.c_str(),
                 static_cast<std::uintmax_t>(size.links));
    writeBookmarkExport(input, size.links);
  }
  std::vector<Result> results;
  for (const auto& [size, input] : cases) {
    results.push_back(measure(size, input, dir.path(), binDir, options.rounds));
  }
  printReport(results, options.rounds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parseOptions(argc, argv);
  try {
    return runBenchmark(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillmap_bench: %s\n", error.what());
    return 1;
  }
}
