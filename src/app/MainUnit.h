#pragma once

#include "app/MainFormLayout.h"
#include "app/Platform.h"
#include "app/WindowState.h"
#include "device/DeviceLink.h"
#include "device/PasswordUnit.h"

#include <QWidget>

#include <initializer_list>

class QTimer;

namespace parlomax::app {

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

 public slots:
  void FormShow();
  void FormClose();
  void ButtonExitClick();
  void PageControl1Change(int index);
  void EditSaveChange(const QString& text);
  void TimerUSBConnectTimer();
  void TimerPlayerTimer();
  void BitBtnRefershClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Everything a telephone that went away leaves unusable.
  void ResetDeviceTab();
  // True when the telephone is no longer there to be asked.
  bool TelephoneGone();

  Platform platform_;
  WindowState state_;
  device::DeviceLink link_;
  MainFormControls ui_;
  QTimer* TimerUSBConnect = nullptr;
  QTimer* TimerPlayer = nullptr;
  device::TPasswordDlg* passwordDlg_ = nullptr;
};

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled);

// The save folder a new window starts with: the user's home folder with
// exactly one trailing "/".
QString InitialSaveFolder();

}  // namespace parlomax::app
