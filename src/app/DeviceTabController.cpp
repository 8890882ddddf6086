#include "app/DeviceTabController.h"

#include "app/CopyController.h"
#include "app/HintedTreeView.h"
#include "app/RecordingListView.h"
#include "app/SharedGuards.h"
#include "device/DeviceLink.h"
#include "device/DeviceListReading.h"
#include "device/PasswordUnit.h"
#include "platform/shell/MessageService.h"

#include <QPushButton>
#include <QTreeView>

namespace parlomax::app {

const QString kTelephoneNotPermittedMessage = QStringLiteral(
    "电话已经连在 USB 线上，但当前用户没有权限打开它。\n"
    "请安装 Parlomax 的 udev 规则（安装软件包时会自动安装），或把当前用户加入 plugdev 组，"
    "然后重新插上电话。\n运行 parlomax-cli doctor 可以看到详细原因和解决办法。");

const QString kTelephoneBusyMessage = QStringLiteral(
    "另一个程序正在使用这部电话（也许是 parlomax-cli 或另一个 Parlomax 窗口），请先关闭它再试。");

const QString kNoTelephoneHint =
    QStringLiteral("请用 USB 线连接录音电话并开机。找不到电话时运行 parlomax-cli doctor。");

DeviceTabController::DeviceTabController(const MainFormControls& ui, WindowState& state,
                                         device::DeviceLink& link, shell::MessageService& messages,
                                         CopyController& copy)
    : ui_(ui), state_(state), link_(link), messages_(messages), copy_(copy) {}

void DeviceTabController::SetLoginControlsEnabled(bool enabled) {
  for (QWidget* w : {static_cast<QWidget*>(ui_.BitBtnUploadAll), static_cast<QWidget*>(ui_.BitBtnUpload),
                     static_cast<QWidget*>(ui_.BitBtnSave), static_cast<QWidget*>(ui_.ListViewMCU),
                     static_cast<QWidget*>(ui_.BitBtnExport)}) {
    w->setEnabled(enabled);
  }
}

void DeviceTabController::AtShow() {
  SetLoginControlsEnabled(false);
  ui_.BitBtnRefersh->setEnabled(false);
  link_.StartAfresh();
  ui_.BitBtnConnect->setText(QStringLiteral("USB未连接"));
  ui_.BitBtnConnect->setEnabled(false);
  SetEmptyHint(ui_.ListViewMCU, kNoTelephoneHint);
}

void DeviceTabController::WatchConnection() {
  if (link_.CountDevices() >= 1) {
    link_.TelephoneSeen();
    ui_.BitBtnConnect->setText(QStringLiteral("USB已连接"));
    ui_.BitBtnConnect->setEnabled(true);
    SetEmptyHint(ui_.ListViewMCU, {});
    if (!state_.UploadSelectedRunning && !state_.UploadAllRunning) {
      ui_.BitBtnRefersh->setEnabled(true);
    }
    return;
  }
  ResetTab();
}

void DeviceTabController::ResetTab() {
  // The handle is neither flushed nor closed: there is nothing left to talk
  // to, and a running copy job finds out at its next command.
  link_.TelephoneLost();
  ui_.BitBtnConnect->setText(QStringLiteral("USB未连接"));
  ui_.BitBtnConnect->setEnabled(false);
  SetLoginControlsEnabled(false);
  ui_.BitBtnRefersh->setEnabled(false);
  ui_.DeviceRows->Clear();
  SetEmptyHint(ui_.ListViewMCU, kNoTelephoneHint);
  state_.DeviceListShortfall = {};
  copy_.ForgetTelephone();
}

void DeviceTabController::StartAfreshAfterFault() {
  ResetTab();
  link_.Release();
}

void DeviceTabController::Unlock() { SetLoginControlsEnabled(true); }

void DeviceTabController::Lock(bool emptyList) {
  SetLoginControlsEnabled(false);
  if (emptyList) ui_.DeviceRows->Clear();
}

bool DeviceTabController::TelephoneGone() {
  // The watch may have seen it go while a message was open; if it has not
  // ticked since, ask the library directly.
  return !link_.DeviceAttached() || !link_.DeviceOpen() || link_.CountDevices() == 0;
}

void DeviceTabController::RequestList() {
  if (!SharedGuardsPass(state_, messages_)) return;
  if (link_.DeviceAttached()) {
    // Every request asks for the PIN again, also when the user is logged in.
    usb::Status refused = usb::kSuccess;
    if (link_.DeviceOpen() || link_.OpenFirstDevice(&refused)) {
      if (passwordDlg_) passwordDlg_->AskForPin();
    } else if (refused == usb::kAccessDenied) {
      // A failed open is otherwise silent; this one would stay so for good,
      // and the user can mend it.
      messages_.Warn(kTelephoneNotPermittedMessage);
    } else if (refused == usb::kBusy) {
      // So would this one for as long as the other program runs.
      messages_.Warn(kTelephoneBusyMessage);
    }
  }
  if (!link_.LoggedIn()) return;
  RecordingListFiller list(ui_.DeviceRows);
  const auto read = device::ReadDeviceList(link_, list, [this] { return TelephoneGone(); });
  if (read.end == device::DeviceListRead::End::CountNotSent) return;  // the list stands as it was
  // Kept for whatever exports the list.
  state_.DeviceListShortfall = {read.count.has_value(), read.rowsMissed};
  copy_.LookForSafeCopies();
  // A telephone that left takes the list with it at the watch's next tick.
  if (read.end == device::DeviceListRead::End::AllAsked && read.rowsMissed > 0) {
    messages_.Warn(device::RowsMissedText(read.rowsMissed));
  }
}

}  // namespace parlomax::app
