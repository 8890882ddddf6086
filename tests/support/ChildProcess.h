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

// How a child is started, beyond its arguments.
struct ChildSetup {
  // "NAME=value" sets a variable, a bare "NAME" removes it; the rest is ours.
  std::vector<std::string> environmentChanges;
  // Where its output and errors go.
  std::string output = "/dev/null";
  std::string errors = "/dev/null";
  // A session of its own has no controlling terminal.
  bool ownSession = false;
};

// A program started for a test, with its output thrown away unless told
// otherwise; killed when the object goes away if it has not ended by then.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv, const ChildSetup& setup = {}) {
    std::vector<std::string> environment = Environment(setup.environmentChanges);
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    args.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, setup.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, setup.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (setup.ownSession) posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    if (posix_spawn(&pid_, args[0], &actions, &attributes, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawnattr_destroy(&attributes);
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
    if (pid_ <= 0) return -1;
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
  static std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
      bool changed = false;
      for (const auto& c : changes) changed = changed || nameOf(c) == nameOf(*e);
      if (!changed) environment.push_back(*e);
    }
    for (const auto& c : changes) {
      if (c.find('=') != std::string::npos) environment.push_back(c);
    }
    return environment;
  }

  pid_t pid_ = -1;
  bool ended_ = false;
};

}  // namespace parlomax::testing
