// The telephone's tab driven as a user does: the watch ticks, the list
// button is clicked and the PIN dialog answered.
#include "ListRows.h"
#include "app/MainUnit.h"

#include "QtPrinters.h"
#include "WindowStateSeam.h"
#include "WindowWithTelephone.h"
#include "app/HintedTreeView.h"
#include "app/RecordingListView.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace parlomax::app {
namespace {

using phone::LibraryCall;

std::vector<phone::Recording> SixRecordings() {
  std::vector<phone::Recording> recordings;
  for (unsigned i = 0; i < 6; ++i) recordings.push_back(testing::MakeRecording(500 * i, i));
  return recordings;
}

class DeviceTabTest : public testing::WindowWithTelephone {
 protected:
  DeviceTabTest() : WindowWithTelephone(SixRecordings()) {}

  std::size_t Writes(std::uint8_t command) {
    std::size_t n = 0;
    for (const auto& c : library_.Calls()) n += c.op == LibraryCall::Op::Write && c.bytes[0] == command;
    return n;
  }
};

TEST_F(DeviceTabTest, PluggingInEnablesOnlyTheListButton) {
  EXPECT_EQ(EnabledDeviceControls(), std::vector<std::string>{});
  form_.TimerUSBConnectTimer();
  EXPECT_TRUE(form_.Link().DeviceAttached());
  EXPECT_EQ(Button("BitBtnConnect")->text(), "USB已连接");
  EXPECT_EQ(EnabledDeviceControls(), (std::vector<std::string>{"BitBtnRefersh", "BitBtnConnect"}));
  // No command goes to the telephone until the user asks for the list.
  EXPECT_TRUE(library_.CallsBesidesCount().empty());
}

// The line is drawn into the empty list itself, while no telephone is attached.
TEST_F(DeviceTabTest, TheEmptyListSaysHowToAttachTheTelephoneWhileNoneIs) {
  auto* list = dynamic_cast<HintedTreeView*>(List());
  ASSERT_NE(list, nullptr);
  const QString hint =
      QStringLiteral("请用 USB 线连接录音电话并开机。找不到电话时运行 parlomax-cli doctor。");
  const QImage atStart = list->viewport()->grab().toImage();
  EXPECT_EQ(list->EmptyHint(), hint);
  form_.TimerUSBConnectTimer();
  EXPECT_EQ(list->EmptyHint(), "");
  const QImage attached = list->viewport()->grab().toImage();
  EXPECT_NE(attached, atStart);
  library_.Unplug();
  form_.TimerUSBConnectTimer();
  EXPECT_EQ(list->EmptyHint(), hint);
  EXPECT_NE(list->viewport()->grab().toImage(), attached);
}

TEST_F(DeviceTabTest, TheWatchLeavesTheListButtonOffWhileACopyRuns) {
  testing::StateOf(form_).UploadAllRunning = true;
  form_.TimerUSBConnectTimer();
  EXPECT_EQ(EnabledDeviceControls(), std::vector<std::string>{"BitBtnConnect"});
}

TEST_F(DeviceTabTest, LoggingInListsEveryRecordingAndUnlocksTheTab) {
  form_.TimerUSBConnectTimer();
  Refresh();
  EXPECT_TRUE(form_.Link().LoggedIn());
  ASSERT_EQ(testing::RowCount(List()), 6);
  for (int i = 0; i < 6; ++i) {
    const auto row = catalogue::MakeDeviceListRow(static_cast<std::uint16_t>(i), library_.Model().Header(i));
    const QStringList expected{row.caption, row.fileName, row.texts.telephoneNumber, row.texts.time,
                               row.texts.type, row.texts.size, row.texts.duration};
    for (int c = 0; c < 7; ++c)
      EXPECT_EQ(testing::CellText(List(), i, c), expected[c]) << "row " << i << " column " << c;
  }
  EXPECT_EQ(EnabledDeviceControls(),
            (std::vector<std::string>{"BitBtnRefersh", "BitBtnExport", "BitBtnUpload",
                                      "BitBtnUploadAll", "BitBtnSave", "ListViewMCU", "BitBtnConnect"}));
  // Opened once, with the 10 s time-outs, and no flush but the login's.
  EXPECT_EQ(library_.ReadTimeoutMs(), 10000u);
  Refresh();
  std::size_t opens = 0;
  for (const auto& c : library_.Calls()) opens += c.op == LibraryCall::Op::Open;
  EXPECT_EQ(opens, 1u);
  EXPECT_EQ(Writes(4), 2u);  // every request asks for the PIN again
}

struct PinAnswer {
  const char* button;
  QString pin;
};

struct RefusedPinCase {
  std::vector<PinAnswer> answers;
  bool loggedIn;
  int rows;  // afterwards
  std::size_t refusals;
};

// A refused PIN brings the dialog back, emptied, until a PIN is accepted or
// the user cancels; nothing of the list is asked for meanwhile.
TEST_F(DeviceTabTest, ARefusedPinBringsTheDialogBackEmptyUntilARightPinOrCancel) {
  const QString wrong = QStringLiteral("1234");
  for (const auto& c :
       {RefusedPinCase{{{"OKBtn", wrong}, {"OKBtn", "9174"}}, true, 6, 1},
        RefusedPinCase{{{"OKBtn", wrong}, {"OKBtn", "917"}, {"OKBtn", "9174"}}, true, 6, 2},
        RefusedPinCase{{{"OKBtn", wrong}, {"CancelBtn", ""}}, false, 0, 1}}) {
    SCOPED_TRACE(c.answers.size());
    form_.TimerUSBConnectTimer();
    Refresh();
    ASSERT_EQ(testing::RowCount(List()), 6);
    library_.ClearCalls();
    messages_.Clear();
    // What the field held each time the dialog came up.
    std::vector<QString> offered;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      if (!dialog_.isVisible()) return;
      auto* field = dialog_.findChild<QLineEdit*>("Password");
      offered.push_back(field->text());
      const PinAnswer a = offered.size() <= c.answers.size() ? c.answers[offered.size() - 1]
                                                             : PinAnswer{"CancelBtn", ""};
      field->setText(a.pin);
      dialog_.findChild<QPushButton*>(a.button)->click();
    });
    answer.start(1);
    Button("BitBtnRefersh")->click();

    ASSERT_EQ(offered.size(), c.answers.size());
    EXPECT_EQ(offered[0], "9174") << "the first showing keeps what was typed last";
    for (std::size_t i = 1; i < offered.size(); ++i) EXPECT_EQ(offered[i], "") << i;
    EXPECT_EQ(messages_.Texts(), std::vector<QString>(c.refusals, "密码错误，无法登录"));
    EXPECT_EQ(form_.Link().LoggedIn(), c.loggedIn);
    EXPECT_EQ(testing::RowCount(List()), c.rows);
    EXPECT_EQ(Writes(1), c.loggedIn ? 1u : 0u) << "the list is asked for after a right PIN only";
    EXPECT_EQ(EnabledDeviceControls().size(), c.loggedIn ? 7u : 2u);
  }
}

TEST_F(DeviceTabTest, CancellingTheLoginEmptiesTheListAndLeavesTheListButtonOn) {
  form_.TimerUSBConnectTimer();
  Refresh();
  Refresh("CancelBtn");
  EXPECT_FALSE(form_.Link().LoggedIn());
  EXPECT_EQ(testing::RowCount(List()), 0);
  EXPECT_EQ(EnabledDeviceControls(), (std::vector<std::string>{"BitBtnRefersh", "BitBtnConnect"}));
}

TEST_F(DeviceTabTest, PlaybackOrConversionRefusesTheListBeforeTouchingTheTelephone) {
  form_.TimerUSBConnectTimer();
  testing::StateOf(form_).PlayState = PlayState::Paused;
  Refresh();
  testing::StateOf(form_).PlayState = PlayState::Stopped;
  testing::StateOf(form_).ConvertSelectedRunning = true;
  Refresh();
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"请先停止播放！", "请先停止转换！"}));
  EXPECT_TRUE(library_.CallsBesidesCount().empty());
  EXPECT_FALSE(dialog_.isVisible());
}

TEST_F(DeviceTabTest, AFailedOpenShowsNoDialogAndReadsNothing) {
  form_.TimerUSBConnectTimer();
  library_.Unplug();  // gone between the tick and the click
  Refresh();
  EXPECT_FALSE(form_.Link().DeviceOpen());
  EXPECT_TRUE(messages_.Messages().empty());
  EXPECT_EQ(Writes(1), 0u);
}

TEST_F(DeviceTabTest, ATelephoneThisUserMayNotOpenIsSaidOnceWithItsFix) {
  form_.TimerUSBConnectTimer();
  library_.RefuseOpensWith(usb::kAccessDenied);
  Refresh();
  EXPECT_FALSE(form_.Link().DeviceOpen());
  EXPECT_FALSE(dialog_.isVisible());
  ASSERT_EQ(messages_.Messages().size(), 1u);
  const auto box = messages_.Messages()[0];
  EXPECT_EQ(box.caption, "Waring");
  EXPECT_EQ(box.icon, shell::MessageIcon::Warning);
  EXPECT_TRUE(box.text.contains("没有权限")) << box.text.toStdString();
  EXPECT_TRUE(box.text.contains("parlomax-cli doctor")) << box.text.toStdString();
  EXPECT_EQ(Writes(1), 0u);

  // Any other refusal stays silent; once the user may, it opens as ever.
  messages_.Clear();
  library_.RefuseOpensWith(usb::kFailure);
  Refresh();
  EXPECT_TRUE(messages_.Messages().empty());
  library_.RefuseOpensWith(usb::kSuccess);
  Refresh();
  EXPECT_TRUE(form_.Link().LoggedIn());
}

TEST_F(DeviceTabTest, ATelephoneAnotherProgramHoldsIsSaidAndTheNextRequestGetsItOnceFree) {
  form_.TimerUSBConnectTimer();
  library_.RefuseOpensWith(usb::kBusy);
  Refresh();
  EXPECT_FALSE(form_.Link().DeviceOpen());
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0].icon, shell::MessageIcon::Warning);
  EXPECT_TRUE(messages_.Texts()[0].contains("另一个程序")) << messages_.Texts()[0].toStdString();
  library_.RefuseOpensWith(usb::kSuccess);
  Refresh();
  EXPECT_TRUE(form_.Link().LoggedIn());
  EXPECT_EQ(testing::RowCount(List()), 6);
}

TEST_F(DeviceTabTest, UnpluggingResetsTheWholeTabEvenDuringACopy) {
  form_.TimerUSBConnectTimer();
  Refresh();
  testing::StateOf(form_).UploadAllRunning = true;
  Button("BitBtnUploadAll")->setText(QStringLiteral("取消上传"));
  form_.findChild<QProgressBar*>("ProgressBarUpload")->setValue(40);
  form_.findChild<QProgressBar*>("ProgressBarUploadPacket")->setValue(70);
  library_.Unplug();
  form_.TimerUSBConnectTimer();

  EXPECT_FALSE(form_.Link().DeviceAttached() || form_.Link().DeviceOpen() || form_.Link().LoggedIn());
  EXPECT_FALSE(testing::StateOf(form_).UploadAllRunning);
  EXPECT_EQ(testing::RowCount(List()), 0);
  EXPECT_EQ(EnabledDeviceControls(), std::vector<std::string>{});
  EXPECT_EQ(Button("BitBtnConnect")->text(), "USB未连接");
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_EQ(Button("BitBtnUpload")->text(), "上传选择");
  EXPECT_EQ(form_.findChild<QProgressBar*>("ProgressBarUpload")->value(), 0);
  EXPECT_EQ(form_.findChild<QProgressBar*>("ProgressBarUploadPacket")->value(), 0);
  EXPECT_EQ(form_.findChild<QLabel*>("LabelUpload")->text(), "上传进度");
  EXPECT_EQ(form_.findChild<QLabel*>("LabelUpload")->width(), 300);

  // Plugged in again: a new request opens the telephone anew.
  library_.PlugIn();
  form_.TimerUSBConnectTimer();
  Refresh();
  EXPECT_EQ(testing::RowCount(List()), 6);
}

}  // namespace
}  // namespace parlomax::app
