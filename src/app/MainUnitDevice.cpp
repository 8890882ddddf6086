// The telephone's tab: the connection watch, the list request and what a
// login does to the tab.
#include "app/MainUnit.h"

#include "app/RecordingListView.h"
#include "device/DeviceListReading.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

namespace parlomax::app {

const QString kTelephoneNotPermittedMessage = QStringLiteral(
    "电话已经连在 USB 线上，但当前用户没有权限打开它。\n"
    "请安装 Parlomax 的 udev 规则（安装软件包时会自动安装），或把当前用户加入 plugdev 组，"
    "然后重新插上电话。\n运行 parlomax-cli doctor 可以看到详细原因和解决办法。");

void TMainForm::TimerUSBConnectTimer() {
  if (link_.CountDevices() >= 1) {
    link_.TelephoneSeen();
    ui_.BitBtnConnect->setText(QStringLiteral("USB已连接"));
    ui_.BitBtnConnect->setEnabled(true);
    if (!state_.UploadSelectedRunning && !state_.UploadAllRunning) {
      ui_.BitBtnRefersh->setEnabled(true);
    }
    return;
  }
  ResetDeviceTab();
}

void TMainForm::ResetDeviceTab() {
  // The handle is neither flushed nor closed: there is nothing left to talk
  // to, and a running copy job finds out at its next command.
  link_.TelephoneLost();
  ui_.BitBtnConnect->setText(QStringLiteral("USB未连接"));
  ui_.BitBtnConnect->setEnabled(false);
  SetEnabled({ui_.BitBtnUploadAll, ui_.BitBtnUpload, ui_.BitBtnRefersh, ui_.BitBtnSave,
              ui_.BitBtnExport, ui_.ListViewMCU},
             false);
  ui_.ListViewMCU->clear();
  state_.UploadSelectedRunning = false;
  state_.UploadAllRunning = false;
  // A job still running is doomed; what it reports until it notices is not shown.
  copyUpdates_.Retire();
  ResetUploadProgress();
  ui_.BitBtnUpload->setText(QStringLiteral("上传选择"));
  ui_.BitBtnUploadAll->setText(QStringLiteral("上传全部"));
}

void TMainForm::UnlockDeviceTab() {
  SetEnabled({ui_.BitBtnUploadAll, ui_.BitBtnUpload, ui_.BitBtnSave, ui_.ListViewMCU,
              ui_.BitBtnExport},
             true);
}

void TMainForm::LockDeviceTab(bool emptyList) {
  SetEnabled({ui_.BitBtnUploadAll, ui_.BitBtnUpload, ui_.BitBtnSave, ui_.ListViewMCU,
              ui_.BitBtnExport},
             false);
  if (emptyList) ui_.ListViewMCU->clear();
}

bool TMainForm::TelephoneGone() {
  // The watch may have seen it go while a message was open; if it has not
  // ticked since, ask the library directly.
  return !link_.DeviceAttached() || !link_.DeviceOpen() || link_.CountDevices() == 0;
}

void TMainForm::BitBtnRefershClick() {
  if (!SharedGuardsPass()) return;
  if (link_.DeviceAttached()) {
    // Every request asks for the PIN again, also when the user is logged in.
    usb::Status refused = usb::kSuccess;
    if (link_.DeviceOpen() || link_.OpenFirstDevice(&refused)) {
      if (passwordDlg_) passwordDlg_->exec();
    } else if (refused == usb::kAccessDenied) {
      // A failed open is otherwise silent; this one would stay so for good,
      // and the user can mend it.
      platform_.messages.Warn(kTelephoneNotPermittedMessage);
    }
  }
  if (!link_.LoggedIn()) return;
  RecordingListFiller list(ui_.ListViewMCU);
  device::ReadDeviceList(link_, list, [this] { return TelephoneGone(); });
}

}  // namespace parlomax::app
