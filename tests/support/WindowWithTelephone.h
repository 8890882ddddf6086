#pragma once

#include "FakeFolderChooser.h"
#include "ListRows.h"
#include "PumpEvents.h"
#include "RecordingAudioOutput.h"
#include "RecordingFolderBrowser.h"
#include "RecordingMessageService.h"
#include "TestTelephone.h"
#include "app/MainUnit.h"
#include "platform/spreadsheet/SpreadsheetServer.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace parlomax::testing {

// The main window and its PIN dialog over an in-process telephone, driven as
// a user drives them.
class WindowWithTelephone : public ::testing::Test {
 protected:
  // `decoder`: the decoder program, for the tests that play or convert;
  // `settingsFile`: where the window keeps its folders (empty: nowhere).
  explicit WindowWithTelephone(std::vector<phone::Recording> recordings,
                               std::string decoder = "speex",
                               std::filesystem::path settingsFile = {})
      : library_(MakeTelephone(std::move(recordings), {9, 1, 7, 4})),
        form_(app::Platform{library_,
                            messages_,
                            folders_,
                            automation_,
                            sound_,
                            browser_,
                            std::move(decoder),
                            {},
                            std::move(settingsFile)}),
        dialog_(form_.Link(), messages_, form_) {
    form_.SetPasswordDialog(&dialog_);
    form_.show();
  }
  ~WindowWithTelephone() override { form_.hide(); }

  QPushButton* Button(const char* name) { return form_.findChild<QPushButton*>(name); }
  QTreeView* List() { return form_.findChild<QTreeView*>("ListViewMCU"); }
  QProgressBar* Bar(const char* name) { return form_.findChild<QProgressBar*>(name); }

  // Clicks the list button and answers the PIN dialog with `button`, after
  // typing `pin`.
  void Refresh(const char* button = "OKBtn", const QString& pin = QStringLiteral("9174")) {
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [this, button, pin] {
      if (!dialog_.isVisible()) return;
      dialog_.findChild<QLineEdit*>("Password")->setText(pin);
      dialog_.findChild<QPushButton*>(button)->click();
    });
    answer.start(1);
    Button("BitBtnRefersh")->click();
  }
  // Plugged in, logged in and listed.
  void LogInAndList() {
    form_.TimerUSBConnectTimer();
    Refresh();
  }
  // The device-tab controls that are enabled, in a fixed order.
  std::vector<std::string> EnabledDeviceControls() {
    std::vector<std::string> on;
    for (const char* name : {"BitBtnRefersh", "BitBtnExport", "BitBtnUpload", "BitBtnUploadAll",
                             "BitBtnSave", "ListViewMCU", "BitBtnConnect"}) {
      if (form_.findChild<QWidget*>(name)->isEnabled()) on.push_back(name);
    }
    return on;
  }

  RecordingMessageService messages_;
  FakeFolderChooser folders_;
  spreadsheet::BuiltInAutomation automation_;
  RecordingAudioOutputFactory sound_;
  RecordingFolderBrowser browser_;
  phone::InProcessDeviceLibrary library_;
  app::TMainForm form_;
  device::TPasswordDlg dialog_;
};

}  // namespace parlomax::testing
