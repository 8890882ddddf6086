#pragma once

#include "app/MainFormLayout.h"
#include "app/WindowState.h"

#include <QString>

#include <cstdint>

class QTreeWidget;

namespace parlomax::device {
class DeviceLink;
class TPasswordDlg;
}
namespace parlomax::shell {
class MessageService;
}

namespace parlomax::app {

class CopyController;

// Said when a telephone is on the cable but this user may not open it.
extern const QString kTelephoneNotPermittedMessage;
// The telephone's empty list says this while no telephone is attached.
extern const QString kNoTelephoneHint;
// Said when another program (parlomax-cli, another window) holds the telephone.
extern const QString kTelephoneBusyMessage;

// The telephone's tab as the window sees it: the connection watch, the
// login the list request leads to, the list itself, and what a login or a
// lost telephone does to the tab's controls.
class DeviceTabController {
 public:
  DeviceTabController(const MainFormControls& ui, WindowState& state, device::DeviceLink& link,
                      shell::MessageService& messages, CopyController& copy);

  // The PIN dialog, made once at start-up after the window.
  void SetPasswordDialog(device::TPasswordDlg* dialog) { passwordDlg_ = dialog; }

  // The window is shown: nothing is open and nobody is logged in yet.
  void AtShow();
  // One look at the cable.
  void WatchConnection();
  // Asks for the PIN (again), then reads the telephone's list.
  void RequestList();
  // What an accepted or refused PIN does to the tab.
  void Unlock();
  void Lock(bool emptyList);
  // The link failed in a way that leaves it untrustworthy: the tab starts
  // afresh as when the telephone is unplugged, and the telephone is let go,
  // so that the next list request opens it anew and asks for the PIN.
  void StartAfreshAfterFault();

 private:
  // Everything a telephone that went away leaves unusable.
  void ResetTab();
  // True when the telephone is no longer there to be asked.
  bool TelephoneGone();
  // The tab's controls that need a logged-in telephone.
  void SetLoginControlsEnabled(bool enabled);

  const MainFormControls& ui_;
  WindowState& state_;
  device::DeviceLink& link_;
  shell::MessageService& messages_;
  CopyController& copy_;
  device::TPasswordDlg* passwordDlg_ = nullptr;
};

}  // namespace parlomax::app
