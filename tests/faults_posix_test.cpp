// Drops that meet a fault only a POSIX test can bring about: a disk that fills up, folders and
// files that the user may not write or read, a bookmark file that changes while it is being
// converted, and two programs converting into one folder at the same moment. Each ends with
// the message the user sees and the state of the user's folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "drop_handler.h"
#include "messages.h"
#include "support/child_process.h"
#include "support/drop_checks.h"
#include "support/program_run.h"
#include "support/snapshot.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Child;
using testing_support::ChildOutcome;
using testing_support::deserialize;
using testing_support::inChild;
using testing_support::kBookmarks;
using testing_support::kFolderMark;
using testing_support::kPicture1;
using testing_support::kPicture2;
using testing_support::MayAdd;
using testing_support::nothingLost;
using testing_support::ProgramRun;
using testing_support::readFile;
using testing_support::serialize;
using testing_support::Snapshot;
using testing_support::snapshot;
using testing_support::writeEarlierOutput;
using testing_support::writeFile;

// A bookmark export of `links` links in a few folders.
std::string manyLinks(int links) {
  std::string bookmarks = "<DL><p>\n<DT><H3 FOLDED>Folder</H3>\n<DL><p>\n";
  for (int i = 0; i < links; ++i) {
    bookmarks += "<DT><A HREF=\"http://example.com/" + std::to_string(i) +
                 "\" ADD_DATE=\"1\">Link " + std::to_string(i) + "</A>\n";
    if (i % 100 == 99) bookmarks += "</DL><p>\n<DT><H3 FOLDED>More</H3>\n<DL><p>\n";
  }
  return bookmarks + "</DL><p>\n</DL><p>\n";
}

std::size_t pagesOf(std::size_t bytes) { return (bytes + 4095) / 4096 * 4096; }

// The source and type of a mount call that changes an existing mount take no part in it; a
// text rather than nullptr keeps checkers such as Valgrind from reading a null string.
constexpr const char* kUnused = "none";

// Makes this process's view of the file system private, so that mounts stay in it.
bool privateMounts() {
  return ::unshare(CLONE_NEWNS) == 0 &&
         ::mount(kUnused, "/", kUnused, MS_REC | MS_PRIVATE, nullptr) == 0;
}

constexpr fs::perms kReadWriteForAll = fs::perms::owner_read | fs::perms::owner_write |
                                       fs::perms::group_read | fs::perms::group_write |
                                       fs::perms::others_read | fs::perms::others_write;

// Whether a new file can be made in `folder` (the probe is removed again).
bool canCreateIn(const fs::path& folder) {
  std::string probe = (folder / "probe").string();
  int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

TEST(FaultsPosixTest, DiskFullWhileWritingThePage) {
  // The page needs far more room than is left; where the child may mount a small tmpfs over the
  // user's folder that is a real full disk, otherwise a file size limit stands in for it.
  constexpr std::size_t kRoomLeft = 48 * 1024;
  const std::string bookmarks = manyLinks(2000);
  struct Case {
    const char* name;
    bool earlierOutput;
    std::size_t pictureSize;  // 0: the usual small pictures
    bool folderKept;
  } cases[] = {
      {"EarlierPageKept", true, 0, true},
      {"FirstDropKeepsWholePictures", false, 0, true},
      {"NoRoomForPicturesEither", false, 100 * 1024, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramRun run;
    MayAdd may;
    if (c.pictureSize != 0) {
      may.pictures = {{"folder1.gif", std::string(c.pictureSize, '1')},
                      {"folder2.gif", std::string(c.pictureSize, '2')}};
      for (const auto& [name, bytes] : may.pictures) writeFile(run.cwd() / name, bytes);
    }
    auto populate = [&] {
      writeFile(run.home() / "b.htm", bookmarks);
      if (c.earlierOutput) writeEarlierOutput(run.home());
    };

    ChildOutcome outcome = inChild([&] {
      std::string mode = "file size limit";
      std::size_t used = pagesOf(bookmarks.size()) + (c.earlierOutput ? 3 * 4096 : 0);
      std::string size = "size=" + std::to_string(used + kRoomLeft);
      if (privateMounts() &&
          ::mount("tmpfs", run.home().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size.c_str()) == 0) {
        mode = "tmpfs";
        populate();
      } else {
        populate();
        // SIGXFSZ ignored: a write past the limit fails with EFBIG, as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{kRoomLeft, kRoomLeft};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      Snapshot before = snapshot(run.home());
      std::string message = run.drop({(run.home() / "b.htm").string()});
      return serialize(Snapshot{{"mode", mode},
                                {"message", message},
                                {"before", serialize(before)},
                                {"after", serialize(snapshot(run.home()))}});
    });
    ASSERT_TRUE(outcome.finished);
    ASSERT_EQ(outcome.exitCode, 0);
    Snapshot fields = deserialize(outcome.output);
    std::cout << "[ " << c.name << " ] full disk made with: " << fields["mode"] << "\n";
    EXPECT_EQ(fields["message"], kGenerateFailedMessage);
    Snapshot before = deserialize(fields["before"]), after = deserialize(fields["after"]);
    EXPECT_TRUE(nothingLost(before, after, may));
    EXPECT_EQ(after.count("Quillmap"), c.folderKept ? 1u : 0u);
  }
}

TEST(FaultsPosixTest, FolderThatMayNotBeWritten) {
  // Two ways to a folder the program may not write into: a read-only mount (which stops root
  // too; needs a mount namespace of the child's own), and missing write permission, which only
  // stops other users, so a child running as root becomes "nobody" first.
  struct Case {
    const char* name;
    bool earlierOutput;
    bool outputFolderLocked;  // else the user's folder itself is locked
  } cases[] = {
      {"OutputFolder", true, true},
      {"UserFolder", false, false},
  };
  int ran = 0;
  for (const char* way : {"read-only mount", "no write permission"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(way) + ", " + c.name);
      ProgramRun run;
      writeFile(run.home() / "b.htm", kBookmarks);
      if (c.earlierOutput) {
        writeEarlierOutput(run.home());
        // Only the folder stands in the way: the page itself could be written.
        fs::permissions(run.output() / "Quillmap.htm", kReadWriteForAll);
      }
      fs::path locked = c.outputFolderLocked ? run.output() : run.home();
      bool byMount = std::string(way) == "read-only mount";
      if (!byMount) {
        // Open to everyone but for writing into the one folder.
        fs::permissions(run.home(), fs::perms::all);
        if (c.earlierOutput) fs::permissions(run.output(), fs::perms::all);
        fs::permissions(locked,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
      }
      Snapshot before = snapshot(run.home());

      ChildOutcome outcome = inChild([&]() -> std::string {
        if (byMount) {
          if (!privateMounts() ||
              ::mount(locked.c_str(), locked.c_str(), kUnused, MS_BIND, nullptr) != 0 ||
              ::mount(kUnused, locked.c_str(), kUnused, MS_REMOUNT | MS_BIND | MS_RDONLY,
                      nullptr) != 0) {
            return "skip: this process may not mount (" + std::string(std::strerror(errno)) + ")";
          }
        } else if (::geteuid() == 0 && !testing_support::becomeNobody()) {
          return "skip: cannot change to the user nobody";
        }
        if (canCreateIn(locked)) return "the folder could still be written";
        return run.drop({(run.home() / "b.htm").string()});
      });
      ASSERT_TRUE(outcome.finished);
      ASSERT_EQ(outcome.exitCode, 0);
      if (outcome.output.rfind("skip: ", 0) == 0) {
        std::cout << "[ " << way << ", " << c.name << " ] not run: " << outcome.output << "\n";
        continue;
      }
      EXPECT_EQ(outcome.output, kGenerateFailedMessage);
      EXPECT_TRUE(nothingLost(before, snapshot(run.home()), MayAdd{{}, {}}));
      ++ran;
    }
  }
  if (ran == 0) GTEST_SKIP() << "neither way to a locked folder is open to this process";
}

TEST(FaultsPosixTest, FilesThatMayNotBeRead) {
  // Permissions only stop other users: a child running as root becomes "nobody" first, for
  // whom the user's folder and the earlier output are left writable, so that the unreadable
  // file is the only thing in the way. The first row shows that the drop converts then.
  struct Row {
    const char* name;
    fs::path (*file)(const ProgramRun&);  // made unreadable; empty for none
    std::string message;
    bool converts;
    bool picture1Copied;
  } rows[] = {
      {"NothingUnreadable", [](const ProgramRun&) { return fs::path(); }, "", true, true},
      {"DroppedFile", [](const ProgramRun& r) { return r.home() / "b.htm"; },
       kGenerateFailedMessage, false, true},
      {"Template", [](const ProgramRun& r) { return r.cwd() / "source_normal.htm"; },
       kGenerateFailedMessage, false, true},
      {"Picture", [](const ProgramRun& r) { return r.cwd() / "folder1.gif"; }, "", true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramRun run;
    writeFile(run.home() / "b.htm", kBookmarks);
    writeEarlierOutput(run.home());
    fs::remove(run.output() / "folder1.gif");
    std::string expectedPage = run.expectedPage(run.home() / "b.htm");
    fs::permissions(run.home(), fs::perms::all);
    fs::permissions(run.output(), fs::perms::all);
    fs::permissions(run.output() / "Quillmap.htm", kReadWriteForAll);
    // Taken while every file can still be read, even by a test that does not run as root.
    Snapshot before = snapshot(run.home());
    fs::path unreadable = row.file(run);
    if (!unreadable.empty()) fs::permissions(unreadable, fs::perms::none);

    ChildOutcome outcome = inChild([&]() -> std::string {
      if (::geteuid() == 0 && !testing_support::becomeNobody()) {
        return "skip: cannot change to the user nobody";
      }
      return run.drop({(run.home() / "b.htm").string()});
    });
    ASSERT_TRUE(outcome.finished);
    ASSERT_EQ(outcome.exitCode, 0);
    if (outcome.output.rfind("skip: ", 0) == 0) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.output, row.message);
    if (!unreadable.empty()) {
      fs::permissions(unreadable, fs::perms::owner_read, fs::perm_options::add);
    }
    MayAdd may;
    if (row.converts) may.page = expectedPage;
    Snapshot after = snapshot(run.home());
    EXPECT_TRUE(nothingLost(before, after, may));
    EXPECT_EQ(after.count("Quillmap/folder1.gif"), row.picture1Copied ? 1u : 0u);
  }
}

TEST(FaultsPosixTest, DroppedItemThatIsNoRegularFile) {
  // A named pipe would keep the program waiting for a writer, forever, and a device could feed
  // it without end: neither is a file to convert.
  struct Row {
    const char* name;
    void (*make)(const fs::path& path);
  } rows[] = {
      {"NamedPipe", [](const fs::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0); }},
      {"LinkToDevice", [](const fs::path& path) { fs::create_symlink("/dev/null", path); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramRun run;
    row.make(run.home() / "b.htm");
    Snapshot before = snapshot(run.home());
    ChildOutcome outcome = inChild([&] { return run.drop({(run.home() / "b.htm").string()}); },
                                   std::chrono::seconds(20));
    ASSERT_TRUE(outcome.finished) << "the drop was still waiting after 20 s";
    EXPECT_EQ(outcome.output, kOpenFailedMessage);
    EXPECT_EQ(testing_support::differences(before, snapshot(run.home())), "");
  }
}

TEST(FaultsPosixTest, BookmarkFileChangesDuringTheDrop) {
  // The drop is held at a known point between the check of the dropped file and the
  // conversion: the first picture in the current directory is a named pipe, so copying it
  // waits until the test has changed the bookmark file and then writes the picture.
  const std::string other = "<DT><A HREF=\"http://other/\" A=\"1\">Other</A>\n";
  struct Row {
    const char* name;
    void (*change)(const fs::path& bookmarks, const std::string& other);
    std::optional<std::string> nowHolds;  // the bookmark file afterwards; none when removed
    std::string message;
  } rows[] = {
      {"Removed", [](const fs::path& b, const std::string&) { fs::remove(b); }, std::nullopt,
       kGenerateFailedMessage},
      {"ReplacedByAnotherExport",
       [](const fs::path& b, const std::string& o) {
         writeFile(b.string() + ".new", o);
         fs::rename(b.string() + ".new", b);
       },
       other, ""},
      {"ReplacedByFolder",
       [](const fs::path& b, const std::string&) {
         fs::remove(b);
         fs::create_directory(b);
       },
       kFolderMark, kGenerateFailedMessage},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProgramRun run;
    const fs::path bookmarks = run.home() / "b.htm";
    writeFile(run.home() / "other.htm", other);
    std::string otherPage = run.expectedPage(run.home() / "other.htm");
    fs::remove(run.home() / "other.htm");
    writeFile(bookmarks, kBookmarks);
    writeEarlierOutput(run.home());
    fs::remove(run.output() / "folder1.gif");
    fs::remove(run.cwd() / "folder1.gif");
    ASSERT_EQ(::mkfifo((run.cwd() / "folder1.gif").c_str(), 0666), 0);
    Snapshot expected = snapshot(run.home());
    if (row.nowHolds) {
      expected["b.htm"] = *row.nowHolds;
    } else {
      expected.erase("b.htm");
    }

    std::atomic<bool> held{false};
    std::thread holder([&] {
      // Opening the pipe for writing succeeds once the drop has opened it for reading.
      std::string pipe = (run.cwd() / "folder1.gif").string();
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      int fd = -1;
      while ((fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0 && errno == ENXIO &&
             std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      if (fd < 0) return;
      held = true;
      row.change(bookmarks, other);
      ::fcntl(fd, F_SETFL, 0);
      static_cast<void>(::write(fd, kPicture1.data(), kPicture1.size()));
      ::close(fd);
    });
    std::string message = run.drop({bookmarks.string()});
    holder.join();
    ASSERT_TRUE(held) << "the drop never opened the first picture";

    EXPECT_EQ(message, row.message);
    MayAdd may;
    if (row.message.empty()) may.page = otherPage;
    EXPECT_TRUE(nothingLost(expected, snapshot(run.home()), may));
  }
}

TEST(FaultsPosixTest, TwoProgramsDropIntoOneFolderAtOnce) {
  // Two programs, each converting a different export into the same folder, started together
  // round after round (every other round into a folder that does not exist yet). Each page is
  // written beside its place and moved there whole, so the page is always one of the two,
  // never a mix, and no temporary file is left.
  constexpr int kRounds = 24;
  ProgramRun run;
  const fs::path first = run.home() / "first.htm", second = run.home() / "second.htm";
  writeFile(first, manyLinks(6000));
  std::string folders;
  for (int i = 0; i < 6000; ++i) {
    folders += "<DT><H3 FOLDED>F" + std::to_string(i) + "</H3>\n<DL><p>\n</DL><p>\n";
  }
  writeFile(second, folders);
  const std::string firstPage = run.expectedPage(first), secondPage = run.expectedPage(second);
  ASSERT_NE(firstPage, secondPage);
  int firstWon = 0, secondWon = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    if (round % 2 == 0) fs::remove_all(run.output());
    testing_support::StartGate gate;
    Child one([&] {
      gate.wait();
      return run.drop({first.string()});
    });
    Child two([&] {
      gate.wait();
      return run.drop({second.string()});
    });
    gate.open();
    ChildOutcome a = one.wait(), b = two.wait();
    ASSERT_TRUE(a.finished && b.finished);
    EXPECT_EQ(a.exitCode, 0);
    EXPECT_EQ(b.exitCode, 0);
    EXPECT_EQ(a.output, "");
    EXPECT_EQ(b.output, "");

    EXPECT_EQ(testing_support::listFolder(run.output()), "Quillmap.htm folder1.gif folder2.gif");
    std::string page = readFile(run.output() / "Quillmap.htm");
    EXPECT_TRUE(page == firstPage || page == secondPage)
        << "the page is neither export's (" << page.size() << " bytes)";
    firstWon += page == firstPage;
    secondWon += page == secondPage;
    EXPECT_EQ(readFile(run.output() / "folder1.gif"), kPicture1);
    EXPECT_EQ(readFile(run.output() / "folder2.gif"), kPicture2);
  }
  EXPECT_EQ(readFile(first), manyLinks(6000));
  EXPECT_EQ(readFile(second), folders);
  std::cout << "the last page written was the first export's in " << firstWon
            << " rounds, the second's in " << secondWon << "\n";
}

}  // namespace
