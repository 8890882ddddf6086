#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>

namespace parlomax::files {

// A file opened for reading only when it is a plain file. Anything else by
// that name (a pipe, a device, a folder) is refused without waiting: opening
// a pipe for reading would block until someone writes into it, and a
// recording is never anything but a plain file.
class PlainFile {
 public:
  explicit PlainFile(const std::filesystem::path& path);
  ~PlainFile();

  PlainFile(const PlainFile&) = delete;
  PlainFile& operator=(const PlainFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // Something is there, but not a plain file.
  bool NotPlain() const { return notPlain_; }
  // Why it could not be opened (an errno value; EINVAL for not plain).
  int Error() const { return error_; }
  std::uint64_t Size() const { return size_; }
  int Descriptor() const { return fd_; }

  // Up to `into.size()` bytes from `offset`; how many arrived.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const;

  // The file as a C stream, positioned at its start; the descriptor goes
  // with it.
  using Stream = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
  Stream TakeStream();

 private:
  int fd_ = -1;
  int error_ = 0;
  bool notPlain_ = false;
  std::uint64_t size_ = 0;
};

}  // namespace parlomax::files
