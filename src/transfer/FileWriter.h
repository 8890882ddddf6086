#pragma once

#include "platform/files/KeptFile.h"
#include "transfer/Sha256.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace parlomax::transfer {

// How a file's writing ended: where it went, and the system's error number
// of the first failure (0: none).
struct FileEnd {
  files::Placed placed = files::Placed::Nowhere;
  int error = 0;
  std::filesystem::path at;  // where it was put, when it was
  // What was handed over, as it arrived: its length and SHA-256, taken as
  // the bytes were written rather than read back. The digest stands for the
  // file only when nothing failed (error 0), and was taken only when
  // `hashed` (the writer may be made not to hash).
  std::uint64_t size = 0;
  Sha256Digest sha256{};
  bool hashed = false;
};

// Whether a writer hashes what it writes. Only a benchmark turns it off, to
// weigh what hashing costs a copy.
enum class Hashing { On, Off };

// Writes one kept file at a time on a thread of its own, in blocks, so that
// storing a chunk costs the copy no more than handing it over: the file
// system's share of the work runs while the next chunk is on its way. The
// file is a files::KeptFile: a copy that does not complete, or whose
// writing fails, never takes the place of a file the user already has.
class FileWriter {
 public:
  explicit FileWriter(Hashing hashing = Hashing::On);
  ~FileWriter();

  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Starts a new file for `target`; false, with Error(), when it cannot be
  // made. `decide` as for files::KeptFile::Create.
  bool Open(const std::filesystem::path& target, files::TakenNameDecision decide = {});
  // Hands bytes over. Waits while the disk is far behind, so that a fast
  // source never piles up more than a few blocks in memory.
  void Append(const std::uint8_t* bytes, std::size_t size);
  // A write has failed: nothing more will reach the file.
  bool Failed() const { return failed_; }
  // Writes out what is left, then syncs, closes and places the file as
  // `ending` says (a failed one is kept as cut, never as complete).
  FileEnd Finish(files::Ending ending);
  // Why the last Open() failed; asked between files only.
  int Error() const;

 private:
  void Hand(std::vector<std::uint8_t>&& block);
  void Run();

  std::vector<std::uint8_t> filling_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<std::uint8_t>> queue_;
  bool writing_ = false;
  bool quit_ = false;
  std::atomic<bool> failed_{false};
  const Hashing hashing_;
  // Like file_, touched by the writing thread while it holds blocks.
  Sha256 hash_;
  std::uint64_t written_ = 0;
  // Written on the writing thread while it holds a block, else by the owner.
  files::KeptFile file_;
  std::thread thread_;
};

}  // namespace parlomax::transfer
