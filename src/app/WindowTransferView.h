#pragma once

#include "platform/shell/JobUpdates.h"
#include "transfer/TransferView.h"

namespace parlomax::app {

class TMainForm;

// One copy job's progress, handed to the window's thread. Every call returns
// at once; the window applies the changes in the order they were made, and
// drops those that arrive after the job stopped being the current one.
class WindowTransferView final : public transfer::TransferView {
 public:
  WindowTransferView(TMainForm& form, shell::JobUpdates& updates, std::uint64_t job)
      : form_(form), updates_(updates), job_(job) {}

  void ShowProgressText(const QString& text) override;
  void SetRecordingBar(std::uint32_t value, std::uint32_t maximum) override;
  void SetOverallBar(std::uint32_t value, std::uint32_t maximum) override;
  void EndJob(transfer::JobKind kind, std::uint64_t generation, bool stopped) override;
  void CloseProgram() override;

 private:
  TMainForm& form_;
  shell::JobUpdates& updates_;
  const std::uint64_t job_;
};

}  // namespace parlomax::app
