// The PC tab's conversion to WAV driven as a user drives it, with the real
// decoder program.
#include "ListRows.h"
#include "QtPrinters.h"
#include "SpxFiles.h"
#include "TempFolder.h"
#include "ThreadsNamed.h"
#include "WindowStateSeam.h"
#include "WindowWithTelephone.h"
#include "platform/shell/PrivateWorkingDirectory.h"

#include <QLabel>
#include <QLineEdit>

#include <sys/stat.h>

namespace parlomax::app {
namespace {

class ConversionTabTest : public testing::WindowWithTelephone {
 protected:
  ConversionTabTest() : WindowWithTelephone({}, PARLOMAX_DECODER_PROGRAM) {
    for (int i = 0; i < 3; ++i) {
      testing::WriteSpx(input_ / ("0317143" + std::to_string(i) + "_000" + std::to_string(i + 1) + ".spx"),
                        testing::TonePayload(3000 + 20000 * i, 440), i + 1);
    }
    folders_.answer = QString::fromStdString(input_.Path().string());
    Button("BitBtn3")->click();
    EXPECT_TRUE(testing::WaitForFolderListing(form_));
  }
  ~ConversionTabTest() override {
    // A job still running is let go of before the window goes.
    testing::StateOf(form_).ConvertSelectedRunning = false;
    testing::StateOf(form_).ConvertAllRunning = false;
    testing::PumpUntilConversionJobsEnded();
  }

  void ChooseOutput() {
    folders_.answer = QString::fromStdString(output_.Path().string());
    form_.BitBtnOutputClick();
  }
  QTreeView* Files() { return form_.findChild<QTreeView*>("ListViewFile"); }
  bool WaitForTheJob() {
    return testing::PumpUntilConversionJobsEnded(20000);
  }
  // The controls a running job keeps out of reach, enabled or not.
  std::vector<bool> Reachable(const char* otherJob) {
    std::vector<bool> on;
    for (const char* name : {"BitBtnPlayStart", "BitBtnPlayPause", "BitBtnPlayStop", "BitBtn1", "BitBtn2",
                             "BitBtn3", "BitBtnOutput", otherJob}) {
      on.push_back(Button(name)->isEnabled());
    }
    return on;
  }
  std::size_t WavFiles() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(output_.Path()), {}));
  }

  shell::PrivateWorkingDirectory work_{std::filesystem::temp_directory_path()};
  testing::TempFolder input_, output_;
};

TEST_F(ConversionTabTest, EachButtonChecksPlaybackTheOutputFolderAndTheSelectionFirst) {
  testing::StateOf(form_).PlayState = PlayState::Paused;
  form_.BitBtn4Click();
  testing::StateOf(form_).PlayState = PlayState::Stopped;
  // With neither an output folder nor a folder to convert from.
  auto* input = form_.findChild<QLineEdit*>("EditInput");
  const QString listed = input->text();
  input->clear();
  form_.BitBtn5Click();
  input->setText(listed);
  folders_.answer.reset();
  form_.BitBtnOutputClick();  // cancelled: still no folder
  Files()->clearSelection();
  ChooseOutput();
  form_.BitBtn4Click();
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"请先停止播放文件！", "请选择转换的输出目录！",
                                                     "请选择需要转换的文件！"}));
  EXPECT_EQ(form_.findChild<QLineEdit*>("EditOutput")->text(), QString::fromStdString(output_.Path().string()));
  EXPECT_EQ(folders_.prompts.back(), "请选择目录:");
  EXPECT_EQ(testing::ConversionJobThreads(), 0u);
}

TEST_F(ConversionTabTest, ConvertingTheSelectionLocksThePlayerAndEndsByShowingTheFolder) {
  ChooseOutput();
  testing::SelectRow(Files(), 1);
  form_.BitBtn4Click();
  EXPECT_TRUE(testing::StateOf(form_).ConvertSelectedRunning);
  EXPECT_EQ(Button("BitBtn4")->text(), "停止转换");
  EXPECT_EQ(Reachable("BitBtn5"), std::vector<bool>(8, false));
  form_.TimerPlayerTimer();  // the refresh gives nothing back while a job runs
  EXPECT_FALSE(Button("BitBtnPlayStart")->isEnabled());

  ASSERT_TRUE(WaitForTheJob());
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"转换选择文件成功！"});
  EXPECT_EQ(WavFiles(), 1u);
  EXPECT_TRUE(
      std::filesystem::exists(output_ / (testing::CellText(Files(), 1, 1).toStdString() + ".wav")));
  EXPECT_EQ(browser_.shown, std::vector<QString>{QString::fromStdString(output_.Path().string())});
  EXPECT_FALSE(testing::StateOf(form_).ConvertSelectedRunning);
  EXPECT_EQ(Button("BitBtn4")->text(), "转换选择");
  EXPECT_TRUE(form_.findChild<QLabel*>("Label10")->text().isEmpty());
  EXPECT_EQ(Reachable("BitBtn5"), std::vector<bool>(8, true));
}

// Until an output folder is chosen, the WAV files go beside the recordings;
// the closing message says where and offers to open it, and a folder the
// user opened from it is not opened again.
TEST_F(ConversionTabTest, WithNoOutputFolderChosenTheWavFilesGoBesideTheRecordings) {
  const QString inputText = QString::fromStdString(input_.Path().string());
  for (const bool openedFromTheBox : {false, true}) {
    SCOPED_TRACE(openedFromTheBox);
    messages_.Clear();
    messages_.OpenFoldersOffered(openedFromTheBox);
    browser_.shown.clear();
    Files()->clearSelection();
    testing::SelectRow(Files(), 2);
    form_.BitBtn4Click();
    ASSERT_TRUE(WaitForTheJob());
    ASSERT_TRUE(testing::PumpUntil([&] { return Button("BitBtn4")->text() == "转换选择"; }));
    EXPECT_TRUE(std::filesystem::exists(input_ /
                                        (testing::CellText(Files(), 2, 1).toStdString() + ".wav")));
    EXPECT_EQ(WavFiles(), 0u);
    EXPECT_TRUE(form_.findChild<QLineEdit*>("EditOutput")->text().isEmpty());
    const auto said = messages_.Messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].text, "转换选择文件成功！");
    EXPECT_EQ(said[0].caption, "Waring");
    EXPECT_EQ(said[0].place, inputText);
    EXPECT_EQ(said[0].folder, inputText);
    EXPECT_EQ(browser_.shown,
              openedFromTheBox ? std::vector<QString>{} : std::vector<QString>{inputText});
  }
}

TEST_F(ConversionTabTest, ConvertAllClearsTheSelectionAndASecondClickCancels) {
  ChooseOutput();
  testing::SelectRow(Files(), 0);
  form_.BitBtn5Click();
  EXPECT_FALSE(Files()->selectionModel()->hasSelection());
  EXPECT_EQ(Button("BitBtn5")->text(), "停止转换");
  EXPECT_FALSE(Button("BitBtn4")->isEnabled());
  form_.BitBtn5Click();  // cancel
  EXPECT_FALSE(testing::StateOf(form_).ConvertAllRunning);
  ASSERT_TRUE(WaitForTheJob());
  EXPECT_EQ(Button("BitBtn5")->text(), "转换全部");
  EXPECT_TRUE(Button("BitBtn4")->isEnabled());
  EXPECT_TRUE(messages_.Texts().empty());
  EXPECT_TRUE(browser_.shown.empty());
  EXPECT_LT(WavFiles(), 3u);
}

TEST_F(ConversionTabTest, APipeByAListedRecordingsNameStopsConvertAllAsAFileThatCannotBeOpened) {
  // The second row's file becomes a pipe after the listing, and both happen
  // before the folder's watch would take the row away.
  const auto second = input_ / testing::CellText(Files(), 1, 1).toStdString();
  std::filesystem::remove(second);
  ASSERT_EQ(::mkfifo(second.c_str(), 0600), 0);
  // Playing its row is refused as a file that cannot be opened, and the
  // window is not held up.
  Files()->clearSelection();
  testing::SelectRow(Files(), 1);
  form_.BitBtnPlayStartClick();
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"open input spx file error!"});
  EXPECT_EQ(testing::StateOf(form_).PlayState, PlayState::Stopped);
  messages_.Clear();
  ChooseOutput();
  form_.BitBtn5Click();
  ASSERT_TRUE(WaitForTheJob()) << "the job waits on the pipe";
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"打开文件失败！"});
  EXPECT_FALSE(testing::StateOf(form_).ConvertAllRunning);
  EXPECT_EQ(Button("BitBtn5")->text(), "转换全部");
  EXPECT_TRUE(Button("BitBtn4")->isEnabled());
  EXPECT_TRUE(browser_.shown.empty());
}

TEST_F(ConversionTabTest, ConvertSelectedTakesTheSelectedRowsShownAndConvertAllEveryFile) {
  ChooseOutput();
  auto* find = form_.findChild<QLineEdit*>("EditFind");
  find->setText(QStringLiteral("_0002"));
  ASSERT_EQ(testing::RowCount(Files()), 1);
  Files()->selectAll();
  form_.BitBtn4Click();
  ASSERT_TRUE(WaitForTheJob());
  EXPECT_EQ(WavFiles(), 1u);
  EXPECT_TRUE(std::filesystem::exists(output_ / "03171431_0002.spx.wav"));
  form_.BitBtn5Click();
  ASSERT_TRUE(WaitForTheJob());
  EXPECT_EQ(WavFiles(), 3u);
}

TEST_F(ConversionTabTest, ConvertAllWaitsUntilTheFolderIsReadThenConvertsEveryFileOfIt) {
  testing::TempFolder other;
  for (int i = 0; i < 3; ++i) {
    testing::WriteSpx(
        other / ("0318090" + std::to_string(i) + "_000" + std::to_string(i + 1) + ".spx"),
        testing::TonePayload(3000, 440), i + 1);
  }
  ChooseOutput();
  folders_.answer = QString::fromStdString(other.Path().string());
  Button("BitBtn3")->click();
  // Clicked before the folder's rows have come in: "all" is not known yet.
  form_.BitBtn5Click();
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"目录还在读取中，请稍候再转换全部文件。"});
  EXPECT_FALSE(testing::StateOf(form_).ConvertAllRunning);
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  form_.BitBtn5Click();
  ASSERT_TRUE(WaitForTheJob());
  EXPECT_EQ(WavFiles(), 3u);
}

}  // namespace
}  // namespace parlomax::app
