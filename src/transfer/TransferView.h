#pragma once

#include <QString>

#include <cstdint>

namespace parlomax::transfer {

enum class JobKind { AllRecordings, SelectedRecordings };

// How a copy job's progress reaches the window. Called on the job's thread;
// an implementation hands each change to the window's thread and returns
// without waiting for it, in the order of the calls.
class TransferView {
 public:
  virtual ~TransferView() = default;

  virtual void ShowProgressText(const QString& text) = 0;
  // The bar of the recording being copied: one step per chunk.
  virtual void SetRecordingBar(std::uint32_t value, std::uint32_t maximum) = 0;
  // The bar over all recordings of the job: one step per recording.
  virtual void SetOverallBar(std::uint32_t value, std::uint32_t maximum) = 0;
  // The job's last word: bars and text back to rest, controls back, busy
  // flag cleared. `stopped` says whether a stop request ended it.
  virtual void EndJob(JobKind kind, bool stopped) = 0;
  // The job could not even learn how many recordings there are (and has
  // said why): it ends at once, and the telephone's tab starts afresh as
  // when the telephone is unplugged; the program goes on.
  virtual void TelephoneFailed() = 0;
};

}  // namespace parlomax::transfer
