#pragma once

#include "transfer/CopyRecording.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>

namespace parlomax::transfer {

// What every copy job is started with. The save folder is taken when the job
// starts; the folder button stays disabled while a job runs.
struct JobSetup {
  device::DeviceLink& link;
  shell::MessageService& messages;
  TransferView& view;
  // As the save box shows it: a recording's path is this and its name.
  std::filesystem::path saveFolder;
  std::chrono::milliseconds headerPause = kHeaderReplyPause;
};

// A copy job, run by whoever owns the thread it runs on. A stop is a
// request that the job notices before its next recording or chunk.
class CopyJob {
 public:
  explicit CopyJob(JobSetup setup);
  virtual ~CopyJob() = default;

  CopyJob(const CopyJob&) = delete;
  CopyJob& operator=(const CopyJob&) = delete;

  // The whole job, on the calling thread; returns when it has ended.
  void Run(std::stop_token stop);

 protected:
  virtual void Execute() = 0;
  virtual JobKind Kind() const = 0;
  bool StopRequested() const { return stop_.stop_requested(); }
  // The job's one context, made on first use.
  CopyContext& Context();
  // Whether the job goes on after a recording ended so. A file the disk did
  // not take ends the job as a stop would.
  bool GoesOnAfter(CopyOutcome outcome);
  // The end of a job that got as far as its loop. When `complete` holds, a
  // closing message: `completionMessage` when every recording was copied
  // whole, else how many were not; and in any case which recordings took
  // new names. Then the window's end steps.
  void EndJob(JobKind kind, bool complete, const QString& completionMessage);

  JobSetup setup_;
  CopyState state_;
  FileWriter writer_;
  // Read on the job's thread: a folder of years takes a while.
  std::optional<SaveFolder> folder_;
  std::optional<CopyContext> context_;
  bool writeFailed_ = false;
  std::uint32_t notWhole_ = 0;
  std::uint32_t newNames_ = 0;
  std::filesystem::path firstNewName_;
  // The folder the recordings go into.
  std::filesystem::path folderPath_;

 private:
  std::stop_token stop_;
};

}  // namespace parlomax::transfer
