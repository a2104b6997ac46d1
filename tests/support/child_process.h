// Runs part of a test in a child process (POSIX): for what must not touch the test process
// itself, such as a file size limit, other user ids or a mount namespace, and for several
// programs at once. The child hands back a text through a pipe.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct ChildOutcome {
  bool finished = false;     // ended by itself within the time limit (else it was killed)
  int exitCode = -1;         // when it exited; a child whose body returned exits with 0
  int signal = 0;            // when a signal ended it
  std::string output;        // what the body returned
  long maxRssKiB = 0;        // the child's peak resident memory
  double userSeconds = 0;    // the processor time it used in its own code
  double systemSeconds = 0;  // and in the system's, on its behalf
};

// A forked child running `body`; what the body returns goes to the test. An exception leaving
// the body ends the child with exit code 3.
class Child {
 public:
  // With `redirectOutput`, whatever the child writes to its standard output comes back too.
  explicit Child(const std::function<std::string()>& body, bool redirectOutput = false);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Waits for the child to end, at most `limit`, and kills it after that.
  ChildOutcome wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

 private:
  pid_t pid_ = -1;
  int pipe_ = -1;
};

// Shorthand: runs `body` in a child and waits for it.
ChildOutcome inChild(const std::function<std::string()>& body,
                     std::chrono::milliseconds limit = std::chrono::seconds(60));

// Starts the program at `path` with `args` (after its name) and exactly the environment `env`,
// in the current directory, and waits for it at most `limit`. Its standard output becomes the
// outcome's output.
ChildOutcome runProgram(const std::string& path, const std::vector<std::string>& args,
                        const std::vector<std::string>& env,
                        std::chrono::milliseconds limit = std::chrono::seconds(60));

// For a child running as root: becomes the user and group "nobody" (65534), for whom file
// permissions count. False when that is not possible.
bool becomeNobody();

// A gate that children wait at until the test opens it, so that they start at the same moment.
class StartGate {
 public:
  StartGate();
  ~StartGate();
  StartGate(const StartGate&) = delete;
  StartGate& operator=(const StartGate&) = delete;

  void wait();  // in a child: returns once the gate is open
  void open();  // in the test

 private:
  int read_ = -1;
  int write_ = -1;
};

}  // namespace testing_support
