#pragma once

#include "FileBytes.h"
#include "TempFolder.h"

#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace parlomax::testing {

struct ProgramResult {
  int status = -1;  // the exit status; -1 when killed by a signal, -2 when it had to be killed
  std::string out;
  std::string err;
};

// Runs a program to its end with what it printed kept, in a session of its
// own (so without a controlling terminal), with its environment changed:
// "NAME=value" sets a variable, a bare "NAME" removes it. A program still
// running after `timeoutMs` is killed.
inline ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& changes,
                                int timeoutMs = 60000) {
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool changed = false;
    for (const auto& c : changes) changed = changed || c.substr(0, c.find('=')) == name;
    if (!changed) environment.push_back(entry);
  }
  for (const auto& c : changes) {
    if (c.find('=') != std::string::npos) environment.push_back(c);
  }
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);

  TempFolder printed;
  const auto outFile = printed / "out", errFile = printed / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = -1;
  ProgramResult result;
  const bool started = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (!started) return result;
  int status = 0;
  for (int waited = 0; ::waitpid(pid, &status, WNOHANG) == 0; waited += 5) {
    if (waited >= timeoutMs) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      result.status = -2;
      break;
    }
    ::usleep(5000);
  }
  if (result.status != -2) result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const auto out = FileBytes(outFile), err = FileBytes(errFile);
  result.out.assign(out.begin(), out.end());
  result.err.assign(err.begin(), err.end());
  return result;
}

}  // namespace parlomax::testing
