#include "app/FolderListController.h"

#include "app/RecordingRows.h"
#include "catalogue/FolderCache.h"
#include "catalogue/FolderList.h"
#include "platform/shell/FolderChooser.h"
#include "platform/shell/MessageService.h"
#include "platform/shell/ThreadChannel.h"

#include <QDir>
#include <QLineEdit>

#include <atomic>
#include <optional>

namespace parlomax::app {
namespace {

// Entries of a folder come in bursts (a copy writes, renames, writes the
// next); one reading after the burst sees them all.
constexpr int kSettleMs = 300;
// A file that came may still be growing: look once more a little later.
constexpr int kLookAgainMs = 2000;
// Rows handed to the window at once: a few milliseconds of its time.
constexpr std::size_t kRowsAtOnce = 4096;

}  // namespace

// One reading of a folder on its own thread. What it hands to the window's
// thread lands only while it is still the current reading: a reading that
// was dropped (another folder chosen) is forgotten, and so is all it sends.
struct FolderListController::Reading {
  std::filesystem::path folder;
  bool anew = false;  // the rows are the folder's first: they come in as read
  bool asked = false;
  bool changed = false;  // the rows differ from those shown before
  std::shared_ptr<std::atomic<bool>> current = std::make_shared<std::atomic<bool>>(true);
  std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
  std::jthread thread;
};

FolderListController::FolderListController(const MainFormControls& ui, WindowState& state,
                                           shell::MessageService& messages,
                                           shell::FolderChooser& folders,
                                           shell::ThreadChannel& channel,
                                           std::filesystem::path cacheFolder)
    : ui_(ui),
      state_(state),
      messages_(messages),
      folders_(folders),
      channel_(channel),
      cacheFolder_(std::move(cacheFolder)),
      verdicts_(*ui.FolderRows, channel) {
  settle_.setSingleShot(true);
  QObject::connect(&watch_, &QFileSystemWatcher::directoryChanged, &settle_,
                   [this] { settle_.start(kSettleMs); });
  QObject::connect(&settle_, &QTimer::timeout, &settle_, [this] {
    if (listed_.empty()) return;
    if (reading_) {
      again_ = true;
      return;
    }
    // A conversion reads the files it was started on; the list waits for
    // its end.
    if (state_.ConvertSelectedRunning || state_.ConvertAllRunning) {
      settle_.start(kLookAgainMs);
      return;
    }
    List(ui_.EditInput->text(), false);
  });
}

// The readings' threads are joined here, while the channel they hand over
// to is still there.
FolderListController::~FolderListController() = default;

void FolderListController::ChooseFolder() {
  const auto folder = folders_.ChooseFolder(QStringLiteral("请选择目录:"), QDir::homePath());
  if (!folder) return;
  ui_.EditInput->setText(*folder);
  List(ui_.EditInput->text(), true);
}

void FolderListController::TabShown() {
  if (ui_.EditInput->text().isEmpty()) return;
  // A running conversion reads the rows it was started on; listing again
  // under it would change them.
  if (state_.ConvertSelectedRunning || state_.ConvertAllRunning) return;
  List(ui_.EditInput->text(), true);
}

void FolderListController::List(const QString& folderText, bool asked) {
  const std::filesystem::path folder = catalogue::FolderPath(folderText);
  if (reading_) {
    if (reading_->folder == folder) {
      // Already being read: its end is as good as another reading's.
      reading_->asked = reading_->asked || asked;
      return;
    }
    // Another folder was chosen: nothing of this one lands in the list. Its
    // thread ends at its next file and is joined once it has.
    *reading_->current = false;
    reading_->thread.request_stop();
    dropped_.push_back(std::move(reading_));
  }
  std::erase_if(dropped_, [](const auto& r) { return r->ended->load(); });
  again_ = false;
  const bool anew = folder != listed_;
  if (anew) {
    verdicts_.Drop();
    ui_.FolderRows->Clear();
    CountRows();
    if (!watch_.directories().isEmpty()) watch_.removePaths(watch_.directories());
    listed_ = folder;
  }
  // Also again: a folder that went (a stick pulled out) takes its watch
  // with it, and one put back is watched anew.
  if (watch_.directories().isEmpty()) watch_.addPath(folderText);
  state_.FolderBeingRead = anew;
  reading_ = std::make_unique<Reading>();
  Reading& reading = *reading_;
  reading.folder = folder;
  reading.anew = anew;
  reading.asked = asked;
  catalogue::FolderRecordings known;
  if (!anew) known = ui_.FolderRows->Files();

  // The thread touches nothing of the window: it hands rows over, and each
  // hand-over first checks, on the window's thread, that it still counts.
  const auto current = reading.current;
  const auto ended = reading.ended;
  const auto post = [this, current](auto work) {
    channel_.Post([this, current, work = std::move(work)]() mutable {
      if (*current) work();
    });
  };
  reading.thread = std::jthread([this, post, ended, folder, anew, known = std::move(known),
                                 cacheFolder = cacheFolder_](std::stop_token stop) mutable {
    struct Ends {
      std::atomic<bool>& ended;
      ~Ends() { ended = true; }
    } ends{*ended};
    std::optional<catalogue::FolderCache> cache;
    if (!cacheFolder.empty()) cache.emplace(cacheFolder);
    // After a restart the rows of a folder read before show at once, and
    // the check for what changed follows.
    if (anew && cache) {
      if (auto kept = cache->Load(folder)) {
        known = std::move(*kept);
        // In runs, so that the window answers between them.
        for (std::size_t at = 0; at < known.size(); at += kRowsAtOnce) {
          const auto from = known.begin() + static_cast<std::ptrdiff_t>(at);
          const auto to =
              known.begin() + static_cast<std::ptrdiff_t>(std::min(known.size(), at + kRowsAtOnce));
          post([this, run = FolderRecordingRows::Describe(
                          catalogue::FolderRecordings(from, to))]() mutable {
            ui_.FolderRows->Append(std::move(run));
            CountRows();
          });
        }
      }
    }
    const bool showAsRead = known.empty();
    catalogue::FolderRecordings all;
    const auto end =
        catalogue::ScanRecordingFolder(folder, known, stop, [&](catalogue::FolderRecordings&& run) {
          if (showAsRead)
            post([this, rows = FolderRecordingRows::Describe(run)]() mutable {
              ui_.FolderRows->Append(std::move(rows));
              CountRows();
            });
          all.insert(all.end(), std::make_move_iterator(run.begin()),
                     std::make_move_iterator(run.end()));
        });
    if (end.stopped) return;
    const bool same =
        all.size() == known.size() &&
        std::equal(all.begin(), all.end(), known.begin(), [](const auto& a, const auto& b) {
          return a.SameFileAs(b) && a.header == b.header && a.complete == b.complete;
        });
    // The list first; the copy kept for the next run can follow.
    const bool become = !showAsRead && !same;
    post([this, end, same, become, rows = become ? all : catalogue::FolderRecordings{}]() mutable {
      reading_->changed = become ? ui_.FolderRows->Become(std::move(rows)) : !same;
      Finish(*reading_, end);
    });
    if (cache && !same) cache->Save(folder, all);
  });
}

void FolderListController::Finish(const Reading& reading, const catalogue::FolderScanEnd& end) {
  const bool asked = reading.asked;
  const bool changed = reading.changed;
  if (reading.anew || changed) verdicts_.Check(reading.folder);
  // The thread may still be keeping the rows for the next run; it is
  // joined once it has, like a dropped one.
  *reading_->current = false;
  dropped_.push_back(std::move(reading_));
  state_.FolderBeingRead = false;
  CountRows();
  if (asked && (ui_.FolderRows->rowCount() == 0 || end.unopened))
    messages_.Warn(catalogue::kNoSupportedFilesMessage);
  if (again_) {
    again_ = false;
    settle_.start(kSettleMs);
  } else if (changed && !asked) {
    settle_.start(kLookAgainMs);
  }
}

void FolderListController::CountRows() {
  state_.FolderFileCount = static_cast<std::uint32_t>(ui_.FolderRows->rowCount());
  state_.ConversionWorkTotal = ui_.FolderRows->ConversionWorkTotal();
}

}  // namespace parlomax::app
