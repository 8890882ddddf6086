#pragma once

#include "app/MainFormLayout.h"
#include "app/Platform.h"
#include "app/WindowState.h"
#include "device/DeviceLink.h"

#include <QWidget>

class QTimer;

namespace parlomax::app {

// The main window: the telephone's tab and the PC tab, the state every piece
// of work shares, and the rules that switch controls as work starts and ends.
class TMainForm : public QWidget {
  Q_OBJECT

 public:
  explicit TMainForm(const Platform& platform, QWidget* parent = nullptr);
  ~TMainForm() override;

  device::DeviceLink& Link() { return link_; }
  WindowState& State() { return state_; }
  const MainFormControls& Controls() const { return ui_; }

  // The checks that the list request, the copy buttons and the export make
  // before anything else: no playback (paused counts) and no conversion. A
  // refusal has been told to the user when this returns false.
  bool SharedGuardsPass();

 public slots:
  void FormShow();
  void FormClose();
  void ButtonExitClick();
  void PageControl1Change(int index);
  void EditSaveChange(const QString& text);
  void TimerUSBConnectTimer();
  void TimerPlayerTimer();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  Platform platform_;
  WindowState state_;
  device::DeviceLink link_;
  MainFormControls ui_;
  QTimer* TimerUSBConnect = nullptr;
  QTimer* TimerPlayer = nullptr;
};

// The save folder a new window starts with: the user's home folder with
// exactly one trailing "/".
QString InitialSaveFolder();

}  // namespace parlomax::app
