#pragma once

#include "device/DeviceLink.h"
#include "device/PinCheck.h"
#include "platform/shell/MessageService.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace parlomax::device {

// What the outcome of a login does to the telephone's tab.
class DeviceTabLock {
 public:
  virtual ~DeviceTabLock() = default;
  // Enables the copy buttons, the save-folder button, the list and the export.
  virtual void UnlockDeviceTab() = 0;
  // Disables the same controls; `emptyList` also empties the list.
  virtual void LockDeviceTab(bool emptyList) = 0;
};

// The PIN dialog. Created once at start-up and shown modally whenever the
// telephone is opened; the edit box keeps what was typed last time. The PIN
// is read from the telephone and compared here, on the PC.
class TPasswordDlg : public QDialog {
  Q_OBJECT

 public:
  TPasswordDlg(DeviceLink& link, shell::MessageService& messages, DeviceTabLock& deviceTab,
               QWidget* parent = nullptr);

  // Offers "记住密码": when it is ticked, the PIN of a login the telephone
  // accepted goes to `remember` (the keyring, or a private file). Without
  // it the box is not shown.
  void SetRememberPin(std::function<void(const QString& pin)> remember);

  // Shows the dialog until the PIN is accepted or the user gives up: after
  // a refused PIN and its message it comes back with the field emptied.
  // Cancel, or the title bar's close, ends it as a single showing would.
  void AskForPin();

 public slots:
  void OKBtnClick();
  void CancelBtnClick();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  DeviceLink& link_;
  shell::MessageService& messages_;
  DeviceTabLock& deviceTab_;
  QLineEdit* Password = nullptr;
  QCheckBox* CheckRememberPin = nullptr;
  std::function<void(const QString& pin)> rememberPin_;
  bool refused_ = false;  // by the telephone, at the last OK
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
};

}  // namespace parlomax::device
