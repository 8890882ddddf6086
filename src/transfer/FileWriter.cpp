#include "transfer/FileWriter.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace parlomax::transfer {
namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

void WriteAll(int fd, const std::vector<std::uint8_t>& block) {
  std::size_t done = 0;
  while (done < block.size()) {
    const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a full disk: what fits is kept
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

FileWriter::FileWriter() : thread_([this] { Run(); }) { filling_.reserve(kBlockSize); }

FileWriter::~FileWriter() {
  Close();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool FileWriter::Open(const QString& path) {
  Close();
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::lock_guard lock(mutex_);
  fd_ = fd;
  return true;
}

void FileWriter::Append(const std::uint8_t* bytes, std::size_t size) {
  filling_.insert(filling_.end(), bytes, bytes + size);
  if (filling_.size() >= kBlockSize) {
    Hand(std::move(filling_));
    filling_ = {};
    filling_.reserve(kBlockSize);
  }
}

void FileWriter::Hand(std::vector<std::uint8_t>&& block) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(block));
  }
  changed_.notify_all();
}

void FileWriter::Close() {
  if (!filling_.empty()) {
    Hand(std::move(filling_));
    filling_ = {};
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !writing_; });
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void FileWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
    if (queue_.empty()) return;  // quitting, with nothing left
    auto blocks = std::move(queue_);
    queue_.clear();
    writing_ = true;
    const int fd = fd_;
    lock.unlock();
    for (const auto& block : blocks) WriteAll(fd, block);
    lock.lock();
    writing_ = false;
    changed_.notify_all();
  }
}

}  // namespace parlomax::transfer
