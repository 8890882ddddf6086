#include "cli/StandardOutput.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace parlomax::cli {
namespace {

std::atomic<int> firstError{0};

}  // namespace

void WriteOut(const QByteArray& bytes) {
  if (firstError != 0) return;
  // Whatever went through the C library's buffer goes first, in order.
  if (std::fflush(stdout) != 0) {
    firstError = errno;
    return;
  }
  for (qsizetype done = 0; done < bytes.size();) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + done,
                              static_cast<std::size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      firstError = n < 0 ? errno : EIO;
      return;
    }
    done += n;
  }
}

void WriteOut(const QString& text) { WriteOut(text.toUtf8()); }

int StandardOutputError() {
  if (firstError == 0 && std::fflush(stdout) != 0) firstError = errno;
  return firstError;
}

void HoldClosedStandardDescriptors() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Opened read-only: writes to it fail with EBADF, as they would closed.
    const int held = ::open("/dev/null", O_RDONLY);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

}  // namespace parlomax::cli
