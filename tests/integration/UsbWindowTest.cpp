// The whole program with a telephone on an emulated USB bus: plugged in,
// logged in, listed, pulled out. Runs only inside umockdev-wrapper.
#include "FakeFolderChooser.h"
#include "QtPrinters.h"
#include "RecordingMessageService.h"
#include "TestTelephone.h"
#include "RecordingAudioOutput.h"
#include "RecordingFolderBrowser.h"
#include "UsbTelephone.h"
#include "app/MainUnit.h"
#include "catalogue/DeviceList.h"
#include "platform/spreadsheet/SpreadsheetServer.h"
#include "platform/usb/CombinedDeviceLibrary.h"
#include "platform/usb/UsbDeviceLibrary.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace parlomax::app {
namespace {

TEST(UsbWindow, LogsInListsAndNoticesTheUnplug) {
  const char* preload = std::getenv("LD_PRELOAD");
  if (!preload || !std::strstr(preload, "umockdev")) GTEST_SKIP() << "not running inside umockdev-wrapper";

  std::vector<phone::Recording> recordings;
  for (unsigned i = 0; i < 12; ++i) recordings.push_back(testing::MakeRecording(400 * i, i));
  const auto model = testing::MakeTelephone(recordings, {9, 1, 7, 4});
  testing::UsbTelephone telephone(model);

  testing::RecordingMessageService messages;
  testing::FakeFolderChooser folders;
  spreadsheet::BuiltInAutomation automation;
  testing::RecordingAudioOutputFactory sound;
  testing::RecordingFolderBrowser browser;
  usb::CombinedDeviceLibrary devices;
  devices.AddBackend(std::make_unique<usb::UsbDeviceLibrary>());
  TMainForm form(Platform{devices, messages, folders, automation, sound, browser});
  device::TPasswordDlg dialog(form.Link(), messages, form);
  form.SetPasswordDialog(&dialog);
  form.show();

  form.TimerUSBConnectTimer();
  auto* connect = form.findChild<QPushButton*>("BitBtnConnect");
  EXPECT_EQ(connect->text(), "USB已连接");
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (dialog.isVisible()) dialog.findChild<QPushButton*>("OKBtn")->click();
  });
  answer.start(1);
  form.findChild<QPushButton*>("BitBtnRefersh")->click();
  answer.stop();

  ASSERT_TRUE(form.Link().LoggedIn);
  auto* list = form.findChild<QTreeWidget*>("ListViewMCU");
  ASSERT_EQ(list->topLevelItemCount(), 12);
  for (int i = 0; i < 12; ++i) {
    const auto row = catalogue::MakeDeviceListRow(static_cast<std::uint16_t>(i), model->Header(i));
    EXPECT_EQ(list->topLevelItem(i)->text(1), row.fileName);
    EXPECT_EQ(list->topLevelItem(i)->text(6), row.texts.duration);
  }
  EXPECT_TRUE(messages.Messages().empty());

  telephone.Unplug();
  for (int i = 0; i < 100 && connect->text() != "USB未连接"; ++i) form.TimerUSBConnectTimer();
  EXPECT_EQ(connect->text(), "USB未连接");
  EXPECT_EQ(list->topLevelItemCount(), 0);
  form.hide();
}

}  // namespace
}  // namespace parlomax::app
