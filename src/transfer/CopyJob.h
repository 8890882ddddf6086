#pragma once

#include "platform/shell/WorkerThread.h"
#include "transfer/CopyRecording.h"

#include <chrono>
#include <cstdint>

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

// A copy job on a thread of its own. A stop is a request that the job
// notices before its next recording or chunk.
class CopyJob : public shell::WorkerThread {
 public:
  explicit CopyJob(JobSetup setup);

 protected:
  CopyContext Context();
  // Whether the job goes on after a recording ended so. A file the disk did
  // not take ends the job as a stop would.
  bool GoesOnAfter(CopyOutcome outcome);
  // The end of a job that got as far as its loop: the completion message when
  // `complete` holds and the last recording was copied to its end, then the
  // window's end steps.
  void EndJob(JobKind kind, bool complete, const QString& completionMessage);

  JobSetup setup_;
  CopyState state_;
  FileWriter writer_;
  bool writeFailed_ = false;
};

}  // namespace parlomax::transfer
