// The copy buttons driven as a user does, with the jobs on their threads.
#include "BeingWritten.h"
#include "ChildProcess.h"
#include "ListRows.h"
#include "QtPrinters.h"
#include "TempFolder.h"
#include "ThreadsNamed.h"
#include "WindowStateSeam.h"
#include "WindowWithTelephone.h"
#include "catalogue/RecordingTexts.h"
#include "platform/files/WriteFaults.h"
#include "transfer/FolderLock.h"
#include "transfer/LedgerLine.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

namespace parlomax::app {
namespace {

using phone::LibraryCall;
using testing::PumpUntil;
using Controls = std::vector<std::string>;

std::vector<phone::Recording> EightRecordings() {
  std::vector<phone::Recording> recordings;
  for (unsigned i = 0; i < 8; ++i) recordings.push_back(testing::MakeRecording(600 + 100 * i, i));
  return recordings;
}

const Controls kAllOn{"BitBtnRefersh", "BitBtnExport", "BitBtnUpload", "BitBtnUploadAll",
                      "BitBtnSave",    "ListViewMCU",  "BitBtnConnect"};

class TransferTabTest : public testing::WindowWithTelephone {
 protected:
  TransferTabTest() : WindowWithTelephone(EightRecordings()) {
    folders_.answer = QString::fromStdString(folder_.Path().string());
    Button("BitBtnSave")->setEnabled(true);
  }
  void ChooseSaveFolder() { Button("BitBtnSave")->click(); }
  bool PcTabEnabled() {
    auto* pages = form_.findChild<QTabWidget*>("PageControl1");
    return pages->isTabEnabled(1);
  }
  void SelectRows(std::initializer_list<int> rows) {
    List()->clearSelection();
    for (int r : rows) testing::SelectRow(List(), r);
  }
  // Logged in, listed, and the all-recordings job under way at a telephone
  // slow enough to be caught in the middle: its first file is begun.
  bool StartASlowCopyOfAll() {
    LogInAndList();
    ChooseSaveFolder();
    library_.SlowReadsBy(std::chrono::milliseconds(20));
    Button("BitBtnUploadAll")->click();
    return PumpUntil([&] { return std::filesystem::exists(FileOf(0)); });
  }
  bool WaitForJobsToEnd() {
    return testing::PumpUntilCopyJobsEnded(20000);
  }
  std::string FileOf(std::uint16_t index) {
    return (folder_ / catalogue::RecordingFileName(library_.Model().Header(index), index + 1u)
                          .toStdString())
        .string();
  }

  testing::TempFolder folder_;
};

TEST_F(TransferTabTest, ChoosingTheSaveFolderEndsItWithASlash) {
  ChooseSaveFolder();
  auto* edit = form_.findChild<QLineEdit*>("EditSave");
  EXPECT_EQ(edit->text(), QString::fromStdString(folder_.Path().string()) + "/");
  EXPECT_EQ(folders_.prompts, std::vector<QString>{"请选择目录:"});
  folders_.answer.reset();
  ChooseSaveFolder();  // cancelled
  EXPECT_EQ(edit->text(), QString::fromStdString(folder_.Path().string()) + "/");
}

TEST_F(TransferTabTest, TheAllJobSwitchesTheTabWhileItRunsAndSaysUploadedAllAtItsEnd) {
  LogInAndList();
  ChooseSaveFolder();
  library_.SlowReadsBy(std::chrono::milliseconds(5));
  Button("BitBtnUploadAll")->click();
  EXPECT_TRUE(testing::StateOf(form_).UploadAllRunning);
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "取消上传");
  EXPECT_EQ(EnabledDeviceControls(), (Controls{"BitBtnUploadAll", "ListViewMCU", "BitBtnConnect"}));
  EXPECT_FALSE(PcTabEnabled());
  // The watch does not hand the list button back while the job runs.
  form_.TimerUSBConnectTimer();
  EXPECT_FALSE(Button("BitBtnRefersh")->isEnabled());

  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传所有");
  EXPECT_EQ(EnabledDeviceControls(), kAllOn);
  EXPECT_TRUE(PcTabEnabled());
  EXPECT_FALSE(testing::StateOf(form_).UploadAllRunning);
  EXPECT_EQ(Bar("ProgressBarUpload")->value(), 0);
  EXPECT_EQ(form_.findChild<QLabel*>("LabelUpload")->text(), "上传进度");
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"全部文件上传结束"});
  for (std::uint16_t i = 0; i < 8; ++i) EXPECT_TRUE(std::filesystem::exists(FileOf(i))) << i;
}

TEST_F(TransferTabTest, StoppingTheAllJobGivesTheTabBackAtOnce) {
  ASSERT_TRUE(StartASlowCopyOfAll());
  Button("BitBtnUploadAll")->click();
  EXPECT_FALSE(testing::StateOf(form_).UploadAllRunning);
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_EQ(EnabledDeviceControls(), kAllOn);
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_TRUE(messages_.Texts().empty());
  EXPECT_FALSE(std::filesystem::exists(FileOf(7)));
}

TEST_F(TransferTabTest, TheSelectedJobLocksTheListAndCopiesTheRowsRecordings) {
  LogInAndList();
  ChooseSaveFolder();
  SelectRows({2, 6});
  library_.SlowReadsBy(std::chrono::milliseconds(5));
  Button("BitBtnUpload")->click();
  EXPECT_EQ(Button("BitBtnUpload")->text(), "取消上传");
  EXPECT_EQ(EnabledDeviceControls(), (Controls{"BitBtnUpload", "BitBtnConnect"}));
  EXPECT_FALSE(PcTabEnabled());
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(Button("BitBtnUpload")->text(), "上传选择");
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_EQ(EnabledDeviceControls(), kAllOn);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"所选择的文件上传结束"});
  EXPECT_TRUE(std::filesystem::exists(FileOf(2)));
  EXPECT_TRUE(std::filesystem::exists(FileOf(6)));
  // The two recordings, the ledger's folder and SHA256SUMS.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 2 + 2);
}

TEST_F(TransferTabTest, ARowAfterAGapStillCopiesItsOwnRecording) {
  form_.TimerUSBConnectTimer();
  // Reads while listing: the PIN, the count, headers 0..2; header 3 fails.
  library_.FailReadAfter(5);
  Refresh();
  ASSERT_EQ(testing::CellText(List(), 3, 0), "5");
  ChooseSaveFolder();
  messages_.Clear();
  SelectRows({3});
  Button("BitBtnUpload")->click();
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_TRUE(std::filesystem::exists(FileOf(4)));
  EXPECT_FALSE(std::filesystem::exists(FileOf(3)));
}

TEST_F(TransferTabTest, NothingStartsWithoutALoginASelectionOrWhilePlaying) {
  form_.TimerUSBConnectTimer();
  Button("BitBtnUploadAll")->setEnabled(true);
  Button("BitBtnUploadAll")->click();  // not logged in: silently nothing
  EXPECT_FALSE(testing::StateOf(form_).UploadAllRunning);
  Refresh();
  List()->clearSelection();
  Button("BitBtnUpload")->click();  // no row selected
  EXPECT_FALSE(testing::StateOf(form_).UploadSelectedRunning);
  testing::StateOf(form_).PlayState = PlayState::Playing;
  Button("BitBtnUploadAll")->click();
  EXPECT_FALSE(testing::StateOf(form_).UploadAllRunning);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"请先停止播放！"});
  EXPECT_FALSE(testing::CopyJobThreads());
}

TEST_F(TransferTabTest, UnpluggingDuringACopyResetsTheTabAndTheJobEndsAtItsNextCommand) {
  // Only the ticks the test makes: a tick of its own after the job's end
  // would hide what that end does.
  form_.findChild<QTimer*>("TimerUSBConnect")->stop();
  ASSERT_TRUE(StartASlowCopyOfAll());
  library_.Unplug();
  form_.TimerUSBConnectTimer();
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_FALSE(testing::StateOf(form_).UploadAllRunning);
  EXPECT_TRUE(PcTabEnabled());
  ASSERT_TRUE(WaitForJobsToEnd());
  ASSERT_FALSE(messages_.Texts().empty());
  EXPECT_NE(messages_.Texts().back(), "全部文件上传结束");
  // The doomed job's end, landing after the reset and before any further
  // tick, neither hands back the buttons nor calls the cut copy complete.
  EXPECT_EQ(EnabledDeviceControls(), Controls{});
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_TRUE(PcTabEnabled());
}

TEST_F(TransferTabTest, ATelephoneThatCannotSayWhatItHoldsStartsTheTabAfreshAndTheWindowStays) {
  form_.findChild<QTimer*>("TimerUSBConnect")->stop();
  LogInAndList();
  ChooseSaveFolder();
  const usb::DeviceHandle handle = form_.Link().DeviceHandle();
  library_.FailNextRead();  // the count
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(PumpUntil([&] { return !testing::StateOf(form_).UploadAllRunning; }));
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB读数据错误"});
  EXPECT_TRUE(form_.isVisible());
  // As after an unplug: nothing but the connection to look at until the
  // watch sees the telephone again, and the telephone let go.
  EXPECT_EQ(testing::RowCount(List()), 0);
  EXPECT_EQ(EnabledDeviceControls(), Controls{});
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_TRUE(PcTabEnabled());
  const auto calls = library_.CallsBesidesCount();
  EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [&](const auto& c) {
    return c.op == LibraryCall::Op::Close && c.handle == handle;
  }));

  // The telephone is opened anew, the PIN asked again, and copying works.
  messages_.Clear();
  LogInAndList();
  EXPECT_EQ(testing::RowCount(List()), 8);
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"全部文件上传结束"});
}

TEST_F(TransferTabTest, AStoppedJobStillInAnExchangeCannotUndoTheNextJob) {
  LogInAndList();
  ChooseSaveFolder();
  // Slow enough that a loaded machine still clicks twice within one read.
  library_.SlowReadsBy(std::chrono::milliseconds(1500));
  Button("BitBtnUploadAll")->click();
  // The first recording's file is begun: the job now waits in a slow read.
  ASSERT_TRUE(PumpUntil([&] { return !testing::FileBeingWritten(FileOf(0)).empty(); }));
  Button("BitBtnUploadAll")->click();   // stop: the job ends after that read
  SelectRows({0});
  Button("BitBtnUpload")->click();      // a new job, while the old one still reads
  ASSERT_EQ(testing::CopyJobThreads(), 2u);
  // The old job ends first; the tab stays as the running job has it.
  ASSERT_TRUE(testing::PumpUntilThreadsNamed("parlomax-copy", 1));
  EXPECT_EQ(EnabledDeviceControls(), (Controls{"BitBtnUpload", "BitBtnConnect"}));
  EXPECT_EQ(Button("BitBtnUpload")->text(), "取消上传");
  EXPECT_TRUE(testing::StateOf(form_).UploadSelectedRunning);
  EXPECT_FALSE(PcTabEnabled());
  library_.SlowReadsBy(std::chrono::milliseconds(0));
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"所选择的文件上传结束"});
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_EQ(EnabledDeviceControls(), kAllOn);
}

TEST_F(TransferTabTest, AStoppedJobsLastProgressNeverShowsOnTheNextJob) {
  LogInAndList();
  ChooseSaveFolder();
  library_.SlowReadsBy(std::chrono::milliseconds(300));
  Button("BitBtnUploadAll")->click();
  // The first recording's file is begun: the job now waits for its first chunk.
  ASSERT_TRUE(PumpUntil([&] { return !testing::FileBeingWritten(FileOf(0)).empty(); }));
  Button("BitBtnUploadAll")->click();
  SelectRows({5});
  Button("BitBtnUpload")->click();
  // The stopped job has had its chunk and reported it; the new job is still
  // waiting for its recording's header.
  ASSERT_TRUE(testing::PumpUntilThreadsNamed("parlomax-copy", 1));
  EXPECT_EQ(Bar("ProgressBarUploadPacket")->value(), 0);
  EXPECT_NE(Bar("ProgressBarUpload")->maximum(), 8);
  EXPECT_FALSE(form_.findChild<QLabel*>("LabelUpload")->text().startsWith("上传进度：正在上传第"));
  library_.SlowReadsBy(std::chrono::milliseconds(0));
  ASSERT_TRUE(WaitForJobsToEnd());
}

TEST_F(TransferTabTest, AFullDiskIsSaidOnceAndEndsTheJobAsAStopDoes) {
  LogInAndList();
  ChooseSaveFolder();
  // Every file before the fourth fits, with its line in the ledger.
  std::uint64_t fits = 0;
  for (std::uint16_t i = 0; i < 3; ++i) {
    const std::uint64_t size = 19 + library_.Model().Payload(i).size();
    const auto record = transfer::RecordOfCopy(std::filesystem::path(FileOf(i)).filename(), library_.Model().Header(i), size, {}, {});
    fits += size + transfer::LedgerLineText(record, std::string(64, '0')).size() + 1;
  }
  files::FailWritesAfter(fits + 100, ENOSPC);
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(WaitForJobsToEnd());
  files::StopFailingWrites();
  ASSERT_EQ(messages_.Messages().size(), 1u);
  const auto box = messages_.Messages()[0];
  EXPECT_EQ(box.caption, "Waring");
  EXPECT_EQ(box.icon, shell::MessageIcon::Warning);
  EXPECT_EQ(box.text, QStringLiteral("写入 %1 失败：磁盘空间不足").arg(QString::fromStdString(FileOf(3))));
  // Ended as a stop ends: the tab back, the button as a stop leaves it.
  EXPECT_EQ(EnabledDeviceControls(), kAllOn);
  EXPECT_EQ(Button("BitBtnUploadAll")->text(), "上传全部");
  EXPECT_FALSE(testing::StateOf(form_).UploadAllRunning);
  EXPECT_EQ(Bar("ProgressBarUpload")->value(), 0);
  for (std::uint16_t i = 0; i < 3; ++i) EXPECT_TRUE(std::filesystem::exists(FileOf(i)));
  EXPECT_FALSE(std::filesystem::exists(FileOf(4))) << "the next recording was tried";
}

TEST_F(TransferTabTest, ClosingTheWindowStopsAJobAndReleasesTheTelephone) {
  ASSERT_TRUE(StartASlowCopyOfAll());
  const usb::DeviceHandle handle = form_.Link().DeviceHandle();
  Button("ButtonExit")->click();
  ASSERT_TRUE(WaitForJobsToEnd());
  const auto calls = library_.CallsBesidesCount();
  EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [&](const LibraryCall& c) {
    return c.op == LibraryCall::Op::Close && c.handle == handle;
  }));
  EXPECT_FALSE(std::filesystem::exists(FileOf(7)));
}

TEST_F(TransferTabTest, SelectedMeansTheRowsChosenWhateverTheOrderAndTheFindBarShowAllMeansAll) {
  LogInAndList();
  ChooseSaveFolder();
  const auto copied = [&] {
    std::vector<std::uint16_t> found;
    for (std::uint16_t i = 0; i < 8; ++i) {
      if (std::filesystem::exists(FileOf(i))) found.push_back(i);
    }
    std::filesystem::remove_all(folder_.Path());
    std::filesystem::create_directory(folder_.Path());
    return found;
  };
  // Longest first: the two rows on top are the last two recordings.
  List()->sortByColumn(5, Qt::DescendingOrder);
  SelectRows({0, 1});
  Button("BitBtnUpload")->click();
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(copied(), (std::vector<std::uint16_t>{6, 7}));

  // Narrowed to one row, Ctrl+A takes that row alone; "all" still is all.
  List()->setFocus();
  QKeyEvent typed(QEvent::KeyPress, Qt::Key_Underscore, Qt::NoModifier, QStringLiteral("_"));
  QApplication::sendEvent(List(), &typed);
  auto* find = form_.findChild<QLineEdit*>("EditFindMCU");
  ASSERT_TRUE(find->isVisible());
  find->insert(QStringLiteral("0003"));
  ASSERT_EQ(testing::RowCount(List()), 1);
  List()->selectAll();
  Button("BitBtnUpload")->click();
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(copied(), std::vector<std::uint16_t>{2});
  Button("BitBtnUploadAll")->click();
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(copied().size(), 8u);
}

TEST_F(TransferTabTest, CallsAlreadySafeAreGreyAndAllAsksOnceWhetherToCopyOnlyTheNewOnes) {
  LogInAndList();
  ChooseSaveFolder();
  SelectRows({0, 1, 2});
  Button("BitBtnUpload")->click();
  ASSERT_TRUE(WaitForJobsToEnd());
  // One of them is cut since: it is not safe, and is copied again.
  std::filesystem::resize_file(FileOf(2), 40);
  const auto tip = [&](int row) {
    return List()->model()->index(row, 3).data(Qt::ToolTipRole).toString();
  };
  LogInAndList();
  ASSERT_TRUE(PumpUntil([&] { return !tip(0).isEmpty(); }));
  EXPECT_EQ(tip(0), QStringLiteral("已复制到 ") + QString::fromStdString(FileOf(0)));
  EXPECT_EQ(tip(1), QStringLiteral("已复制到 ") + QString::fromStdString(FileOf(1)));
  EXPECT_TRUE(tip(2).isEmpty());
  const auto stamp = [](const std::string& file) {
    return std::pair{std::filesystem::last_write_time(file), std::filesystem::file_size(file)};
  };
  const std::string first = FileOf(0);
  const auto before = std::pair{stamp(first), stamp(FileOf(1))};
  // Since the list was read, a new call took the first recording's place.
  auto fields = catalogue::DecodeRecordingHeader(library_.Model().Header(0));
  fields.minute = (fields.minute + 1) % 60;
  library_.Model().SetHeader(0, catalogue::EncodeRecordingHeader(fields));
  ASSERT_NE(FileOf(0), first);

  messages_.Clear();
  Button("BitBtnUploadAll")->click();  // answered Yes
  ASSERT_TRUE(WaitForJobsToEnd());
  EXPECT_EQ(messages_.Texts(),
            (std::vector<QString>{QStringLiteral("有 2 个录音已经复制过，只复制新的吗？"),
                                  QStringLiteral("全部文件上传结束")}));
  EXPECT_EQ(std::pair(stamp(first), stamp(FileOf(1))), before);
  EXPECT_TRUE(std::filesystem::exists(FileOf(0)));
  for (std::uint16_t i = 2; i < 8; ++i) EXPECT_TRUE(std::filesystem::exists(FileOf(i))) << i;
  EXPECT_EQ(std::filesystem::file_size(FileOf(2)), catalogue::kRecordingHeaderSize + 800u);
  ASSERT_TRUE(PumpUntil([&] { return !tip(7).isEmpty(); }));
}

TEST_F(TransferTabTest, AFolderAnotherCopyIsFillingIsLeftAloneAndTheButtonsComeBack) {
  LogInAndList();
  ChooseSaveFolder();
  // Another program holds the folder's lock (as the copy on plug-in would).
  const auto corner = transfer::FolderLock::CornerOf(folder_.Path());
  std::filesystem::create_directory(corner);
  const std::string said = (corner / "said").string();
  testing::ChildProcess other(
      {"/usr/bin/flock", "-o", (corner / "lock").string(), "-c", "echo held; exec sleep 60"},
      {.environmentChanges = {}, .output = said});
  ASSERT_TRUE(PumpUntil(
      [&] { return std::filesystem::exists(said) && std::filesystem::file_size(said) > 0; }));
  for (const char* button : {"BitBtnUploadAll", "BitBtnUpload"}) {
    messages_.Clear();
    SelectRows({0});
    Button(button)->click();
    ASSERT_TRUE(WaitForJobsToEnd()) << button;
    ASSERT_EQ(messages_.Texts().size(), 1u) << button;
    EXPECT_TRUE(messages_.Texts()[0].contains(QStringLiteral("同一个目录一次只能有一个复制")))
        << button;
    EXPECT_EQ(EnabledDeviceControls(), kAllOn) << button;
    EXPECT_FALSE(std::filesystem::exists(FileOf(0))) << button;
  }
}

}  // namespace
}  // namespace parlomax::app
