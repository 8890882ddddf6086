#include "ListRows.h"
#include "app/MainFormLayout.h"
#include "app/MainUnit.h"
#include "app/ParlomaxApplication.h"

#include "QtPrinters.h"
#include "WindowStateSeam.h"
#include "FakeFolderChooser.h"
#include "platform/spreadsheet/SpreadsheetServer.h"
#include "RecordingMessageService.h"
#include "TestTelephone.h"
#include "device/PinLogin.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include "RecordingAudioOutput.h"
#include "RecordingFolderBrowser.h"

#include <gtest/gtest.h>

namespace parlomax::app {
namespace {

using phone::LibraryCall;

class MainFormTest : public ::testing::Test {
 protected:
  MainFormTest()
      : library_(testing::MakeTelephone({testing::MakeRecording(100)})),
        form_(Platform{library_, messages_, folders_, automation_, sound_, browser_}) {}

  template <typename Widget = QWidget>
  Widget* Find(const char* name) {
    auto* widget = form_.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  bool Enabled(const char* name) { return Find(name)->isEnabled(); }
  QString Caption(const char* name) { return Find<QPushButton>(name)->text(); }

  testing::RecordingMessageService messages_;
  testing::FakeFolderChooser folders_;
  spreadsheet::BuiltInAutomation automation_;
  testing::RecordingAudioOutputFactory sound_;
  testing::RecordingFolderBrowser browser_;
  phone::InProcessDeviceLibrary library_;
  TMainForm form_;
};

TEST_F(MainFormTest, TheWindowHasItsCaptionFixedSizeAndNoMaximiseButton) {
  EXPECT_EQ(form_.windowTitle(), "Parlomax录音电话软件");
  EXPECT_EQ(form_.minimumSize(), QSize(643, 685));
  EXPECT_EQ(form_.maximumSize(), QSize(643, 685));
  EXPECT_TRUE(form_.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form_.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form_.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(MainFormTest, TheDesktopKnowsTheProgramByItsIconAndMenuEntryAndTheTitleIsTheDesignsAlone) {
  ApplyDesktopIdentity(*qApp);
  const QIcon icon = QApplication::windowIcon();
  EXPECT_FALSE(icon.isNull());
  for (int size : {16, 32, 48, 64, 128, 256}) {
    EXPECT_EQ(icon.pixmap(size, size).size(), QSize(size, size)) << size;
  }
  EXPECT_EQ(QGuiApplication::desktopFileName(), "org.parlomax.Parlomax");
  // Qt appends a display name set for the application to every window's title.
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
  EXPECT_EQ(form_.windowTitle(), "Parlomax录音电话软件");
}

TEST_F(MainFormTest, PictureButtonsSayWhatTheyDoOnHoverAndToAScreenReader) {
  const std::vector<std::pair<const char*, QString>> buttons{
      {"BitBtnPlayStart", "播放"}, {"BitBtnPlayPause", "暂停"}, {"BitBtnPlayStop", "停止"},
      {"BitBtn2", "上一个"},       {"BitBtn1", "下一个"},       {"BitBtn3", "选择目录"},
      {"BitBtnOutput", "选择目录"}, {"BitBtnSave", "选择目录"}};
  for (const auto& [name, what] : buttons) {
    const auto* button = form_.findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    EXPECT_TRUE(button->text().isEmpty()) << name;
    EXPECT_EQ(button->toolTip(), what) << name;
    EXPECT_EQ(button->accessibleName(), what) << name;
  }
}

TEST_F(MainFormTest, TheDeviceTabComesFirstAndIsActive) {
  auto* pages = Find<QTabWidget>("PageControl1");
  ASSERT_EQ(pages->count(), 2);
  EXPECT_EQ(pages->widget(0)->objectName(), "TabSheetMCU");
  EXPECT_EQ(pages->tabText(0), "录音电话机");
  EXPECT_EQ(pages->widget(1)->objectName(), "TabSheetComputer");
  EXPECT_EQ(pages->tabText(1), "PC机");
  EXPECT_EQ(pages->currentIndex(), 0);
  // The connection and exit buttons stand outside the tabs.
  EXPECT_FALSE(pages->isAncestorOf(Find("BitBtnConnect")));
  EXPECT_FALSE(pages->isAncestorOf(Find("ButtonExit")));
  EXPECT_TRUE(Find("TabSheetMCU")->isAncestorOf(Find("BitBtnUploadAll")));
  EXPECT_TRUE(Find("TabSheetComputer")->isAncestorOf(Find("BitBtn5")));
}

TEST_F(MainFormTest, EveryControlStartsWithItsDesignCaption) {
  const std::pair<const char*, const char*> buttons[] = {
      {"BitBtnConnect", "USB 未连接"}, {"ButtonExit", "退出系统"},  {"BitBtnRefersh", "上传列表"},
      {"BitBtnExport", "导出列表"},    {"BitBtnUpload", "上传选择"}, {"BitBtnUploadAll", "上传全部"},
      {"BitBtn4", "转换选择"},         {"BitBtn5", "转换全部"},      {"BitBtnSave", ""},
      {"BitBtn3", ""},                 {"BitBtnOutput", ""},         {"BitBtnPlayStart", ""},
      {"BitBtnPlayPause", ""},         {"BitBtnPlayStop", ""},       {"BitBtn2", ""},
      {"BitBtn1", ""}};
  for (const auto& [name, caption] : buttons) EXPECT_EQ(Caption(name), caption) << name;

  const std::pair<const char*, const char*> labels[] = {
      {"LabelUpload", "上传进度   "}, {"Label3", "00:00:00"}, {"Label5", "/"},
      {"Label4", "00:00:00"},       {"Label10", ""},        {"Label11", ""}};
  for (const auto& [name, caption] : labels) EXPECT_EQ(Find<QLabel>(name)->text(), caption) << name;

  EXPECT_EQ(Find<QGroupBox>("GroupBox1")->title(), "保存位置");
  EXPECT_EQ(Find<QGroupBox>("GroupBox3")->title(), "转换WAV文件");
  EXPECT_EQ(Find<QLineEdit>("EditSave")->text(), InitialSaveFolder());
  EXPECT_TRUE(Find<QLineEdit>("EditSave")->isReadOnly());
  EXPECT_EQ(Find<QLineEdit>("EditFileList")->text(), "电话列表List");
  EXPECT_EQ(Find<QLineEdit>("EditInput")->text(), "");
  EXPECT_EQ(Find<QLineEdit>("EditOutput")->text(), "");
  EXPECT_TRUE(Find<QLineEdit>("EditOutput")->isReadOnly());

  for (const char* name : {"ProgressBarUploadPacket", "ProgressBarUpload", "ProgressBar1",
                           "ProgressBar2"}) {
    auto* bar = Find<QProgressBar>(name);
    EXPECT_EQ(bar->minimum(), 0) << name;
    EXPECT_EQ(bar->maximum(), 100) << name;
    EXPECT_EQ(bar->value(), 0) << name;
  }
  auto* track = Find<QSlider>("TrackBar1");
  EXPECT_EQ(track->minimum(), 0);
  EXPECT_EQ(track->maximum(), 25);
  EXPECT_EQ(track->orientation(), Qt::Horizontal);
  EXPECT_EQ(track->tickPosition(), QSlider::TicksAbove);
}

TEST_F(MainFormTest, BothListsHaveTheSevenRecordingColumns) {
  const char* captions[] = {"序号", "文件名", "电话号码", "时间", "属性", "文件长度", "时长"};
  const int widths[] = {40, 120, 100, 130, 50, 68, 99};
  for (const char* name : {"ListViewMCU", "ListViewFile"}) {
    auto* list = Find<QTreeView>(name);
    ASSERT_EQ(list->model()->columnCount(), 7) << name;
    for (int c = 0; c < 7; ++c) {
      EXPECT_EQ(list->model()->headerData(c, Qt::Horizontal).toString(), captions[c]) << name << c;
      EXPECT_EQ(list->columnWidth(c), widths[c]) << name << c;
      const auto horizontal = list->model()
                                  ->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole)
                                  .value<Qt::Alignment>() &
                              Qt::AlignHorizontal_Mask;
      EXPECT_EQ(horizontal, c == 0 ? Qt::AlignLeft : Qt::AlignHCenter) << name << c;
    }
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection) << name;
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows) << name;
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers) << name;
    EXPECT_FALSE(list->rootIsDecorated()) << name;
    EXPECT_EQ(testing::RowCount(list), 0) << name;
  }
}

TEST_F(MainFormTest, ShowingTheWindowLocksTheDeviceTab) {
  const char* locked[] = {"BitBtnUploadAll", "BitBtnUpload", "BitBtnRefersh",
                          "BitBtnSave",      "ListViewMCU",  "BitBtnExport"};
  for (const char* name : locked) EXPECT_TRUE(Enabled(name)) << name << " before the showing";
  EXPECT_FALSE(Enabled("BitBtnConnect"));
  EXPECT_FALSE(Enabled("EditInput"));
  EXPECT_FALSE(Enabled("EditOutput"));

  // Opened and logged in before the showing.
  ASSERT_TRUE(form_.Link().OpenFirstDevice());
  ASSERT_EQ(device::LogIn(form_.Link(), QStringLiteral("9174"), {}), device::LoginOutcome::Accepted);
  form_.show();

  for (const char* name : locked) EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_FALSE(form_.Link().LoggedIn());
  EXPECT_FALSE(form_.Link().DeviceOpen());
  EXPECT_EQ(Caption("BitBtnConnect"), "USB未连接");
  EXPECT_FALSE(Enabled("BitBtnConnect"));
  // What the window does not lock on showing stays as designed.
  for (const char* name : {"ButtonExit", "EditFileList", "BitBtn3", "BitBtnPlayStart", "BitBtn4",
                           "BitBtn5", "TrackBar1"}) {
    EXPECT_TRUE(Enabled(name)) << name;
  }
  form_.hide();
}

TEST_F(MainFormTest, BothTimersTickEvery800Milliseconds) {
  for (const char* name : {"TimerUSBConnect", "TimerPlayer"}) {
    auto* timer = form_.findChild<QTimer*>(QString::fromLatin1(name));
    ASSERT_NE(timer, nullptr) << name;
    EXPECT_EQ(timer->interval(), 800) << name;
    EXPECT_TRUE(timer->isActive()) << name;
  }
}

TEST_F(MainFormTest, ClosingWithoutEverOpeningTheTelephoneLeavesTheLibraryAlone) {
  form_.show();
  Find<QPushButton>("ButtonExit")->click();
  EXPECT_FALSE(form_.isVisible());
  EXPECT_TRUE(library_.CallsBesidesCount().empty());
}

TEST_F(MainFormTest, ClosingAfterAnOpenFlushesThenClosesThatHandle) {
  form_.show();
  ASSERT_TRUE(form_.Link().OpenFirstDevice());
  const usb::DeviceHandle handle = form_.Link().DeviceHandle();
  library_.ClearCalls();
  form_.close();  // the title bar's close runs the same handler as the exit button
  EXPECT_EQ(library_.CallsBesidesCount(),
            (std::vector<LibraryCall>{{LibraryCall::Op::Flush, handle},
                                      {LibraryCall::Op::Close, handle}}));
}

TEST_F(MainFormTest, TheSharedGuardsRefusePlaybackFirstThenConversion) {
  EXPECT_TRUE(form_.SharedGuardsPass());
  EXPECT_TRUE(messages_.Messages().empty());

  testing::StateOf(form_).ConvertAllRunning = true;
  testing::StateOf(form_).PlayState = PlayState::Paused;
  EXPECT_FALSE(form_.SharedGuardsPass());
  testing::StateOf(form_).PlayState = PlayState::Playing;
  EXPECT_FALSE(form_.SharedGuardsPass());
  testing::StateOf(form_).PlayState = PlayState::Stopped;
  EXPECT_FALSE(form_.SharedGuardsPass());
  testing::StateOf(form_).ConvertAllRunning = false;
  testing::StateOf(form_).ConvertSelectedRunning = true;
  EXPECT_FALSE(form_.SharedGuardsPass());

  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"请先停止播放！", "请先停止播放！",
                                                     "请先停止转换！", "请先停止转换！"}));
  for (const auto& m : messages_.Messages()) {
    EXPECT_EQ(m.caption, "Waring");
    EXPECT_EQ(m.icon, shell::MessageIcon::Warning);
  }
}

TEST_F(MainFormTest, TheRootFolderChosenAnywhereReadsAsOneSlash) {
  folders_.answer = QStringLiteral("/");
  form_.BitBtnSaveClick();
  form_.BitBtn3Click();
  form_.BitBtnOutputClick();
  EXPECT_EQ(Find<QLineEdit>("EditSave")->text(), "/");
  EXPECT_EQ(Find<QLineEdit>("EditInput")->text(), "/");
  EXPECT_EQ(Find<QLineEdit>("EditOutput")->text(), "/");
  folders_.answer = QStringLiteral("/srv/calls");
  form_.BitBtnSaveClick();
  EXPECT_EQ(Find<QLineEdit>("EditSave")->text(), "/srv/calls/");
}

TEST(InitialSaveFolder, IsTheCallFolderInTheHomeFolderWithOneTrailingSlash) {
  const QByteArray saved = qgetenv("HOME");
  qputenv("HOME", "/home/desk");
  EXPECT_EQ(InitialSaveFolder(), "/home/desk/通话录音/");
  qputenv("HOME", "/home/desk/");
  EXPECT_EQ(InitialSaveFolder(), "/home/desk/通话录音/");
  qputenv("HOME", "/");
  EXPECT_EQ(InitialSaveFolder(), "/通话录音/");
  qputenv("HOME", saved);
}

// A bar left where it was when the count ran past its estimate looks like a
// hung job; an empty range would spin as a busy bar for good.
TEST(ProgressBar, RunsFromEmptyToFullWhateverTheCountSays) {
  QProgressBar bar;
  SetProgressBar(&bar, 40, 100);
  EXPECT_EQ(bar.value(), 40);
  SetProgressBar(&bar, 130, 100);
  EXPECT_EQ(bar.value(), bar.maximum());
  SetProgressBar(&bar, 0, 0);
  EXPECT_GT(bar.maximum(), bar.minimum());
  EXPECT_EQ(bar.value(), 0);
  SetProgressBar(&bar, 3000000000u, 4000000000u);
  EXPECT_NEAR(double(bar.value()) / bar.maximum(), 0.75, 0.001) << "counts past an int keep their share";
}

}  // namespace
}  // namespace parlomax::app
