#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace parlomax::transfer {

// Writes one file at a time on a thread of its own, in blocks, so that
// storing a chunk costs the copy no more than handing it over: the file
// system's share of the work runs while the next chunk is on its way from the
// telephone. Everything handed over is in the file once Close() returns.
class FileWriter {
 public:
  FileWriter();
  ~FileWriter();

  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Creates (or empties) the file; false when it cannot be made.
  bool Open(const QString& path);
  void Append(const std::uint8_t* bytes, std::size_t size);
  // Writes out what is left and closes the file.
  void Close();

 private:
  void Hand(std::vector<std::uint8_t>&& block);
  void Run();

  std::vector<std::uint8_t> filling_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<std::uint8_t>> queue_;
  bool writing_ = false;
  bool quit_ = false;
  int fd_ = -1;
  std::thread thread_;
};

}  // namespace parlomax::transfer
