#include "app/PlaybackController.h"

#include "app/RecordingListView.h"
#include "audio/TimeText.h"
#include "catalogue/RecordingHeader.h"
#include "platform/shell/MessageService.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QTreeView>

namespace parlomax::app {
namespace {

const QString kChooseAFileMessage = QStringLiteral("请先选择需要播放的文件！");
const QString kStopConvertingMessage = QStringLiteral("请先停止转换！");
const QString kSelectAFileMessage = QStringLiteral("请先选中文件！");
const QString kCannotOpenMessage = QStringLiteral("open input spx file error!");
const QString kIdleTime = QStringLiteral("00:00:00");
const QString kDecoderBusyMessage = QStringLiteral("解码程序还在为上一项工作运行，请稍后再播放。");

}  // namespace

// One playback's reports on their way to the window's thread; dropped once
// another playback has begun, or the window has left this one behind.
class PlaybackController::PlaybackUpdates final : public audio::PlaybackView {
 public:
  PlaybackUpdates(const MainFormControls& ui, shell::MessageService& messages, CurrentJob::Port port)
      : ui_(ui), messages_(messages), port_(port) {}

  void ShowPosition(std::int32_t position) override {
    port_.Post([&ui = ui_, position] {
      // Not while the user holds the thumb: the bar is theirs until they let go.
      if (!ui.TrackBar1->isSliderDown()) ui.TrackBar1->setValue(position);
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
      engine_(state.PlayState, decoder, outputs, messages) {}

PlaybackController::~PlaybackController() { playbacks_.Silence(); }

audio::Playback::View PlaybackController::BeginPlayback() {
  return std::make_shared<PlaybackUpdates>(ui_, messages_, playbacks_.Begin());
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
  if (!seekWatch_) return;
  const bool gesture =
      (event.type() == QEvent::MouseButtonRelease &&
       static_cast<const QMouseEvent&>(event).button() == Qt::LeftButton) ||
      event.type() == QEvent::KeyRelease || event.type() == QEvent::Wheel;
  if (!gesture) return;
  // After the bar has handled the gesture, so that the seek goes to the
  // second the bar shows once it has moved.
  QTimer::singleShot(0, this, [this] {
    if (seekWatch_) CommitSeek();
  });
}

void PlaybackController::CommitSeek() {
  if (state_.PlayState != PlayState::Playing) {
    // The bar follows the player only: it springs back.
    ui_.TrackBar1->setValue(engine_.LastPosition());
    ui_.ButtonExit->setFocus();
    return;
  }
  ShowPlaying();
  const std::uint32_t second =
      audio::SeekSecond(ui_.TrackBar1->value(), ui_.TrackBar1->maximum(), engine_.PlayFileSize());
  playbacks_.Silence();
  engine_.End();
  ui_.TrackBar1->setValue(static_cast<int>(second));
  ui_.Label3->setText(audio::TimeText(second));
  if (!Started(engine_.StartAt(second, BeginPlayback()))) return;
  ShowPlaying();
  ui_.ButtonExit->setFocus();
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

int PlaybackController::FirstSelectedRow() const { return FirstSelectedPlace(ui_.ListViewFile); }

void PlaybackController::SelectOnly(int row) { SelectOnlyPlace(ui_.ListViewFile, row); }

}  // namespace parlomax::app
