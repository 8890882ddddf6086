#include "platform/shell/StartAndWait.h"

#include <algorithm>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace parlomax::shell {
namespace {

using Clock = std::chrono::steady_clock;

// How long a wait goes without a look at the caller's stop.
constexpr auto kStopSlice = std::chrono::milliseconds(50);
// Without a descriptor for the child (a kernel older than 5.3), how often
// it is asked whether it has ended.
constexpr auto kEndPoll = std::chrono::milliseconds(2);

// Starts the program reading `input` (or nothing), its output to `output`
// (or nowhere) and its errors nowhere, in a process group of its own, so
// that it can be ended together with anything it starts; 0 when it could
// not be started.
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
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = 0;
  const bool onPath = program.find('/') == std::string::npos;
  const int started =
      onPath ? posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ)
             : posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return started == 0 ? pid : 0;
}

// A descriptor that becomes readable when the program ends, or -1. By the
// system call itself: the C library's wrapper is not declared for C++ in
// every version of its header.
int OpenPidfd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// A started program, watched until it has ended and been reaped.
class Child {
 public:
  Child(pid_t pid, const RunLimits& limits)
      : pid_(pid),
        pidfd_(OpenPidfd(pid)),
        limits_(limits),
        deadline_(limits.timeLimit.count() > 0 ? Clock::now() + limits.timeLimit
                                               : Clock::time_point::max()) {}
  ~Child() {
    if (pidfd_ >= 0) ::close(pidfd_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // True, with its end recorded, once the program has ended.
  bool Reaped() {
    int status = 0;
    pid_t got;
    do {
      got = ::waitpid(pid_, &status, WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == 0) return false;
    Record(got == pid_ ? status : -1);
    return true;
  }

  // Its time is up, or its caller wants it stopped.
  bool MustEnd() {
    if (Clock::now() >= deadline_) {
      end_.timedOut = true;
    } else if (limits_.stopRequested && limits_.stopRequested()) {
      end_.stopped = true;
    }
    return end_.timedOut || end_.stopped;
  }

  // Waits for the program to end, or `fd` (when not -1) to have something
  // to read, or one slice of time to pass.
  void WaitSlice(int fd) {
    pollfd watched[2];
    nfds_t count = 0;
    if (pidfd_ >= 0) watched[count++] = {pidfd_, POLLIN, 0};
    if (fd >= 0) watched[count++] = {fd, POLLIN, 0};
    auto slice = pidfd_ >= 0 ? std::chrono::duration_cast<Clock::duration>(kStopSlice)
                             : std::chrono::duration_cast<Clock::duration>(kEndPoll);
    slice = std::min(slice, std::max(Clock::duration::zero(), deadline_ - Clock::now()));
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(slice).count();
    ::poll(watched, count, static_cast<int>(ms));
  }

  // Ends the program and everything it started, and reaps it.
  ProgramEnd Kill() {
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    int status = 0;
    pid_t got;
    do {
      got = ::waitpid(pid_, &status, 0);
    } while (got < 0 && errno == EINTR);
    Record(got == pid_ ? status : -1);
    return end_;
  }

  const ProgramEnd& End() const { return end_; }

 private:
  void Record(int status) {
    end_.started = true;
    if (status < 0) return;
    if (WIFEXITED(status)) end_.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end_.signal = WTERMSIG(status);
  }

  const pid_t pid_;
  const int pidfd_;
  const RunLimits& limits_;
  const Clock::time_point deadline_;
  ProgramEnd end_;
};

}  // namespace

ProgramEnd StartAndWait(const std::string& program, const std::vector<std::string>& arguments,
                        const RunLimits& limits) {
  const pid_t pid = Spawn(program, arguments, -1, -1);
  if (pid == 0) return {};
  Child child(pid, limits);
  while (!child.Reaped()) {
    if (child.MustEnd()) return child.Kill();
    child.WaitSlice(-1);
  }
  return child.End();
}

ProgramEnd StartAndRead(const std::string& program, const std::vector<std::string>& arguments,
                        int input, const std::function<void(std::span<const std::uint8_t>)>& output,
                        const RunLimits& limits) {
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
  // Never a read that waits: a program that neither writes nor ends must
  // not hold its reader.
  ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
  std::vector<std::uint8_t> block(1 << 20);
  bool open = true;
  Child child(pid, limits);
  // Everything the pipe holds now, or until the program must end (one that
  // writes faster than its reader takes it would keep the pipe full for
  // good); false once the pipe has been closed.
  const auto drain = [&] {
    for (;;) {
      const ssize_t n = ::read(pipe[0], block.data(), block.size());
      if (n > 0) {
        output(std::span(block.data(), static_cast<std::size_t>(n)));
        if (child.MustEnd()) return true;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      return n < 0 && errno == EAGAIN;
    }
  };
  ProgramEnd end;
  for (;;) {
    if (child.Reaped()) {
      // What it wrote before it ended, and nothing a program it left
      // behind may still hold the pipe open for.
      if (open) drain();
      end = child.End();
      break;
    }
    if (child.MustEnd()) {
      end = child.Kill();
      break;
    }
    child.WaitSlice(open ? pipe[0] : -1);
    if (open) open = drain();
  }
  ::close(pipe[0]);
  return end;
}

}  // namespace parlomax::shell
