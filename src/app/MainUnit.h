#pragma once

#include "app/ConversionController.h"
#include "app/MainFormLayout.h"
#include "app/PlaybackController.h"
#include "app/Platform.h"
#include "app/WindowState.h"
#include "audio/ExternalDecoder.h"
#include "device/DeviceLink.h"
#include "app/WindowTransferView.h"
#include "device/PasswordUnit.h"
#include "platform/shell/JobUpdates.h"
#include "platform/shell/ThreadChannel.h"
#include "transfer/CopyJob.h"

#include <QWidget>

#include <chrono>
#include <initializer_list>
#include <memory>
#include <vector>

class QTimer;

namespace parlomax::app {

// How long a stop request is given before the window carries on.
inline constexpr std::chrono::milliseconds kStopGrace{100};

// Said when a telephone is on the cable but this user may not open it.
extern const QString kTelephoneNotPermittedMessage;

// The main window: the telephone's tab and the PC tab, the state every piece
// of work shares, and the rules that switch controls as work starts and ends.
class TMainForm : public QWidget, public device::DeviceTabLock {
  Q_OBJECT

 public:
  explicit TMainForm(const Platform& platform, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The PIN dialog, made once at start-up after the window.
  void SetPasswordDialog(device::TPasswordDlg* dialog) { passwordDlg_ = dialog; }

  device::DeviceLink& Link() { return link_; }
  WindowState& State() { return state_; }
  const MainFormControls& Controls() const { return ui_; }

  // The checks that the list request, the copy buttons and the export make
  // before anything else: no playback (paused counts) and no conversion. A
  // refusal has been told to the user when this returns false.
  bool SharedGuardsPass();

  void UnlockDeviceTab() override;
  void LockDeviceTab(bool emptyList) override;

  // Copy jobs, stopped or not, whose threads have yet to end.
  std::size_t CopyJobThreadsAlive() const { return jobs_.size(); }

  // Where a copy job's progress lands on the window's thread.
  void ShowUploadProgressText(const QString& text);
  void EndCopyJob(transfer::JobKind kind, std::uint64_t generation, bool stopped);

 public slots:
  void FormShow();
  void FormClose();
  void ButtonExitClick();
  void PageControl1Change(int index);
  void EditSaveChange(const QString& text);
  void TimerUSBConnectTimer();
  void TimerPlayerTimer();
  void BitBtnRefershClick();
  void BitBtnSaveClick();
  void BitBtnUploadAllClick();
  void BitBtnUploadClick();
  void BitBtnExportClick();
  void BitBtn3Click();
  void TabSheetComputerShow();
  void ListViewFileSelectItem();
  void BitBtnPlayStartClick();
  void BitBtnPlayPauseClick();
  void BitBtnPlayStopClick();
  void BitBtn1Click();
  void BitBtn2Click();
  void TrackBar1Enter();
  void TrackBar1Exit();
  void BitBtnOutputClick();
  void BitBtn4Click();
  void BitBtn5Click();

 public:
  PlaybackController& Playback() { return *playback_; }
  ConversionController& Conversion() { return *conversion_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Watches the position bar: its focus, and the gestures that seek.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Fills the PC list from `folder` and keeps what the listing counted.
  void ListRecordingFolder(const QString& folder);
  // Everything a telephone that went away leaves unusable.
  void ResetDeviceTab();
  // True when the telephone is no longer there to be asked.
  bool TelephoneGone();

  void StartCopyJob(transfer::JobKind kind, std::vector<std::uint16_t> selected);
  void StopCopyJob(transfer::JobKind kind);
  // The controls of the device tab as a copy job of `kind` starts or ends.
  void SwitchControlsForCopy(transfer::JobKind kind, bool running);
  void ResetUploadProgress();
  // The selected rows' recordings, top row first.
  std::vector<std::uint16_t> SelectedRecordIndexes() const;
  // Asks every job still running to stop and waits for each to end.
  void StopAndWaitForJobs();
  // A job's thread has ended: let it go.
  void ForgetCopyJob(transfer::CopyJob* job);

  Platform platform_;
  WindowState state_;
  device::DeviceLink link_;
  MainFormControls ui_;
  QTimer* TimerUSBConnect = nullptr;
  QTimer* TimerPlayer = nullptr;
  device::TPasswordDlg* passwordDlg_ = nullptr;

  // Work handed to the window's thread by the worker threads.
  shell::ThreadChannel channel_;
  shell::JobUpdates copyUpdates_{channel_};
  audio::ExternalDecoder decoder_;
  std::unique_ptr<PlaybackController> playback_;
  std::unique_ptr<ConversionController> conversion_;
  // Every copy job whose thread has not yet ended, with the view it reports
  // to, and the current job of each kind (none once it has ended). A stopped
  // job may still be finishing its last exchange when the next job starts.
  struct CopyJobRun {
    std::unique_ptr<WindowTransferView> view;
    std::unique_ptr<transfer::CopyJob> job;
  };
  std::vector<CopyJobRun> jobs_;
  transfer::CopyJob* allJob_ = nullptr;
  transfer::CopyJob* selectedJob_ = nullptr;
};

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled);

// The save folder a new window starts with: the user's home folder with
// exactly one trailing "/".
QString InitialSaveFolder();

}  // namespace parlomax::app
