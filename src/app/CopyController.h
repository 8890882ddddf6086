#pragma once

#include "app/JobHost.h"
#include "app/MainFormLayout.h"
#include "app/SafeCopyMarks.h"
#include "app/WindowState.h"
#include "transfer/TransferView.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace parlomax::device {
class DeviceLink;
}
namespace parlomax::shell {
class FolderChooser;
class MessageService;
}

namespace parlomax::app {

// The save folder as its box shows it: the copies' paths are that text and
// a file name, so it ends in exactly one "/".
QString FolderWithTrailingSlash(QString folder);

// How long a stop request is given before the window carries on.
inline constexpr std::chrono::milliseconds kStopGrace{100};

// The copies from the telephone as the window sees them: the save folder,
// the two start/stop buttons, the bars and text of the running job, and the
// controls a running job keeps out of reach. The jobs run on their own
// threads; the window waits for one only briefly when it stops it.
class CopyController {
 public:
  struct Needs {
    const MainFormControls& ui;
    WindowState& state;
    device::DeviceLink& link;
    shell::MessageService& messages;
    shell::FolderChooser& folders;
    shell::ThreadChannel& channel;
    // A job could not even learn what the telephone holds: the telephone's
    // tab starts afresh, as when it is unplugged.
    std::function<void()> resetTelephoneTab;
  };
  explicit CopyController(Needs needs);

  void ChooseSaveFolder();
  // Marks the telephone's recordings the save folder already holds whole,
  // once that is known: after the list is read, a copy, a new folder.
  void LookForSafeCopies();
  // Starts a job of `kind`, or asks the running one to stop.
  void StartOrStop(transfer::JobKind kind);
  // The telephone went away: no job is shown as running any more; one still
  // running finds out at its next command.
  void ForgetTelephone();
  // The window closes: each job gets a short moment to notice its stop.
  void StopForExit();

 private:
  class JobView;

  void Start(transfer::JobKind kind, std::vector<std::uint16_t> selected);
  void TelephoneFailed(transfer::JobKind kind);
  void Stop(transfer::JobKind kind);
  void End(transfer::JobKind kind, bool stopped);
  // The PC tab shows the folder copied to, when it shows none yet.
  void ShowCopiedFolder();
  // The controls of the device tab as a job of `kind` starts or ends.
  void SwitchControls(transfer::JobKind kind, bool running);
  void ResetProgress();
  void ShowProgressText(const QString& text);
  std::atomic<bool>& FlagOf(transfer::JobKind kind);
  // The selected rows' recordings, top row first.
  std::vector<std::uint16_t> SelectedRecordIndexes() const;

  Needs needs_;
  const MainFormControls& ui_;
  JobHost jobs_;
  SafeCopyMarks safeCopies_;
  // The running job of each kind; 0 when none.
  JobHost::JobId allJob_ = 0;
  JobHost::JobId selectedJob_ = 0;
};

}  // namespace parlomax::app
