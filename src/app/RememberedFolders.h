#pragma once

#include <QString>

#include <filesystem>

namespace parlomax::app {

// The folders the window was left with, for the next run: where copies go,
// the PC tab's folder, and where WAV files go. A folder that has gone since
// is forgotten without a word; the window then starts as if none had been
// chosen.
class RememberedFolders {
 public:
  enum class Folder { Save, Computer, Output };

  // `file`: the settings file; empty keeps nothing.
  explicit RememberedFolders(std::filesystem::path file) : file_(std::move(file)) {}

  // Where QSettings("parlomax", "parlomax") keeps its file:
  // $XDG_CONFIG_HOME/parlomax/parlomax.conf, ~/.config when that is unset.
  static std::filesystem::path UserSettingsFile();

  // The folder last remembered as `which`, while it is still a folder;
  // empty otherwise.
  QString Recall(Folder which) const;
  // Keeps `folder` as `which`. The settings file is the user's own (0600,
  // in a 0700 folder); failing to keep it costs only the convenience.
  void Remember(Folder which, const QString& folder) const;

 private:
  std::filesystem::path file_;
};

// The save folder a window starts with when none is remembered: ~/通话录音,
// with the one trailing "/" of the save box. It is made when it is first
// written into, not at start.
QString InitialSaveFolder();

// Makes the save folder of `saveText` (as the save box shows it) when it is
// the one a window starts with and does not exist yet: private to the user.
void MakeInitialSaveFolder(const QString& saveText);

}  // namespace parlomax::app
