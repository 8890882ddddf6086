#pragma once

#include "app/MainFormLayout.h"
#include "app/WindowState.h"
#include "audio/Playback.h"
#include "app/CurrentJob.h"

#include <QObject>

class QActionGroup;
class QEvent;
class QKeyEvent;

namespace parlomax::shell {
class MessageService;
}

namespace parlomax::app {

// The PC tab's player as the window sees it: the play, pause, stop, next and
// previous buttons, the position bar and its seek, the two times, and the
// rules that switch them. The playback itself runs in audio::Playback; what
// its threads report lands here, on the window's thread, and only while
// their playback is the current one.
class PlaybackController final : public QObject {
  Q_OBJECT

 public:
  PlaybackController(const MainFormControls& ui, WindowState& state, shell::MessageService& messages,
                     shell::ThreadChannel& channel, const audio::ExternalDecoder& decoder,
                     sound::AudioOutputFactory& outputs);
  ~PlaybackController() override;

  void Play();
  void Pause();
  void Stop();
  void Refresh();
  void Next() { Step(+1); }
  void Previous() { Step(-1); }
  // The seek watch is on while the position bar has the keyboard focus.
  void SetSeekWatch(bool on) { seekWatch_ = on; }
  // Every event for the position bar passes here before the bar sees it;
  // a left-button release, a key release or a wheel turn that follows a
  // move of the bar by the user commits a seek.
  void Watch(const QEvent& event);
  // A key pressed on the file list or the position bar: Space plays or
  // pauses, Enter on the list plays its row. Whether it was taken.
  bool TakeKey(const QWidget* target, const QKeyEvent& key);
  // How fast recordings are heard, from now on and for the next ones.
  void SetSpeed(float speed);
  // One speed faster (+1) or slower (-1).
  void StepSpeed(int steps);

  audio::Playback& Engine() { return engine_; }

 private:
  class PlaybackUpdates;
  // A new playback becomes the current one; what it reports goes through this.
  audio::Playback::View BeginPlayback();

  void Step(int rows);
  void CommitSeek();
  // Tells the user why a start failed; false when it did.
  bool Started(audio::StartResult result);
  void ShowPlaying();
  // The row of the recording being played is marked until it stops.
  void MarkPlaying(bool playing);
  void SetUpPositionBar();
  void SetUpSpeeds();
  // The first selected row of the file list, or -1.
  int FirstSelectedRow() const;
  void SelectOnly(int row);

  const MainFormControls& ui_;
  WindowState& state_;
  shell::MessageService& messages_;
  CurrentJob playbacks_;
  audio::Playback engine_;
  bool seekWatch_ = false;
  // The user has moved the bar since the last seek: dragging it, a click on
  // its groove, a key or the wheel. Only that is a seek.
  bool barMoved_ = false;
  QActionGroup* speeds_ = nullptr;
};

}  // namespace parlomax::app
