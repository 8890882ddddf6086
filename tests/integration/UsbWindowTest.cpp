// The whole program with a telephone on an emulated USB bus, whichever
// chip it carries: plugged in, logged in, listed, copied, released, pulled
// out. Runs only inside umockdev-wrapper.
#include "FakeFolderChooser.h"
#include "FileBytes.h"
#include "ListRows.h"
#include "PumpEvents.h"
#include "QtPrinters.h"
#include "RecordingAudioOutput.h"
#include "RecordingBytes.h"
#include "RecordingFolderBrowser.h"
#include "RecordingMessageService.h"
#include "TempFolder.h"
#include "TestTelephone.h"
#include "ThreadsNamed.h"
#include "UsbTelephone.h"
#include "app/MainUnit.h"
#include "catalogue/DeviceList.h"
#include "catalogue/RecordingTexts.h"
#include "platform/spreadsheet/SpreadsheetServer.h"
#include "platform/usb/CombinedDeviceLibrary.h"
#include "platform/usb/UsbDeviceLibrary.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace parlomax::app {
namespace {

// The window over a telephone on the cable, whichever chip it carries.
class UsbWindowTest : public ::testing::TestWithParam<testing::UsbChip> {
 protected:
  void SetUp() override {
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "umockdev")) GTEST_SKIP() << "not running inside umockdev-wrapper";
    std::vector<phone::Recording> recordings;
    for (unsigned i = 0; i < 6; ++i) recordings.push_back(testing::MakeRecording(400 * i, i));
    model_ = testing::MakeTelephone(recordings, {9, 1, 7, 4});
    telephone_.emplace(model_, GetParam());
    devices_.AddBackend(std::make_unique<usb::UsbDeviceLibrary>());
    form_.emplace(Platform{devices_, messages_, folders_, automation_, sound_, browser_});
    dialog_.emplace(form_->Link(), messages_, *form_);
    form_->SetPasswordDialog(&*dialog_);
    form_->show();
  }
  void TearDown() override {
    if (form_) form_->hide();
  }
  QPushButton* Button(const char* name) { return form_->findChild<QPushButton*>(name); }
  void LogInAndList() {
    form_->TimerUSBConnectTimer();
    ASSERT_EQ(Button("BitBtnConnect")->text(), "USB已连接");
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      if (dialog_->isVisible()) dialog_->findChild<QPushButton*>("OKBtn")->click();
    });
    answer.start(1);
    Button("BitBtnRefersh")->click();
  }
  // The kind's own request of that sort, as the chip saw it.
  std::pair<std::uint8_t, std::uint16_t> Own(std::pair<std::uint8_t, std::uint16_t> firmware,
                                             std::pair<std::uint8_t, std::uint16_t> bridge) const {
    return GetParam().kind == testing::UsbChip::Kind::Firmware ? firmware : bridge;
  }
  bool Saw(std::pair<std::uint8_t, std::uint16_t> request) {
    const auto controls = telephone_->ControlRequests();
    return std::find(controls.begin(), controls.end(), request) != controls.end();
  }

  std::shared_ptr<phone::TelephoneModel> model_;
  std::optional<testing::UsbTelephone> telephone_;
  testing::RecordingMessageService messages_;
  testing::FakeFolderChooser folders_;
  spreadsheet::BuiltInAutomation automation_;
  testing::RecordingAudioOutputFactory sound_;
  testing::RecordingFolderBrowser browser_;
  usb::CombinedDeviceLibrary devices_;
  std::optional<TMainForm> form_;
  std::optional<device::TPasswordDlg> dialog_;
};

TEST_P(UsbWindowTest, LogsInListsCopiesEveryRecordingAndReleasesTheTelephone) {
  LogInAndList();
  ASSERT_TRUE(form_->Link().LoggedIn());
  EXPECT_TRUE(Saw(Own({0x02, 0x0001}, {0x12, 0x000F}))) << "the login's flush is the chip's own";
  auto* list = form_->findChild<QTreeView*>("ListViewMCU");
  ASSERT_EQ(testing::RowCount(list), 6);
  for (int i = 0; i < 6; ++i) {
    const auto row = catalogue::MakeDeviceListRow(static_cast<std::uint16_t>(i), model_->Header(i));
    EXPECT_EQ(testing::CellText(list, i, 1), row.fileName);
    EXPECT_EQ(testing::CellText(list, i, 6), row.texts.duration);
  }

  testing::TempFolder saved;
  folders_.answer = QString::fromStdString(saved.Path().string());
  Button("BitBtnSave")->click();
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(testing::PumpUntilCopyJobsEnded(30000));
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"全部文件上传结束"});
  for (std::uint16_t i = 0; i < 6; ++i) {
    const auto file = saved / catalogue::RecordingFileName(model_->Header(i), i + 1u).toStdString();
    EXPECT_EQ(testing::FileBytes(file), testing::RecordingBytes(*model_, i)) << i;
  }

  // Closing the window flushes the telephone and closes it, by its own requests.
  Button("ButtonExit")->click();
  const auto controls = telephone_->ControlRequests();
  ASSERT_GE(controls.size(), 2u);
  // A chip that did not say its kind gets every kind's close, the bridge's last.
  const auto lastClose = GetParam().stallsPartNumber ? Own({0x00, 0x0000}, {0x00, 0x0000})
                                                     : Own({0x02, 0x0004}, {0x00, 0x0000});
  EXPECT_EQ(controls.back(), lastClose);
  EXPECT_TRUE(Saw(Own({0x02, 0x0004}, {0x00, 0x0000})));
  EXPECT_FALSE(telephone_->IsOpen());
}

TEST_P(UsbWindowTest, NoticesTheUnplug) {
  LogInAndList();
  ASSERT_EQ(testing::RowCount(form_->findChild<QTreeView*>("ListViewMCU")), 6);
  telephone_->Unplug();
  auto* connect = Button("BitBtnConnect");
  for (int i = 0; i < 100 && connect->text() != "USB未连接"; ++i) form_->TimerUSBConnectTimer();
  EXPECT_EQ(connect->text(), "USB未连接");
  EXPECT_EQ(testing::RowCount(form_->findChild<QTreeView*>("ListViewMCU")), 0);
  EXPECT_TRUE(messages_.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(EachKind, UsbWindowTest, ::testing::ValuesIn(testing::kEveryUsbChip),
                         testing::UsbChipName<::testing::TestParamInfo<testing::UsbChip>>);

}  // namespace
}  // namespace parlomax::app
