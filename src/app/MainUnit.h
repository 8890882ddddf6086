#pragma once

#include "app/ConversionController.h"
#include "app/CopyController.h"
#include "app/DeviceTabController.h"
#include "app/ExportController.h"
#include "app/FolderListController.h"
#include "app/MainFormLayout.h"
#include "app/Platform.h"
#include "app/PlaybackController.h"
#include "app/RememberedFolders.h"
#include "app/ShareController.h"
#include "app/WindowState.h"
#include "audio/ExternalDecoder.h"
#include "device/DeviceLink.h"
#include "device/PasswordUnit.h"
#include "platform/shell/ThreadChannel.h"

#include <QWidget>

#include <memory>

class QTimer;

namespace parlomax::testing {
struct WindowStateSeam;
}

namespace parlomax::app {

// The main window: the telephone's tab and the PC tab and the state every
// piece of work shares. Each control's handler hands the click to the
// controller of its feature, which holds the feature's rules.
class TMainForm : public QWidget, public device::DeviceTabLock {
  Q_OBJECT

 public:
  explicit TMainForm(const Platform& platform, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The PIN dialog, made once at start-up after the window.
  void SetPasswordDialog(device::TPasswordDlg* dialog) { deviceTab_->SetPasswordDialog(dialog); }

  device::DeviceLink& Link() { return link_; }

  // See app::SharedGuardsPass.
  bool SharedGuardsPass();

  void UnlockDeviceTab() override;
  void LockDeviceTab(bool emptyList) override;

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
  ShareController& Share() { return *share_; }
  FolderListController& FolderList() { return *folderList_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Watches the position bar: its focus, and the gestures that seek.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend struct testing::WindowStateSeam;

  // Keeps the folders each time one changes.
  void RememberFolders();

  Platform platform_;
  RememberedFolders remembered_;
  WindowState state_;
  device::DeviceLink link_;
  MainFormControls ui_;
  QTimer* TimerUSBConnect = nullptr;
  QTimer* TimerPlayer = nullptr;

  // Work handed to the window's thread by the worker threads.
  shell::ThreadChannel channel_;
  audio::ExternalDecoder decoder_;
  std::unique_ptr<CopyController> copy_;
  std::unique_ptr<DeviceTabController> deviceTab_;
  std::unique_ptr<ExportController> export_;
  std::unique_ptr<FolderListController> folderList_;
  std::unique_ptr<PlaybackController> playback_;
  std::unique_ptr<ConversionController> conversion_;
  std::unique_ptr<ShareController> share_;
};

}  // namespace parlomax::app
