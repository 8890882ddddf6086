#pragma once

#include "app/JobHost.h"
#include "app/MainFormLayout.h"
#include "app/RecordingDrag.h"
#include "app/WindowState.h"
#include "audio/ShareRecording.h"

#include <QObject>

#include <filesystem>
#include <vector>

class QMenu;
class QPoint;

namespace parlomax::shell {
class FolderChooser;
class MessageService;
}  // namespace parlomax::shell

namespace parlomax::app {

inline const QString kSaveAsMp3Caption = QStringLiteral("另存为 MP3…");
inline const QString kSaveAsOpusCaption = QStringLiteral("另存为 Opus…");

// The PC list's right-click menu: the selected recordings saved as MP3 or
// Ogg Opus files to hand on. One recording is saved under a name the user
// picks, several into a folder. The encoding runs on a thread of its own,
// with the conversion's bars, and is not started while something plays or
// converts. Dragging rows out of the list gives their WAV files.
class ShareController final : public QObject {
  Q_OBJECT

 public:
  ShareController(const MainFormControls& ui, WindowState& state, shell::MessageService& messages,
                  shell::FolderChooser& folders, shell::ThreadChannel& channel,
                  const audio::ExternalDecoder& decoder);
  ~ShareController() override;

  // The menu for a click at `place` (in the list's viewport), shown without
  // waiting for it; nothing where no row is.
  QMenu* PopUpMenu(const QPoint& place);
  // Asks where, then saves the selected rows in `format`.
  void SaveSelectedAs(audio::ShareFormat format);
  bool Running() const { return running_; }

 private:
  class Job;
  void Start(std::vector<std::filesystem::path> files, std::vector<std::filesystem::path> targets,
             audio::ShareFormat format);
  void SetLockedControls(bool enabled);
  void Ended();

  const MainFormControls& ui_;
  WindowState& state_;
  shell::MessageService& messages_;
  shell::FolderChooser& folders_;
  const audio::ExternalDecoder& decoder_;
  bool running_ = false;
  JobHost jobs_;
  RecordingDrag drag_;
};

}  // namespace parlomax::app
