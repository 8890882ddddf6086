#pragma once

#include "app/JobHost.h"
#include "app/MainFormLayout.h"
#include "app/WindowState.h"
#include "audio/ConversionJob.h"

#include <QObject>

#include <memory>
#include <vector>

namespace parlomax::shell {
class FolderBrowser;
class FolderChooser;
class MessageService;
}

namespace parlomax::app {

// The PC tab's conversion to WAV files as the window sees it: the output
// folder, the two start/cancel buttons, the bars and labels, and the
// controls a running job keeps out of reach. The jobs run on their own
// threads; the window never waits for one, except for the last time when
// it closes.
class ConversionController final : public QObject {
  Q_OBJECT

 public:
  ConversionController(const MainFormControls& ui, WindowState& state, shell::MessageService& messages,
                       shell::FolderChooser& folders, shell::FolderBrowser& browser,
                       shell::ThreadChannel& channel, const audio::ExternalDecoder& decoder);
  ~ConversionController() override;

  void ChooseOutputFolder();
  // Starts a job of `kind`, or asks the running one to stop.
  void StartOrCancel(audio::ConversionKind kind);

 private:
  class JobView;

  // Where the WAV files go: the chosen output folder, else the folder
  // being converted from.
  QString OutputFolder() const;
  std::atomic<bool>& FlagOf(audio::ConversionKind kind);
  QPushButton* ButtonOf(audio::ConversionKind kind) const;
  QPushButton* OtherButton(audio::ConversionKind kind) const;
  void Start(audio::ConversionKind kind);
  // The controls a running job of `kind` keeps out of reach: the player's,
  // the folder buttons and the other job's button.
  void SetLockedControls(audio::ConversionKind kind, bool enabled);
  // What the job's view hands over, on the window's thread.
  void Restore(audio::ConversionKind kind);
  void End(audio::ConversionKind kind, bool completed);
  void ErrorStop(audio::ConversionKind kind);
  void BackToRest(audio::ConversionKind kind);

  const MainFormControls& ui_;
  WindowState& state_;
  shell::MessageService& messages_;
  shell::FolderChooser& folders_;
  shell::FolderBrowser& browser_;
  const audio::ExternalDecoder& decoder_;
  JobHost jobs_;
  // The output folder of the job started last.
  QString jobOutput_;
};

}  // namespace parlomax::app
