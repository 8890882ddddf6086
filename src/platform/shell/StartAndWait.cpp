#include "platform/shell/StartAndWait.h"

#include <cerrno>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace parlomax::shell {

ProgramEnd StartAndWait(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const bool onPath = program.find('/') == std::string::npos;
  const int started = onPath ? posix_spawnp(&pid, program.c_str(), &quiet, nullptr, argv.data(), environ)
                             : posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (started != 0) return {};

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return {true, std::nullopt};
  }
  if (!WIFEXITED(status)) return {true, std::nullopt};
  return {true, WEXITSTATUS(status)};
}

}  // namespace parlomax::shell
