// Failures that only a POSIX test can bring about: a disk that fills up while the page is
// written, and the library's own unloading.
#include <gtest/gtest.h>

#include <csignal>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace {

using testing_support::listFolder;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(ReadAndWritePosixTest, FullDiskKeepsEarlierPage) {
  TempDir dir;
  std::string bookmarks;
  for (int i = 0; i < 20000; ++i) {
    bookmarks += "<DT><A HREF=\"http://example.com/" + std::to_string(i) + "\" A=\"1\">link</A>\n";
  }
  writeFile(dir.file("bookmarks.html"), bookmarks);
  writeFile(dir.file("template.htm"), "<HTML><BODY>\n");
  const std::string earlier = "an earlier page\r\n";
  writeFile(dir.file("page.htm"), earlier);
  std::string before = listFolder(dir.path());

  // In a child whose files may not grow past 64 KiB: writing the page then fails as on a full
  // disk. SIGXFSZ is ignored so that the write reports EFBIG instead of ending the process.
  testing_support::Library library;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    bool result = library.readAndWrite(dir.file("bookmarks.html"), dir.file("page.htm"),
                                       dir.file("template.htm"));
    _exit(result ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the conversion reported success on a full disk";
  EXPECT_EQ(readFile(dir.file("page.htm")), earlier);
  EXPECT_EQ(listFolder(dir.path()), before);
}

TEST(ReadAndWritePosixTest, PipesAndDevicesAreNoInput) {
  // Opening a named pipe would wait for a writer for ever, and a device can feed the reader
  // without end: neither is taken as a bookmark file or a template.
  TempDir dir;
  writeFile(dir.file("bookmarks.html"), "<DT><A HREF=\"u\" A=\"\">t</A>\n");
  writeFile(dir.file("template.htm"), "<HTML><BODY>\n");
  ASSERT_EQ(mkfifo(dir.file("pipe.html").c_str(), 0600), 0);
  const std::string earlier = "an earlier page\r\n";
  writeFile(dir.file("page.htm"), earlier);
  struct Case {
    const char* name;
    std::string input;
    std::string templatePath;
  } cases[] = {
      {"PipeAsBookmarks", dir.file("pipe.html"), dir.file("template.htm")},
      {"PipeAsTemplate", dir.file("bookmarks.html"), dir.file("pipe.html")},
      {"DeviceAsBookmarks", "/dev/zero", dir.file("template.htm")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string before = listFolder(dir.path());
    EXPECT_FALSE(testing_support::convertFresh(c.input, dir.file("page.htm"), c.templatePath));
    EXPECT_EQ(readFile(dir.file("page.htm")), earlier);
    EXPECT_EQ(listFolder(dir.path()), before);
  }
}

TEST(ReadAndWritePosixTest, LibraryIsReallyUnloaded) {
  // Once unloaded, the library is gone from the process: a library marked NODELETE or holding
  // a unique symbol would stay, and with it the folder numbers of the last conversion.
  std::string path = (testing_support::executableDir() / "libquillcore.so").string();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  ASSERT_EQ(dlclose(handle), 0);
  EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD), nullptr);
}

}  // namespace
