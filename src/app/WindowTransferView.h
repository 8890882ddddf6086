#pragma once

#include "platform/shell/ThreadChannel.h"
#include "transfer/TransferView.h"

namespace parlomax::app {

class TMainForm;

// A copy job's progress, handed to the window's thread. Every call returns at
// once; the window applies the changes in the order they were made.
class WindowTransferView final : public transfer::TransferView {
 public:
  // Made on the window's thread, with the window.
  explicit WindowTransferView(TMainForm& form);

  void ShowProgressText(const QString& text) override;
  void SetRecordingBar(std::uint32_t value, std::uint32_t maximum) override;
  void SetOverallBar(std::uint32_t value, std::uint32_t maximum) override;
  void EndJob(transfer::JobKind kind, std::uint64_t generation, bool stopped) override;
  void CloseProgram() override;

  // Any other change for the window, from any thread, in the same order.
  void Post(std::function<void()> change) { channel_.Post(std::move(change)); }

 private:
  template <typename Change>
  void OnWindowThread(Change&& change);

  TMainForm& form_;
  shell::ThreadChannel channel_;
};

}  // namespace parlomax::app
