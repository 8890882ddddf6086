#pragma once

#include "transfer/CopyRecording.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace parlomax::transfer {

// What every copy job is started with. The save folder is taken when the job
// starts; the folder button stays disabled while a job runs.
struct JobSetup {
  device::DeviceLink& link;
  shell::MessageService& messages;
  TransferView& view;
  QString saveFolder;
  // Tells this job's end apart from a later job's, so that a stopped job
  // still finishing its last exchange cannot undo the window's state for a
  // job started after it.
  std::uint64_t generation = 0;
  std::chrono::milliseconds headerPause = kHeaderReplyPause;
};

// A copy job on a thread of its own: started once, asked to stop, waited for.
// A stop is a request that the job notices before its next recording or chunk.
class CopyJob {
 public:
  enum class Priority { Lowest, Normal };

  explicit CopyJob(JobSetup setup);
  // Asks the job to stop and waits for its thread.
  virtual ~CopyJob();

  CopyJob(const CopyJob&) = delete;
  CopyJob& operator=(const CopyJob&) = delete;

  // `finished` runs on the job's thread as the very last thing it does.
  void Start(Priority priority, std::function<void()> finished = {});
  void RequestStop() { stopRequested_ = true; }
  bool StopRequested() const { return stopRequested_; }
  // Waits at most `timeout` for the job to end; true when it has.
  bool WaitFor(std::chrono::milliseconds timeout);
  // Waits for the job's thread, however long it takes.
  void Wait();

 protected:
  // The job's body, run on its thread.
  virtual void Execute() = 0;

  CopyContext Context();
  // The end of a job that got as far as its loop: the completion message when
  // `complete` holds and the last recording was copied to its end, then the
  // window's end steps.
  void EndJob(JobKind kind, bool complete, const QString& completionMessage);

  JobSetup setup_;
  CopyState state_;
  FileWriter writer_;

 private:
  std::atomic<bool> stopRequested_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool finished_ = false;
};

}  // namespace parlomax::transfer
