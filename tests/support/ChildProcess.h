#pragma once

#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace parlomax::testing {

// A program started for a test, with its output thrown away; killed when the
// object goes away if it has not ended by then.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ChildProcess() {
    if (pid_ > 0 && !ended_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  void Signal(int signal) { ::kill(pid_, signal); }
  // The exit status, or -1 when it died of a signal. A program that has not
  // ended within `timeoutMs` is killed, and -2 returned, so that a test
  // fails instead of hanging.
  int Wait(int timeoutMs = 20000) {
    int status = 0;
    for (int waited = 0; ::waitpid(pid_, &status, WNOHANG) == 0; waited += 5) {
      if (waited >= timeoutMs) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        ended_ = true;
        return -2;
      }
      ::usleep(5000);
    }
    ended_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
};

}  // namespace parlomax::testing
