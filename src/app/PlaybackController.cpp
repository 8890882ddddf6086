#include "app/PlaybackController.h"

#include "app/RecordingListView.h"
#include "audio/SpeedChange.h"
#include "audio/TimeText.h"
#include "catalogue/RecordingHeader.h"
#include "platform/shell/MessageService.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QTreeView>

#include <filesystem>

namespace parlomax::app {
namespace {

const QString kChooseAFileMessage = QStringLiteral("请先选择需要播放的文件！");
const QString kStopConvertingMessage = QStringLiteral("请先停止转换！");
const QString kSelectAFileMessage = QStringLiteral("请先选中文件！");
const QString kCannotOpenMessage = QStringLiteral("open input spx file error!");
const QString kIdleTime = QStringLiteral("00:00:00");
const QString kDecoderBusyMessage = QStringLiteral("解码程序还在为上一项工作运行，请稍后再播放。");
// Left and right on the position bar move it this many seconds.
constexpr int kKeySeekSeconds = 5;

// A click on the bar's groove puts the thumb where the click was, as in a
// media player, rather than a page towards it; the middle button pages.
class PositionBarStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
    if (hint == SH_Slider_PageSetButtons) return Qt::MiddleButton;
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
};

QString SpeedText(float speed) { return QString::number(speed) + QStringLiteral("×"); }

}  // namespace

// One playback's reports on their way to the window's thread; dropped once
// another playback has begun, or the window has left this one behind.
class PlaybackController::PlaybackUpdates final : public audio::PlaybackView {
 public:
  PlaybackUpdates(const MainFormControls& ui, shell::MessageService& messages,
                  CurrentJob::Port port, const bool& barMoved)
      : ui_(ui), messages_(messages), port_(port), barMoved_(barMoved) {}

  void ShowPosition(std::int32_t position) override {
    port_.Post([&ui = ui_, &moved = barMoved_, position] {
      // Not while the user holds the thumb, nor once they have moved it:
      // the bar is theirs until their seek.
      if (!ui.TrackBar1->isSliderDown() && !moved) ui.TrackBar1->setValue(position);
    });
  }
  void ShowElapsed(std::uint32_t seconds) override {
    port_.Post([&ui = ui_, seconds] { ui.Label3->setText(audio::TimeText(seconds)); });
  }
  void Warn(const QString& text) override {
    port_.Post([&messages = messages_, text] { messages.Warn(text); });
  }

 private:
  const MainFormControls& ui_;
  shell::MessageService& messages_;
  const CurrentJob::Port port_;
  const bool& barMoved_;
};

PlaybackController::PlaybackController(const MainFormControls& ui, WindowState& state,
                                       shell::MessageService& messages,
                                       shell::ThreadChannel& channel,
                                       const audio::ExternalDecoder& decoder,
                                       sound::AudioOutputFactory& outputs)
    : ui_(ui),
      state_(state),
      messages_(messages),
      playbacks_(channel),
      engine_(state.PlayState, decoder, outputs, messages) {
  SetUpPositionBar();
  SetUpSpeeds();
}

void PlaybackController::SetUpPositionBar() {
  QSlider* bar = ui_.TrackBar1;
  auto* style = new PositionBarStyle;
  style->setParent(bar);
  bar->setStyle(style);
  bar->setSingleStep(kKeySeekSeconds);
  // Moves the player makes with setValue are not actions: only the user's are.
  connect(bar, &QSlider::actionTriggered, this, [this](int action) {
    if (action != QAbstractSlider::SliderNoAction) barMoved_ = true;
  });
}

void PlaybackController::SetUpSpeeds() {
  // The bar's context menu chooses the speed; [ and ] step through it.
  speeds_ = new QActionGroup(this);
  for (const float speed : audio::kPlaySpeeds) {
    auto* action = new QAction(SpeedText(speed), ui_.TrackBar1);
    action->setCheckable(true);
    action->setChecked(speed == engine_.Speed());
    action->setData(speed);
    speeds_->addAction(action);
    ui_.TrackBar1->addAction(action);
    connect(action, &QAction::triggered, this, [this, speed] { SetSpeed(speed); });
  }
  ui_.TrackBar1->setContextMenuPolicy(Qt::ActionsContextMenu);
  QWidget* window = ui_.TrackBar1->window();
  connect(new QShortcut(QKeySequence(Qt::Key_BracketLeft), window), &QShortcut::activated, this,
          [this] { StepSpeed(-1); });
  connect(new QShortcut(QKeySequence(Qt::Key_BracketRight), window), &QShortcut::activated, this,
          [this] { StepSpeed(+1); });
}

void PlaybackController::SetSpeed(float speed) {
  engine_.SetSpeed(speed);
  for (QAction* action : speeds_->actions()) action->setChecked(action->data().toFloat() == speed);
}

void PlaybackController::StepSpeed(int steps) {
  SetSpeed(audio::StepPlaySpeed(engine_.Speed(), steps));
}

bool PlaybackController::TakeKey(const QWidget* target, const QKeyEvent& key) {
  if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
  if (key.key() != Qt::Key_Space && !(enter && target == ui_.ListViewFile)) return false;
  if (key.isAutoRepeat()) return true;
  if (key.key() == Qt::Key_Space && state_.PlayState == PlayState::Playing) {
    Pause();
    return true;
  }
  if (enter && state_.PlayState == PlayState::Paused) {
    // Enter plays the row it was pressed on: another than the paused one
    // starts from its beginning.
    const int row = FirstSelectedRow();
    const auto file = row < 0 ? std::filesystem::path()
                              : FileOfRow(ui_.EditInput->text(), *ui_.FolderRows,
                                          RowShownAt(ui_.ListViewFile, row));
    if (!file.empty() && file.string() != engine_.PlayPath()) {
      playbacks_.Silence();
      engine_.End();
    }
  }
  Play();
  return true;
}

PlaybackController::~PlaybackController() { playbacks_.Silence(); }

audio::Playback::View PlaybackController::BeginPlayback() {
  return std::make_shared<PlaybackUpdates>(ui_, messages_, playbacks_.Begin(), barMoved_);
}

void PlaybackController::Play() {
  const int row = FirstSelectedRow();
  if (row < 0) {
    messages_.Warn(kChooseAFileMessage);
    return;
  }
  if (state_.ConvertSelectedRunning || state_.ConvertAllRunning) {
    messages_.Warn(kStopConvertingMessage);
    return;
  }
  if (state_.PlayState == PlayState::Paused) {
    // The paused recording goes on, whatever row is selected now.
    state_.PlayState = PlayState::Playing;
    ui_.BitBtnPlayStart->setEnabled(false);
    ui_.BitBtnPlayPause->setEnabled(true);
    return;
  }
  if (state_.PlayState == PlayState::Playing) {
    playbacks_.Silence();
    engine_.End();
    ui_.Label3->setText(kIdleTime);
    ShowPlaying();
  }
  SelectOnly(row);
  barMoved_ = false;
  ui_.TrackBar1->setValue(0);
  engine_.SetLastPosition(0);
  // The file the row shows, by its name: one that has gone since the
  // listing cannot be opened, and one added since takes no row's place.
  const std::string path =
      FileOfRow(ui_.EditInput->text(), *ui_.FolderRows, RowShownAt(ui_.ListViewFile, row)).string();
  const auto result = engine_.Start(path, BeginPlayback());
  if (result != audio::StartResult::CannotOpen) {
    const auto seconds = static_cast<int>(engine_.PlayFileSize() / catalogue::kPayloadBytesPerSecond + 1);
    ui_.TrackBar1->setMaximum(seconds);
    ui_.Label4->setText(audio::TimeText(static_cast<std::uint32_t>(seconds)));
  }
  if (Started(result)) ShowPlaying();
  MarkPlaying(result == audio::StartResult::Started);
}

void PlaybackController::Pause() {
  state_.PlayState = PlayState::Paused;
  ui_.BitBtnPlayStart->setEnabled(true);
  ui_.BitBtnPlayPause->setEnabled(false);
}

void PlaybackController::Stop() {
  if (state_.PlayState == PlayState::Stopped) return;
  playbacks_.Silence();
  engine_.End();
  MarkPlaying(false);
  barMoved_ = false;
  ui_.TrackBar1->setValue(0);
  ui_.Label3->setText(kIdleTime);
  engine_.SetLastPosition(0);
  ui_.BitBtnPlayStart->setEnabled(true);
  ui_.BitBtnPlayPause->setEnabled(false);
  ui_.BitBtnPlayStop->setEnabled(false);
}

void PlaybackController::Refresh() {
  if (state_.PlayState != PlayState::Stopped) {
    ui_.BitBtn3->setEnabled(false);
    return;
  }
  MarkPlaying(false);
  ui_.TrackBar1->setValue(0);
  ui_.Label3->setText(kIdleTime);
  engine_.SetLastPosition(0);
  if (!state_.ConvertSelectedRunning && !state_.ConvertAllRunning) {
    ui_.BitBtnPlayStart->setEnabled(true);
    ui_.BitBtnPlayPause->setEnabled(false);
    ui_.BitBtnPlayStop->setEnabled(false);
    ui_.BitBtn3->setEnabled(true);
  }
}

void PlaybackController::Step(int rows) {
  const int row = FirstSelectedRow();
  if (row < 0) {
    messages_.Warn(kSelectAFileMessage);
    return;
  }
  // Previous and next go by the order the list shows.
  const int last = ShownRows(ui_.ListViewFile).rowCount() - 1;
  if ((rows > 0 && row >= last) || (rows < 0 && row == 0)) {
    ui_.ListViewFile->setFocus();
    return;
  }
  SelectOnly(row + rows);
  Play();
}

void PlaybackController::Watch(const QEvent& event) {
  // A wheel turns the bar without giving it the focus.
  if (!seekWatch_ && event.type() != QEvent::Wheel) return;
  const bool gesture = (event.type() == QEvent::MouseButtonRelease &&
                        static_cast<const QMouseEvent&>(event).button() == Qt::LeftButton) ||
                       (event.type() == QEvent::KeyRelease &&
                        !static_cast<const QKeyEvent&>(event).isAutoRepeat()) ||
                       event.type() == QEvent::Wheel;
  if (!gesture) return;
  // After the bar has handled the gesture, so that the seek goes to the
  // second the bar shows once it has moved; a key that did not move it
  // (Tab onto the bar, Space) seeks nowhere.
  QTimer::singleShot(0, this, [this] {
    if (barMoved_) CommitSeek();
  });
}

void PlaybackController::CommitSeek() {
  barMoved_ = false;
  // The bar keeps the focus, so that the next key goes on seeking.
  if (state_.PlayState != PlayState::Playing) {
    // The bar follows the player only: it springs back.
    ui_.TrackBar1->setValue(engine_.LastPosition());
    return;
  }
  ShowPlaying();
  const std::uint32_t second =
      audio::SeekSecond(ui_.TrackBar1->value(), ui_.TrackBar1->maximum(), engine_.PlayFileSize());
  playbacks_.Silence();
  engine_.End();
  ui_.TrackBar1->setValue(static_cast<int>(second));
  ui_.Label3->setText(audio::TimeText(second));
  if (!Started(engine_.StartAt(second, BeginPlayback()))) {
    MarkPlaying(false);
    return;
  }
  ShowPlaying();
}

bool PlaybackController::Started(audio::StartResult result) {
  switch (result) {
    case audio::StartResult::Started:
      return true;
    case audio::StartResult::CannotOpen:
      playbacks_.Silence();
      messages_.Plain(kCannotOpenMessage);
      return false;
    case audio::StartResult::DecoderBusy:
      playbacks_.Silence();
      messages_.Warn(kDecoderBusyMessage);
      return false;
    case audio::StartResult::DecodeFailed:
      playbacks_.Silence();
      messages_.Warn(audio::DecodeFailureText(engine_.LastDecodeResult(),
                                              engine_.Decoder().Program(), engine_.PlayPath()));
      return false;
  }
  return false;
}

void PlaybackController::ShowPlaying() {
  ui_.BitBtnPlayStart->setEnabled(false);
  ui_.BitBtnPlayPause->setEnabled(true);
  ui_.BitBtnPlayStop->setEnabled(true);
}

void PlaybackController::MarkPlaying(bool playing) {
  ui_.FolderRows->SetPlaying(playing ? std::filesystem::path(engine_.PlayPath()).filename().string()
                                     : std::string());
}

int PlaybackController::FirstSelectedRow() const { return FirstSelectedPlace(ui_.ListViewFile); }

void PlaybackController::SelectOnly(int row) { SelectOnlyPlace(ui_.ListViewFile, row); }

}  // namespace parlomax::app
