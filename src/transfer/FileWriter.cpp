#include "transfer/FileWriter.h"

namespace parlomax::transfer {
namespace {

constexpr std::size_t kBlockSize = 256 * 1024;
// Blocks handed over but not yet written: 16 waiting while up to 16 more
// are being written, 8 MB at most.
constexpr std::size_t kMostQueued = 16;

}  // namespace

FileWriter::FileWriter(Hashing hashing) : hashing_(hashing), thread_([this] { Run(); }) {
  filling_.reserve(kBlockSize);
}

FileWriter::~FileWriter() {
  Finish(files::Ending::Cut);
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool FileWriter::Open(const std::filesystem::path& target, files::TakenNameDecision decide) {
  Finish(files::Ending::Cut);
  std::lock_guard lock(mutex_);
  failed_ = false;
  hash_.Restart();
  written_ = 0;
  return file_.Create(target, std::move(decide));
}

int FileWriter::Error() const {
  std::lock_guard lock(mutex_);
  return file_.Error();
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
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kMostQueued; });
    // After a failure nothing more can reach the file: the block is dropped.
    if (!failed_) queue_.push_back(std::move(block));
  }
  changed_.notify_all();
}

FileEnd FileWriter::Finish(files::Ending ending) {
  if (!filling_.empty()) {
    Hand(std::move(filling_));
    filling_ = {};
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !writing_; });
  if (!file_.IsOpen()) return {};
  const files::Placed placed = file_.Finish(ending);
  FileEnd end{placed, file_.Error(), file_.PlacedAt(), written_, {}, hashing_ == Hashing::On};
  if (end.hashed) end.sha256 = hash_.Finish();
  return end;
}

void FileWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
    if (queue_.empty()) return;  // quitting, with nothing left
    auto blocks = std::move(queue_);
    queue_.clear();
    writing_ = true;
    lock.unlock();
    changed_.notify_all();  // room in the queue again
    bool written = true;
    for (const auto& block : blocks) {
      if (!written) break;
      // The hash is taken on this thread, while the next chunks are on their
      // way: the copy's own thread pays nothing for it.
      if (hashing_ == Hashing::On) hash_.Add(block);
      written = file_.Write(block);
      written_ += block.size();
    }
    lock.lock();
    if (!written) failed_ = true;
    writing_ = false;
    changed_.notify_all();
  }
}

}  // namespace parlomax::transfer
