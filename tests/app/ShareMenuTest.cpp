// The PC list's right-click menu and its drag, driven as a user drives
// them, with the real decoder program.
#include "FileBytes.h"
#include "ListRows.h"
#include "QtPrinters.h"
#include "SharedFileDecoding.h"
#include "SpxFiles.h"
#include "TempFolder.h"
#include "WindowStateSeam.h"
#include "WindowWithTelephone.h"
#include "platform/files/SystemReason.h"
#include "platform/files/WriteFaults.h"
#include "platform/shell/PrivateWorkingDirectory.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>

#include <cerrno>

namespace parlomax::app {
namespace {

namespace fs = std::filesystem;

class ShareMenuTest : public testing::WindowWithTelephone {
 protected:
  ShareMenuTest() : WindowWithTelephone({}, PARLOMAX_DECODER_PROGRAM) {
    for (int i = 0; i < 3; ++i) {
      testing::WriteSpx(
          input_ / ("0317143" + std::to_string(i) + "_000" + std::to_string(i + 1) + ".spx"),
          testing::VoicePayload(2000 + 3000 * i), i + 1);
    }
    folders_.answer = QString::fromStdString(input_.Path().string());
    Button("BitBtn3")->click();
    EXPECT_TRUE(testing::WaitForFolderListing(form_));
  }
  ~ShareMenuTest() override { files::StopFailingWrites(); }

  QTreeView* Files() { return form_.findChild<QTreeView*>("ListViewFile"); }
  // The menu a right-click on the first row opens, and its item `index` chosen.
  void ChooseFromMenu(int index) {
    const QPoint row = Files()->visualRect(Files()->model()->index(0, 0)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, row, Files()->viewport()->mapToGlobal(row));
    QApplication::sendEvent(Files()->viewport(), &click);
    auto* menu = Files()->findChild<QMenu*>("ShareMenu");
    ASSERT_NE(menu, nullptr);
    menu->actions().at(index)->trigger();
    menu->close();
    delete menu;
  }
  bool WaitForTheJob() {
    return testing::PumpUntil([&] { return !form_.Share().Running(); }, 20000);
  }
  std::vector<std::string> Made() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(output_.Path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  shell::PrivateWorkingDirectory work_{fs::temp_directory_path()};
  testing::TempFolder input_, output_;
};

// One row: a name asked for, proposed from the recording's; several: a
// folder, each under its recording's name. Either way what a player reads.
TEST_F(ShareMenuTest, OneRowGoesUnderTheNameChosenSeveralIntoTheFolderChosen) {
  testing::SelectRow(Files(), 0);
  folders_.fileAnswer = QString::fromStdString((output_ / "for-the-lawyer.mp3").string());
  ChooseFromMenu(0);
  ASSERT_TRUE(WaitForTheJob());
  ASSERT_EQ(folders_.proposedFiles.size(), 1u);
  EXPECT_TRUE(folders_.proposedFiles[0].endsWith("/03171430_0001.mp3"))
      << folders_.proposedFiles[0].toStdString();
  EXPECT_TRUE(testing::DecodeMp3(output_ / "for-the-lawyer.mp3").samples.size() > 2000u * 8 - 1200);

  Files()->selectAll();
  folders_.answer = QString::fromStdString(output_.Path().string());
  ChooseFromMenu(1);
  ASSERT_TRUE(WaitForTheJob());
  EXPECT_EQ(Made(), (std::vector<std::string>{"03171430_0001.opus", "03171431_0002.opus",
                                              "03171432_0003.opus", "for-the-lawyer.mp3"}));
  EXPECT_TRUE(testing::DecodeOpus(output_ / "03171432_0003.opus").opened);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{});
  EXPECT_TRUE(Button("BitBtn4")->isEnabled());
}

// Nothing is asked, nor written, while something plays or converts, without
// a selection, or when the dialog is cancelled; a disk that fills says so
// and leaves nothing.
TEST_F(ShareMenuTest, RefusesWhatItMustAndSaysAFailedWrite) {
  testing::StateOf(form_).PlayState = PlayState::Paused;
  testing::SelectRow(Files(), 0);
  form_.Share().SaveSelectedAs(audio::ShareFormat::Mp3);
  testing::StateOf(form_).PlayState = PlayState::Stopped;
  testing::StateOf(form_).ConvertAllRunning = true;
  form_.Share().SaveSelectedAs(audio::ShareFormat::Opus);
  testing::StateOf(form_).ConvertAllRunning = false;
  Files()->clearSelection();
  form_.Share().SaveSelectedAs(audio::ShareFormat::Opus);
  EXPECT_TRUE(folders_.proposedFiles.empty());
  testing::SelectRow(Files(), 1);
  form_.Share().SaveSelectedAs(audio::ShareFormat::Opus);  // the dialog cancelled
  EXPECT_FALSE(form_.Share().Running());

  const fs::path target = output_ / "call.opus";
  folders_.fileAnswer = QString::fromStdString(target.string());
  files::FailWritesAfter(500, ENOSPC);
  form_.Share().SaveSelectedAs(audio::ShareFormat::Opus);
  ASSERT_TRUE(WaitForTheJob());
  EXPECT_EQ(messages_.Texts(),
            (std::vector<QString>{"请先停止播放！", "请先停止转换！", "请选择需要转换的文件！",
                                  files::WriteFailedText(target, ENOSPC)}));
  EXPECT_EQ(Made(), std::vector<std::string>{});
}

// A drag gives WAV files of the rows' whole sound in the folder it is
// given, private; a drag longer than a drag takes gives nothing.
TEST_F(ShareMenuTest, ADragGivesTheRowsWavFilesUpToItsLimit) {
  const std::vector<fs::path> spx{input_ / "03171430_0001.spx", input_ / "03171432_0003.spx"};
  const audio::ExternalDecoder decoder(PARLOMAX_DECODER_PROGRAM);
  QString problem;
  std::unique_ptr<QMimeData> data(MakeWavDragData(spx, output_ / "dragged", decoder, &problem));
  ASSERT_NE(data, nullptr) << problem.toStdString();
  ASSERT_EQ(data->urls().size(), 2);
  for (const auto& [url, payload] :
       {std::pair{data->urls()[0], 2000u}, std::pair{data->urls()[1], 8000u}}) {
    const fs::path wav = url.toLocalFile().toStdString();
    EXPECT_EQ(wav.parent_path(), output_ / "dragged");
    EXPECT_EQ(fs::file_size(wav), 44u + payload * 16);
    EXPECT_EQ(testing::ModeOf(wav) & 0777, 0600u);
  }

  const fs::path longCall = input_ / "long.spx";
  testing::WriteSpx(longCall, std::vector<std::uint8_t>(kLargestDraggedPayload + 1, 0));
  EXPECT_EQ(MakeWavDragData({longCall}, output_ / "long", decoder, &problem), nullptr);
  EXPECT_FALSE(fs::exists(output_ / "long"));
}

}  // namespace
}  // namespace parlomax::app
