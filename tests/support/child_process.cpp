// Child processes for tests.
#include "support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>

namespace testing_support {

namespace {

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

Child::Child(const std::function<std::string()>& body, bool redirectOutput) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  std::fflush(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(fds[0]);
    if (redirectOutput) ::dup2(fds[1], STDOUT_FILENO);
    int code = 0;
    std::string output;
    try {
      output = body();
    } catch (...) {
      code = 3;
    }
    if (!writeAll(fds[1], output)) code = 4;
    // No destructors or exit handlers of the test process run in the child.
    ::_exit(code);
  }
  ::close(fds[1]);
  if (pid_ < 0) {
    ::close(fds[0]);
    return;
  }
  pipe_ = fds[0];
}

Child::~Child() {
  if (pid_ > 0) wait(std::chrono::milliseconds(0));
  if (pipe_ >= 0) ::close(pipe_);
}

ChildOutcome Child::wait(std::chrono::milliseconds limit) {
  ChildOutcome outcome;
  if (pid_ <= 0) return outcome;
  auto deadline = std::chrono::steady_clock::now() + limit;
  bool timedOut = false;
  char buffer[65536];
  while (pipe_ >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd watched{pipe_, POLLIN, 0};
    int ready = ::poll(&watched, 1, static_cast<int>(std::max<long long>(0, left.count())));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      timedOut = true;
      break;
    }
    ssize_t got = ::read(pipe_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    outcome.output.append(buffer, static_cast<std::size_t>(got));
  }
  if (timedOut) ::kill(pid_, SIGKILL);
  int status = 0;
  rusage usage{};
  while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  outcome.finished = !timedOut;
  outcome.maxRssKiB = usage.ru_maxrss;
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  outcome.userSeconds = seconds(usage.ru_utime);
  outcome.systemSeconds = seconds(usage.ru_stime);
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

ChildOutcome inChild(const std::function<std::string()>& body, std::chrono::milliseconds limit) {
  Child child(body);
  return child.wait(limit);
}

ChildOutcome runProgram(const std::string& path, const std::vector<std::string>& args,
                        const std::vector<std::string>& env, std::chrono::milliseconds limit) {
  std::vector<std::string> argStrings = {path};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (auto& arg : argStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStrings = env;
  for (auto& entry : envStrings) envp.push_back(entry.data());
  envp.push_back(nullptr);
  // The program's standard output goes to the pipe that the Child hands back.
  Child child(
      [&]() -> std::string {
        ::execve(path.c_str(), argv.data(), envp.data());
        ::_exit(127);
      },
      /*redirectOutput=*/true);
  return child.wait(limit);
}

bool becomeNobody() {
  constexpr gid_t kNobody = 65534;
  if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
    return false;
  }
  // Changing users makes a process undumpable, which hides /proc/self from it.
  ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
  return ::geteuid() == kNobody;
}

StartGate::StartGate() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) == 0) {
    read_ = fds[0];
    write_ = fds[1];
  }
}

StartGate::~StartGate() {
  if (read_ >= 0) ::close(read_);
  if (write_ >= 0) ::close(write_);
}

void StartGate::wait() {
  // The test keeps the writing end until it opens the gate; a child must not hold it.
  if (write_ >= 0) ::close(write_);
  write_ = -1;
  char byte;
  while (::read(read_, &byte, 1) < 0 && errno == EINTR) {
  }
}

void StartGate::open() {
  if (write_ >= 0) ::close(write_);
  write_ = -1;
}

}  // namespace testing_support
