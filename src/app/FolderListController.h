#pragma once

#include "app/FolderVerdicts.h"
#include "app/MainFormLayout.h"
#include "app/WindowState.h"
#include "catalogue/FolderScan.h"

#include <QFileSystemWatcher>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

class QString;

namespace parlomax::shell {
class FolderChooser;
class MessageService;
class ThreadChannel;
}

namespace parlomax::app {

// The PC tab's folder and its list of recording files: chosen with the
// folder button, read on a thread of its own so that the window never waits
// for the disk, and read again (only what changed) whenever the tab comes
// to the front or the folder's entries change.
class FolderListController {
 public:
  // `cacheFolder`: where the rows of folders read before are kept between
  // runs; empty to keep none.
  FolderListController(const MainFormControls& ui, WindowState& state,
                       shell::MessageService& messages, shell::FolderChooser& folders,
                       shell::ThreadChannel& channel, std::filesystem::path cacheFolder);
  ~FolderListController();

  void ChooseFolder();
  // The tab came to the front.
  void TabShown();
  // Whether a reading of the folder is still under way.
  bool Listing() const { return reading_ != nullptr; }

 private:
  struct Reading;
  // Reads `folder` into the list: anew when it is not the folder listed, else
  // only what changed. `asked`: a person asked for it, so an empty folder is
  // said to be one.
  void List(const QString& folder, bool asked);
  void Finish(const Reading& reading, const catalogue::FolderScanEnd& end);
  void CountRows();

  const MainFormControls& ui_;
  WindowState& state_;
  shell::MessageService& messages_;
  shell::FolderChooser& folders_;
  shell::ThreadChannel& channel_;
  const std::filesystem::path cacheFolder_;
  // The folder the rows are of.
  std::filesystem::path listed_;
  std::unique_ptr<Reading> reading_;
  std::vector<std::unique_ptr<Reading>> dropped_;
  bool again_ = false;  // the folder changed while it was being read
  QFileSystemWatcher watch_;
  QTimer settle_;
  FolderVerdicts verdicts_;
};

}  // namespace parlomax::app
