#pragma once

#include "transfer/TransferView.h"

#include <mutex>
#include <vector>

namespace parlomax::testing {

// Remembers what a copy job showed, from the job's thread.
class RecordingTransferView final : public transfer::TransferView {
 public:
  struct Bar {
    std::uint32_t value, maximum;
    bool operator==(const Bar&) const = default;
  };
  struct End {
    transfer::JobKind kind;
    bool stopped;
  };

  void ShowProgressText(const QString& text) override {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
  }
  void SetRecordingBar(std::uint32_t value, std::uint32_t maximum) override {
    std::lock_guard lock(mutex_);
    recordingBars_.push_back({value, maximum});
  }
  void SetOverallBar(std::uint32_t value, std::uint32_t maximum) override {
    std::lock_guard lock(mutex_);
    overallBars_.push_back({value, maximum});
  }
  void EndJob(transfer::JobKind kind, bool stopped) override {
    std::lock_guard lock(mutex_);
    ends_.push_back({kind, stopped});
  }
  void TelephoneFailed() override {
    std::lock_guard lock(mutex_);
    ++telephoneFailures_;
  }

  std::vector<QString> Texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }
  std::vector<Bar> RecordingBars() const {
    std::lock_guard lock(mutex_);
    return recordingBars_;
  }
  std::vector<Bar> OverallBars() const {
    std::lock_guard lock(mutex_);
    return overallBars_;
  }
  std::vector<End> Ends() const {
    std::lock_guard lock(mutex_);
    return ends_;
  }
  int TelephoneFailures() const {
    std::lock_guard lock(mutex_);
    return telephoneFailures_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<QString> texts_;
  std::vector<Bar> recordingBars_, overallBars_;
  std::vector<End> ends_;
  int telephoneFailures_ = 0;
};

}  // namespace parlomax::testing
