#include "platform/shell/StartAndWait.h"

#include <cerrno>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace parlomax::shell {
namespace {

// Starts the program reading `input` (or nothing), its output to `output`
// (or nowhere) and its errors nowhere; 0 when it could not be started.
pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments, int input, int output) {
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input >= 0) {
    posix_spawn_file_actions_adddup2(&actions, input, 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  if (output >= 0) {
    posix_spawn_file_actions_adddup2(&actions, output, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const bool onPath = program.find('/') == std::string::npos;
  const int started = onPath ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                             : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return started == 0 ? pid : 0;
}

ProgramEnd WaitForEnd(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return {true, std::nullopt};
  }
  if (!WIFEXITED(status)) return {true, std::nullopt};
  return {true, WEXITSTATUS(status)};
}

}  // namespace

ProgramEnd StartAndWait(const std::string& program, const std::vector<std::string>& arguments) {
  const pid_t pid = Spawn(program, arguments, -1, -1);
  if (pid == 0) return {};
  return WaitForEnd(pid);
}

ProgramEnd StartAndRead(const std::string& program, const std::vector<std::string>& arguments, int input,
                        const std::function<void(std::span<const std::uint8_t>)>& output) {
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return {};
  // A deeper pipe lets the program run on while its reader is busy.
  ::fcntl(pipe[1], F_SETPIPE_SZ, 1 << 20);
  const pid_t pid = Spawn(program, arguments, input, pipe[1]);
  ::close(pipe[1]);
  if (pid == 0) {
    ::close(pipe[0]);
    return {};
  }
  std::vector<std::uint8_t> block(1 << 20);
  for (;;) {
    const ssize_t n = ::read(pipe[0], block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output(std::span(block.data(), static_cast<std::size_t>(n)));
  }
  ::close(pipe[0]);
  return WaitForEnd(pid);
}

}  // namespace parlomax::shell
