#pragma once

#include "ChildProcess.h"
#include "FakeFolderChooser.h"
#include "ListRows.h"
#include "PumpEvents.h"
#include "RecordingAudioOutput.h"
#include "RecordingFolderBrowser.h"
#include "RecordingMessageService.h"
#include "TempFolder.h"
#include "ThreadsNamed.h"
#include "app/MainUnit.h"
#include "platform/spreadsheet/SpreadsheetServer.h"
#include "platform/usb/CombinedDeviceLibrary.h"
#include "platform/usb/EmulatorDeviceLibrary.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace parlomax::testing {

// The whole program as it runs for a user, with telephones played by the
// parlomax-phone program and the real timers ticking.
class WindowWithEmulator : public ::testing::Test {
 protected:
  // `sound`: where the player's sound goes (a recorder when left out);
  // `decoder`: the decoder program, for the tests that play or convert.
  explicit WindowWithEmulator(sound::AudioOutputFactory* sound = nullptr, std::string decoder = "speex")
      : form_(app::Platform{devices_, messages_, folders_, automation_, sound ? *sound : sound_,
                            browser_, std::move(decoder)}),
        dialog_(form_.Link(), messages_, form_) {
    devices_.AddBackend(std::make_unique<usb::EmulatorDeviceLibrary>(Emulators()));
    form_.SetPasswordDialog(&dialog_);
    form_.show();
  }
  ~WindowWithEmulator() override { form_.hide(); }

  // Starts a telephone; `options` go to parlomax-phone as they are.
  std::unique_ptr<ChildProcess> PlugIn(std::vector<std::string> options) {
    std::vector<std::string> argv{PARLOMAX_PHONE_PROGRAM, "--folder", Emulators().string()};
    argv.insert(argv.end(), options.begin(), options.end());
    return std::make_unique<ChildProcess>(argv);
  }
  // A telephone holding the WAV files of `wavs`, logged in, listed, and
  // every recording copied into `saved`, which the PC tab then lists. The
  // telephone stays plugged in while the returned process lives.
  std::unique_ptr<ChildProcess> CopyIntoPcFolder(const std::filesystem::path& wavs,
                                                 const std::filesystem::path& saved, int recordings) {
    auto phone = PlugIn({"--wav-dir", wavs.string()});
    EXPECT_TRUE(WaitUntilAttached());
    LogInAndList(QStringLiteral("9174"));
    EXPECT_EQ(testing::RowCount(List()), recordings);
    folders_.answer = QString::fromStdString(saved.string());
    Button("BitBtnSave")->click();
    Button("BitBtnUploadAll")->click();
    EXPECT_TRUE(testing::PumpUntilCopyJobsEnded(20000));
    Button("BitBtn3")->click();
    EXPECT_TRUE(testing::WaitForFolderListing(form_));
    return phone;
  }
  // Where emulators announce themselves for a session whose runtime folder
  // is `sockets_`: other programs started with XDG_RUNTIME_DIR set to it
  // find the same telephones.
  std::filesystem::path Emulators() const { return sockets_ / "parlomax"; }
  QPushButton* Button(const char* name) { return form_.findChild<QPushButton*>(name); }
  QTreeView* List() { return form_.findChild<QTreeView*>("ListViewMCU"); }
  bool WaitUntilAttached() {
    return PumpUntil([&] { return Button("BitBtnRefersh")->isEnabled(); }, 5000);
  }
  void LogInAndList(const QString& pin) {
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [this, pin] {
      if (!dialog_.isVisible()) return;
      dialog_.findChild<QLineEdit*>("Password")->setText(pin);
      dialog_.findChild<QPushButton*>("OKBtn")->click();
    });
    answer.start(1);
    Button("BitBtnRefersh")->click();
  }

  TempFolder sockets_;
  RecordingMessageService messages_;
  FakeFolderChooser folders_;
  spreadsheet::BuiltInAutomation automation_;
  RecordingAudioOutputFactory sound_;
  RecordingFolderBrowser browser_;
  usb::CombinedDeviceLibrary devices_;
  app::TMainForm form_;
  device::TPasswordDlg dialog_;
};

}  // namespace parlomax::testing
