#include "platform/files/PlainFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::files {

PlainFile::PlainFile(const std::filesystem::path& path) {
  // A device is not even opened: for some, opening is already an act.
  struct stat before {};
  if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
    error_ = EINVAL;
    notPlain_ = true;
    return;
  }
  // Non-blocking for the open alone: a pipe's open returns at once instead
  // of waiting for a writer, and is then refused.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error_ = errno;
    return;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error_ = errno;
    ::close(fd);
    return;
  }
  if (!S_ISREG(info.st_mode)) {
    error_ = EINVAL;
    notPlain_ = true;
    ::close(fd);
    return;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  size_ = static_cast<std::uint64_t>(info.st_size);
}

PlainFile::~PlainFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t PlainFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
  std::size_t done = 0;
  while (IsOpen() && done < into.size()) {
    const ssize_t n = ::pread(fd_, into.data() + done, into.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

PlainFile::Stream PlainFile::TakeStream() {
  if (!IsOpen()) return Stream(nullptr, &std::fclose);
  Stream stream(::fdopen(fd_, "rb"), &std::fclose);
  if (stream) fd_ = -1;
  return stream;
}

}  // namespace parlomax::files
