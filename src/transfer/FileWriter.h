#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parlomax::transfer {

// Writes one file at a time on a thread of its own, in blocks, so that
// storing a chunk costs the copy no more than handing it over: the file
// system's share of the work runs while the next chunk is on its way from the
// telephone. Everything handed over is in the file once Finish() returns.
//
// The bytes go to a hidden file beside the target until Finish() puts them in
// place, so a file the user already has under that name is never emptied or
// cut short by a copy that does not complete.
class FileWriter {
 public:
  FileWriter();
  ~FileWriter();

  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Starts a new copy of the file `target`; false when it cannot be made.
  bool Open(const QString& target);
  void Append(const std::uint8_t* bytes, std::size_t size);
  // Writes out what is left and closes the file. A complete copy takes the
  // target's name, replacing what was there. An incomplete one takes it
  // only when there was no file of that name; otherwise the earlier file
  // stays as it was and the copy is kept beside it as "<name>.part". False
  // when a complete copy could not be given its name (it is then kept as
  // "<name>.part" too).
  bool Finish(bool complete);

  // The hidden name a copy of `target` has while it is being written.
  static QString PartialName(const QString& target);

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
  // Touched by the copying thread only.
  std::string target_;
  std::string partial_;
  bool targetExisted_ = false;
  std::thread thread_;
};

}  // namespace parlomax::transfer
