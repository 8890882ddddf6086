#include "transfer/FolderLock.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::transfer {
namespace {

constexpr const char* kCornerName = ".parlomax";
constexpr const char* kLockName = "lock";

// The lock file, opened without following a link planted in its place and
// without blocking on something that is not a file; -1 with errno.
int OpenLockFile(const std::filesystem::path& folder) {
  const auto corner = FolderLock::CornerOf(folder);
  // Whoever made the corner first, it must be a folder of its own, not a
  // link to somewhere else.
  if (::mkdir(corner.c_str(), 0700) == 0) {
    // The corner may soon hold the ledger: its name must outlive a crash.
    const int parent = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent >= 0) {
      ::fsync(parent);
      ::close(parent);
    }
  } else if (errno != EEXIST) {
    return -1;
  }
  const int dir = ::open(corner.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return -1;
  const int fd = ::openat(dir, kLockName,
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600);
  const int openError = errno;
  ::close(dir);
  if (fd < 0) {
    errno = openError;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

std::optional<pid_t> ReadHolder(int fd) {
  char text[32] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  if (n <= 0) return std::nullopt;
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(text, text + n, pid);
  if (error != std::errc() || pid <= 0) return std::nullopt;
  return pid;
}

void WriteHolder(int fd) {
  const std::string text = std::to_string(::getpid()) + "\n";
  // Only a hint for whoever is refused: a failure here changes nothing.
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t n = ::pwrite(fd, text.data(), text.size(), 0);
  }
}

}  // namespace

std::filesystem::path FolderLock::CornerOf(const std::filesystem::path& folder) {
  return folder / kCornerName;
}

FolderLock::~FolderLock() { Release(); }

FolderLock::FolderLock(FolderLock&& other) noexcept { *this = std::move(other); }

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
    folder_ = std::move(other.folder_);
    state_ = std::exchange(other.state_, State::Failed);
    error_ = other.error_;
    holder_ = other.holder_;
  }
  return *this;
}

// Whether `fd` is still the file at the lock's name: a holder that let go
// removes it, and whoever locked the removed file holds nothing.
static bool StillNamed(int fd, const std::filesystem::path& folder) {
  struct stat open {}, named {};
  return ::fstat(fd, &open) == 0 && ::lstat((FolderLock::CornerOf(folder) / kLockName).c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void FolderLock::RemoveFilesAtExit() const {
  if (fd_ < 0) return;
  // The folder is left as it was found: the lock file goes while it is still
  // held (a waiter that opened it finds it gone and opens the next one), and
  // the corner with it unless something else keeps files there.
  ::unlink((CornerOf(folder_) / kLockName).c_str());
  ::rmdir(CornerOf(folder_).c_str());
}

void FolderLock::Release() {
  if (fd_ < 0) return;
  RemoveFilesAtExit();
  ::close(fd_);  // closing the only descriptor lets the lock go
  fd_ = -1;
  state_ = State::Released;
}

FolderLock FolderLock::TryLock(const std::filesystem::path& folder) {
  // A lock file removed by a holder letting go between our open and our
  // lock is no lock: try the new one (a few times; then it counts as busy).
  for (int attempt = 0; attempt < 10; ++attempt) {
    FolderLock lock = TryOnce(folder);
    // The corner went with the holder's lock between our making and opening it.
    if (lock.state_ == State::Failed && lock.error_ == ENOENT) continue;
    if (lock.state_ != State::Held || StillNamed(lock.fd_, folder)) return lock;
    ::close(std::exchange(lock.fd_, -1));
  }
  FolderLock busy;
  busy.state_ = State::Busy;
  return busy;
}

FolderLock FolderLock::TryOnce(const std::filesystem::path& folder) {
  FolderLock lock;
  lock.folder_ = folder;
  const int fd = OpenLockFile(folder);
  if (fd < 0) {
    lock.error_ = errno;
    return lock;
  }
  int taken = 0;
  do {
    taken = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (taken != 0 && errno == EINTR);
  if (taken != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) {
      lock.state_ = State::Busy;
      lock.holder_ = ReadHolder(fd);
    } else {
      lock.error_ = error;
    }
    ::close(fd);
    return lock;
  }
  WriteHolder(fd);
  lock.fd_ = fd;
  lock.state_ = State::Held;
  return lock;
}

FolderLock FolderLock::Lock(const std::filesystem::path& folder,
                            std::chrono::steady_clock::time_point deadline, std::stop_token stop,
                            std::chrono::milliseconds retry) {
  return Lock(
      folder, deadline, [&stop] { return stop.stop_requested(); }, retry);
}

FolderLock FolderLock::Lock(const std::filesystem::path& folder,
                            std::chrono::steady_clock::time_point deadline,
                            const std::function<bool()>& stopAsked,
                            std::chrono::milliseconds retry) {
  for (;;) {
    FolderLock lock = TryLock(folder);
    if (lock.state_ != State::Busy) return lock;
    if (stopAsked && stopAsked()) {
      lock.state_ = State::Stopped;
      return lock;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return lock;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(retry, deadline - now));
  }
}

QString HolderText(const FolderLock& lock) {
  if (!lock.Holder()) return QStringLiteral("另一个程序");
  QFile comm(QStringLiteral("/proc/%1/comm").arg(*lock.Holder()));
  const QString name = comm.open(QIODevice::ReadOnly)
                           ? QString::fromLocal8Bit(comm.readLine()).trimmed()
                           : QString();
  return QStringLiteral("%1（进程 %2）")
      .arg(name.isEmpty() ? QStringLiteral("另一个程序") : name)
      .arg(*lock.Holder());
}

}  // namespace parlomax::transfer
