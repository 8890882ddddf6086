#include "transfer/FileWriter.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
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
  Finish(false);
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

QString FileWriter::PartialName(const QString& target) {
  const QFileInfo info(target);
  return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".partial");
}

bool FileWriter::Open(const QString& target) {
  Finish(false);
  target_ = QFile::encodeName(target).toStdString();
  partial_ = QFile::encodeName(PartialName(target)).toStdString();
  struct stat info {};
  targetExisted_ = ::lstat(target_.c_str(), &info) == 0;
  const int fd = ::open(partial_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
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

bool FileWriter::Finish(bool complete) {
  if (!filling_.empty()) {
    Hand(std::move(filling_));
    filling_ = {};
  }
  int fd = -1;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !writing_; });
    std::swap(fd, fd_);
  }
  if (fd < 0) return true;
  // The copy is on the disk before it takes the place of the earlier file,
  // so that a crash in between cannot leave neither.
  if (complete && targetExisted_) ::fdatasync(fd);
  ::close(fd);
  if ((complete || !targetExisted_) && ::rename(partial_.c_str(), target_.c_str()) == 0) return true;
  ::rename(partial_.c_str(), (target_ + ".part").c_str());
  return !complete;
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
