// The PC tab's player driven as a user drives it, with the real decoder
// program and an output that records what it is given, twenty times faster
// than real time.
#include "ListRows.h"
#include "QtPrinters.h"
#include "SpxFiles.h"
#include "TempFolder.h"
#include "ThreadsNamed.h"
#include "WindowStateSeam.h"
#include "WindowWithTelephone.h"
#include "platform/shell/PrivateWorkingDirectory.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include <atomic>
#include <map>
#include <thread>

namespace parlomax::app {
namespace {

class PlaybackTabTest : public testing::WindowWithTelephone {
 protected:
  PlaybackTabTest() : WindowWithTelephone({}, PARLOMAX_DECODER_PROGRAM) {
    sound_.SetSpeed(20);
    const std::vector<std::pair<const char*, std::size_t>> files{
        {kTwelve, 12000}, {kSixty, 60000}, {kThree, 3000}, {kSeven, 7000}};
    for (const auto& [name, bytes] : files) {
      testing::WriteSpx(folder_ / name, testing::TonePayload(bytes, 330 + bytes / 100));
    }
    folders_.answer = QString::fromStdString(folder_.Path().string());
    Button("BitBtn3")->click();
    EXPECT_TRUE(testing::WaitForFolderListing(form_));
    for (int row = 0; row < testing::RowCount(Files()); ++row) {
      rows_[testing::CellText(Files(), row, 1).toStdString()] = row;
    }
    // Focus goes where a user's would only in the active window.
    form_.activateWindow();
    QApplication::setActiveWindow(&form_);
  }
  ~PlaybackTabTest() override { form_.BitBtnPlayStopClick(); }

  QTreeView* Files() { return form_.findChild<QTreeView*>("ListViewFile"); }
  QSlider* Bar() { return form_.findChild<QSlider*>("TrackBar1"); }
  QString Text(const char* label) { return form_.findChild<QLabel*>(label)->text(); }
  PlayState State() { return testing::StateOf(form_).PlayState; }
  // Rows are in the folder's search order: they are found by name.
  void Select(std::initializer_list<const char*> names) {
    Files()->clearSelection();
    for (const char* name : names) testing::SelectRow(Files(), rows_.at(name));
  }
  void SelectRow(int row) {
    Files()->clearSelection();
    testing::SelectRow(Files(), row);
  }
  std::vector<std::string> Selected() {
    std::vector<std::string> names;
    for (int r = 0; r < testing::RowCount(Files()); ++r) {
      if (testing::RowSelected(Files(), r))
        names.push_back(testing::CellText(Files(), r, 1).toStdString());
    }
    return names;
  }
  std::string NameOfRow(int row) { return testing::CellText(Files(), row, 1).toStdString(); }
  std::string Playing() { return std::filesystem::path(form_.Playback().Engine().PlayPath()).filename(); }
  // Play, pause, stop: which of the three are enabled.
  std::vector<bool> PlayButtons() {
    return {Button("BitBtnPlayStart")->isEnabled(), Button("BitBtnPlayPause")->isEnabled(),
            Button("BitBtnPlayStop")->isEnabled()};
  }
  // The user drags the bar's thumb to `value` and lets a key go on it.
  void MoveTheBarTo(int value) {
    Bar()->setFocus();
    ASSERT_TRUE(Bar()->hasFocus());
    Bar()->setSliderPosition(value);
    Bar()->triggerAction(QAbstractSlider::SliderMove);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(Bar(), &release);
  }
  std::uint32_t Elapsed() { return form_.Playback().Engine().ElapsedSeconds(); }
  // The row of `name` is drawn as the one playing: in bold, a "▶" first in its tooltip.
  bool MarkedPlaying(const char* name) {
    const QModelIndex first = Files()->model()->index(rows_.at(name), 0);
    return first.data(Qt::FontRole).value<QFont>().bold() &&
           first.data(Qt::ToolTipRole).toString().startsWith(QStringLiteral("▶"));
  }
  int RowsMarked() {
    int marked = 0;
    for (const auto& [name, row] : rows_) marked += MarkedPlaying(name.c_str()) ? 1 : 0;
    return marked;
  }
  QString CheckedSpeed() {
    for (QAction* action : Bar()->actions()) {
      if (action->isChecked()) return action->text();
    }
    return {};
  }

  static constexpr const char* kTwelve = "03171401_0001.spx";
  static constexpr const char* kSixty = "03171402_0002.spx";
  static constexpr const char* kThree = "03171403_0003.spx";
  static constexpr const char* kSeven = "03171404_0004.spx";

  shell::PrivateWorkingDirectory work_{std::filesystem::temp_directory_path()};
  testing::TempFolder folder_;
  std::map<std::string, int> rows_;
};

const std::vector<bool> kPlaying{false, true, true};
const std::vector<bool> kPaused{true, false, true};
const std::vector<bool> kStopped{true, false, false};

TEST_F(PlaybackTabTest, PlayShowsTheLengthMovesTheBarAndTheRefreshNoticesTheEnd) {
  Select({kSixty});
  Button("BitBtnPlayStart")->click();
  EXPECT_EQ(State(), PlayState::Playing);
  EXPECT_EQ(Bar()->maximum(), 61);
  EXPECT_EQ(Text("Label4"), "00:01:01");
  EXPECT_EQ(PlayButtons(), kPlaying);
  ASSERT_TRUE(testing::PumpUntil([&] { return Bar()->value() >= 3 && Text("Label3") >= "00:00:03"; }));
  form_.TimerPlayerTimer();
  EXPECT_FALSE(Button("BitBtn3")->isEnabled());  // no other folder while playing

  Select({kTwelve});
  form_.BitBtnPlayStartClick();  // the 12-second recording, to its end
  EXPECT_EQ(Text("Label4"), "00:00:13");
  ASSERT_TRUE(testing::PumpUntil([&] { return State() == PlayState::Stopped; }, 10000));
  // The window's own refresh brings the controls back within a tick.
  ASSERT_TRUE(testing::PumpUntil([&] { return PlayButtons() == kStopped; }, 1500));
  EXPECT_EQ(Text("Label3"), "00:00:00");
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_EQ(Text("Label4"), "00:00:13");  // the last total stays
  EXPECT_TRUE(Button("BitBtn3")->isEnabled());
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(PlaybackTabTest, PlayTakesTheFirstSelectedRowAndAnotherRowRestartsFromItsStart) {
  Files()->clearSelection();
  for (int row : {3, 1, 2}) testing::SelectRow(Files(), row);
  form_.BitBtnPlayStartClick();
  EXPECT_EQ(Selected(), std::vector<std::string>{NameOfRow(1)});
  EXPECT_EQ(Playing(), NameOfRow(1));
  ASSERT_TRUE(testing::PumpUntil([&] { return Bar()->value() >= 2; }));

  Select({kThree});
  form_.BitBtnPlayStartClick();
  EXPECT_EQ(Playing(), kThree);
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_EQ(Bar()->maximum(), 4);
  // What the ended playback still had on its way never reaches the bar.
  ASSERT_TRUE(testing::PumpUntil([&] { return Bar()->value() >= 1; }));
  EXPECT_LE(Bar()->value(), 4);
}

TEST_F(PlaybackTabTest, PauseResumeAndStopSwitchTheButtons) {
  form_.BitBtnPlayStopClick();  // stopped already: nothing happens
  EXPECT_EQ(State(), PlayState::Stopped);
  Select({kSixty});
  form_.BitBtnPlayStartClick();
  form_.BitBtnPlayPauseClick();
  EXPECT_EQ(State(), PlayState::Paused);
  EXPECT_EQ(PlayButtons(), kPaused);
  Select({kTwelve});
  form_.BitBtnPlayStartClick();  // resumes what was paused
  EXPECT_EQ(State(), PlayState::Playing);
  EXPECT_EQ(Playing(), kSixty);
  EXPECT_EQ(PlayButtons(), kPlaying);

  ASSERT_TRUE(testing::PumpUntil([&] { return Bar()->value() >= 2; }));
  form_.BitBtnPlayStopClick();
  EXPECT_EQ(State(), PlayState::Stopped);
  EXPECT_EQ(PlayButtons(), kStopped);
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_EQ(Text("Label3"), "00:00:00");
  testing::LetEventsRunFor(200);  // anything the player still sent
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_EQ(Text("Label3"), "00:00:00");
}

TEST_F(PlaybackTabTest, NextAndPreviousStepThroughTheListAndStopAtItsEnds) {
  form_.BitBtn1Click();
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"请先选中文件！"});

  SelectRow(3);
  form_.BitBtn1Click();  // the last row: the list gets the focus, nothing plays
  EXPECT_EQ(State(), PlayState::Stopped);
  EXPECT_TRUE(Files()->hasFocus());
  form_.BitBtn2Click();
  EXPECT_EQ(Selected(), std::vector<std::string>{NameOfRow(2)});
  EXPECT_EQ(Playing(), NameOfRow(2));

  SelectRow(0);
  form_.BitBtn2Click();  // the first row
  EXPECT_EQ(Playing(), NameOfRow(2));
  form_.BitBtnPlayPauseClick();
  form_.BitBtn1Click();  // while paused: the row moves, the paused recording goes on
  EXPECT_EQ(Selected(), std::vector<std::string>{NameOfRow(1)});
  EXPECT_EQ(State(), PlayState::Playing);
  EXPECT_EQ(Playing(), NameOfRow(2));
}

TEST_F(PlaybackTabTest, NextAndPreviousFollowTheOrderShownSortedOrNarrowed) {
  Files()->sortByColumn(6, Qt::AscendingOrder);  // shortest first: 3, 7, 12, 60 s
  SelectRow(0);
  form_.BitBtn1Click();
  EXPECT_EQ(Playing(), kSeven);
  form_.BitBtn1Click();
  EXPECT_EQ(Playing(), kTwelve);
  EXPECT_EQ(NameOfRow(2), kTwelve);
  EXPECT_EQ(testing::CellText(Files(), 2, 0), "1");  // the number stays with its row
  Files()->sortByColumn(6, Qt::DescendingOrder);
  form_.BitBtn1Click();
  EXPECT_EQ(Playing(), kSeven);
  form_.BitBtnPlayStopClick();

  // Narrowed to one row, that row is the last: next plays nothing.
  form_.findChild<QLineEdit*>("EditFind")->setText(QStringLiteral("_0002"));
  ASSERT_EQ(testing::RowCount(Files()), 1);
  SelectRow(0);
  form_.BitBtn1Click();  // the only row shown is the last
  EXPECT_EQ(State(), PlayState::Stopped);
}

TEST_F(PlaybackTabTest, AGestureOnTheBarSeeksWhilePlayingAndSpringsBackWhilePaused) {
  Select({kSixty});
  form_.BitBtnPlayStartClick();
  ASSERT_TRUE(testing::PumpUntil([&] { return Bar()->value() >= 2; }));
  MoveTheBarTo(30);
  ASSERT_TRUE(testing::PumpUntil([&] { return Elapsed() >= 29; }));
  EXPECT_TRUE(Bar()->hasFocus());
  EXPECT_EQ(State(), PlayState::Playing);
  EXPECT_GE(Bar()->value(), 29);
  EXPECT_GE(form_.Playback().Engine().ElapsedSeconds(), 29u);
  EXPECT_EQ(PlayButtons(), kPlaying);

  // Paused once the seek's playback has handed over its first second; the
  // player is held once it has dropped the second in progress and ticks
  // silence over.
  ASSERT_TRUE(testing::PumpUntil([&] { return form_.Playback().Engine().LastPosition() >= 30; }));
  form_.BitBtnPlayPauseClick();
  ASSERT_TRUE(testing::PumpUntil([&] { return sound_.EndsInSilence(2000); }));
  const int heldAt = form_.Playback().Engine().LastPosition();
  MoveTheBarTo(5);
  ASSERT_TRUE(testing::PumpUntil([&] { return Bar()->value() == heldAt; }));
  EXPECT_TRUE(Bar()->hasFocus());
  EXPECT_EQ(State(), PlayState::Paused);
}

TEST_F(PlaybackTabTest, AClickOnTheGrooveSeeksThereAndLeftRightSeekKeepingTheFocus) {
  Select({kSixty});
  form_.BitBtnPlayStartClick();
  ASSERT_TRUE(testing::PumpUntil([&] { return Bar()->value() >= 2; }));
  // Three quarters along the groove: the thumb goes there, not a page on.
  QTest::mouseClick(Bar(), Qt::LeftButton, {}, QPoint(Bar()->width() * 3 / 4, Bar()->height() / 2));
  ASSERT_TRUE(testing::PumpUntil([&] { return Elapsed() >= 40; }));
  EXPECT_LE(Elapsed(), 50u);
  EXPECT_TRUE(Bar()->hasFocus());
  EXPECT_EQ(State(), PlayState::Playing);

  // Each key seeks a few seconds and leaves the focus on the bar, so the
  // next key seeks again rather than changing tab.
  const QWidget* tab = form_.findChild<QTabWidget*>("PageControl1")->currentWidget();
  for (const auto& [key, sign] :
       {std::pair{Qt::Key_Left, -1}, {Qt::Key_Left, -1}, {Qt::Key_Right, +1}}) {
    const auto before = static_cast<int>(Elapsed());
    QTest::keyClick(Bar(), key);
    ASSERT_TRUE(testing::PumpUntil([&] {
      return (static_cast<int>(Elapsed()) - before) * sign >= 3;
    })) << before
        << " -> " << Elapsed();
    EXPECT_LE(std::abs(static_cast<int>(Elapsed()) - before), 7);
    EXPECT_TRUE(Bar()->hasFocus());
    EXPECT_EQ(form_.findChild<QTabWidget*>("PageControl1")->currentWidget(), tab);
  }
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(PlaybackTabTest, SpaceAndEnterPlayAndThePlayingRowIsMarkedUntilItStops) {
  Select({kSixty});
  Files()->setFocus();
  QTest::keyClick(Files(), Qt::Key_Return);
  EXPECT_EQ(Playing(), kSixty);
  EXPECT_TRUE(MarkedPlaying(kSixty));
  EXPECT_EQ(RowsMarked(), 1);
  QTest::keyClick(Files(), Qt::Key_Space);
  EXPECT_EQ(State(), PlayState::Paused);
  QTest::keyClick(Bar(), Qt::Key_Space);
  EXPECT_EQ(State(), PlayState::Playing);
  EXPECT_EQ(Selected(), std::vector<std::string>{kSixty});  // Space selected nothing else

  // Paused, Enter on another row plays that row from its start.
  QTest::keyClick(Files(), Qt::Key_Space);
  Select({kTwelve});
  QTest::keyClick(Files(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(State(), PlayState::Playing);
  EXPECT_EQ(Playing(), kTwelve);
  EXPECT_TRUE(MarkedPlaying(kTwelve));
  EXPECT_EQ(RowsMarked(), 1);
  // Played to its end: the mark goes with the refresh that notices.
  ASSERT_TRUE(testing::PumpUntil([&] { return RowsMarked() == 0; }, 10000));
  EXPECT_EQ(State(), PlayState::Stopped);
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(PlaybackTabTest, TheSpeedIsChosenFromTheBarsMenuOrWithBracketsAndStays) {
  EXPECT_EQ(CheckedSpeed(), "1×");
  const std::vector<std::pair<Qt::Key, const char*>> steps{
      {Qt::Key_BracketRight, "1.25×"}, {Qt::Key_BracketRight, "1.5×"},
      {Qt::Key_BracketLeft, "1.25×"},  {Qt::Key_BracketLeft, "1×"},
      {Qt::Key_BracketLeft, "0.75×"},  {Qt::Key_BracketLeft, "0.75×"}};
  for (const auto& [key, shown] : steps) {
    QTest::keyClick(Files(), key);
    EXPECT_EQ(CheckedSpeed(), shown);
  }
  for (QAction* action : Bar()->actions()) {
    if (action->text() == "2×") action->trigger();
  }
  EXPECT_EQ(form_.Playback().Engine().Speed(), 2.0f);
  // From one recording to the next.
  Select({kThree});
  form_.BitBtnPlayStartClick();
  Select({kSeven});
  form_.BitBtnPlayStartClick();
  EXPECT_EQ(form_.Playback().Engine().Speed(), 2.0f);
  EXPECT_EQ(CheckedSpeed(), "2×");
}

TEST_F(PlaybackTabTest, EveryControlInQuickSuccessionLeavesNoThreadBehind) {
  sound_.SetSpeed(50);
  for (int round = 0; round < 6; ++round) {
    SelectRow(round % 4);
    form_.BitBtnPlayStartClick();
    testing::LetEventsRunFor(40);
    form_.BitBtnPlayPauseClick();
    form_.BitBtnPlayStartClick();
    MoveTheBarTo(Bar()->maximum() / 2);
    testing::LetEventsRunFor(30);
    form_.BitBtn1Click();
    form_.TimerPlayerTimer();
    form_.BitBtn2Click();
    testing::LetEventsRunFor(30);
    form_.BitBtnPlayStopClick();
  }
  EXPECT_EQ(State(), PlayState::Stopped);
  EXPECT_TRUE(messages_.Messages().empty());
  EXPECT_TRUE(testing::PumpUntil([&] { return testing::ThreadsNamed("parlomax-decode") == 0; }));
  EXPECT_EQ(sound_.Alive(), 0);
}

TEST_F(PlaybackTabTest, TheRowsOwnFileIsPlayedAndConvertedAfterAnotherJoinsTheFolder) {
  // The nightly copy brings a call that sorts before every listed one.
  testing::WriteSpx(folder_ / "03171400_0009.spx", testing::TonePayload(9000, 600));
  Select({kSixty});
  form_.BitBtnPlayStartClick();
  EXPECT_EQ(Playing(), kSixty);
  EXPECT_EQ(Bar()->maximum(), 61);
  form_.BitBtnPlayStopClick();

  testing::TempFolder wavs;
  folders_.answer = QString::fromStdString(wavs.Path().string());
  form_.BitBtnOutputClick();
  Select({kThree});
  form_.BitBtn4Click();
  ASSERT_TRUE(testing::PumpUntilConversionJobsEnded(60000));
  EXPECT_EQ(std::filesystem::file_size(wavs / (std::string(kThree) + ".wav")), 44u + 3000 * 16);
  // Convert all: the rows, not what the folder holds now.
  form_.BitBtn5Click();
  ASSERT_TRUE(testing::PumpUntilConversionJobsEnded(60000));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(wavs.Path()), {}), 4);
  EXPECT_FALSE(std::filesystem::exists(wavs / "03171400_0009.spx.wav"));
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"转换选择文件成功！", "转换全部文件成功！"}));
}

TEST_F(PlaybackTabTest, PlayWaitsForAnothersDecoderRunOnlyAMomentThenSaysSo) {
  Select({kThree});
  // A run of a stopped conversion that does not make way.
  std::atomic<bool> holding{false}, done{false};
  std::jthread conversion([&] {
    const auto held = form_.Playback().Engine().Decoder().HoldRuns();
    holding = true;
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (!holding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  form_.BitBtnPlayStartClick();
  done = true;
  conversion.join();
  EXPECT_EQ(messages_.Texts(),
            std::vector<QString>{"解码程序还在为上一项工作运行，请稍后再播放。"});
  EXPECT_EQ(State(), PlayState::Stopped);
  form_.BitBtnPlayStartClick();
  EXPECT_EQ(Playing(), kThree);
}

TEST_F(PlaybackTabTest, RefusalsAndAFileThatHasGone) {
  form_.BitBtnPlayStartClick();
  Select({kTwelve});
  testing::StateOf(form_).ConvertAllRunning = true;
  form_.BitBtnPlayStartClick();
  testing::StateOf(form_).ConvertAllRunning = false;
  // The last row's file goes: the search now ends a row short.
  std::filesystem::remove(folder_ / NameOfRow(3));
  SelectRow(3);
  form_.BitBtnPlayStartClick();
  const auto shown = messages_.Messages();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].text, "请先选择需要播放的文件！");
  EXPECT_EQ(shown[1].text, "请先停止转换！");
  EXPECT_EQ(shown[2].text, "open input spx file error!");
  EXPECT_EQ(shown[2].icon, shell::MessageIcon::None);
  EXPECT_EQ(State(), PlayState::Stopped);
}

}  // namespace
}  // namespace parlomax::app
