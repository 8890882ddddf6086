#include "app/ShareController.h"

#include "app/RecordingListView.h"
#include "app/SharedGuards.h"
#include "catalogue/FolderList.h"
#include "platform/files/PathText.h"
#include "platform/shell/FolderChooser.h"
#include "platform/shell/MessageService.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

#include <cerrno>
#include <chrono>

namespace parlomax::app {
namespace {

namespace fs = std::filesystem;
using audio::ShareFormat;
using audio::ShareOutcome;

// What every later file would meet as well: no decoder, or a disk that
// takes nothing more.
bool DoomsTheRest(const audio::ShareResult& r) {
  return r.outcome == ShareOutcome::DecoderMissing ||
         (r.outcome == ShareOutcome::CannotWrite &&
          (r.error == ENOSPC || r.error == EDQUOT || r.error == EROFS || r.error == EIO));
}

}  // namespace

// The files of one save, on the job's thread, and what it shows on the
// conversion's bars: the file's sound, and the files done.
class ShareController::Job final : public JobHost::Job {
 public:
  Job(ShareController& owner, JobHost::Port port, std::vector<fs::path> files,
      std::vector<fs::path> targets, ShareFormat format)
      : owner_(owner),
        port_(port),
        files_(std::move(files)),
        targets_(std::move(targets)),
        format_(format) {}

  void Run(std::stop_token stop) override {
    const auto count = static_cast<std::uint32_t>(files_.size());
    for (std::uint32_t i = 0; i < count && !stop.stop_requested(); ++i) {
      const QString name = files::PathText(files_[i].filename());
      port_.Post([&ui = owner_.ui_, name, i, count] {
        ui.Label10->setText(name);
        SetProgressBar(ui.ProgressBar2, i, count);
      });
      auto lastShown = std::chrono::steady_clock::time_point{};
      const audio::ShareResult result = audio::ShareRecording(
          owner_.decoder_, files_[i], targets_[i], format_,
          [&](std::uint64_t done, std::uint64_t total) {
            // A few dozen redraws a second at most.
            const auto now = std::chrono::steady_clock::now();
            if (now - lastShown < std::chrono::milliseconds(20) && done != total) return;
            lastShown = now;
            // In thousandths: the bar counts in 32 bits, a sound's bytes need not fit.
            const auto part = static_cast<std::uint32_t>(total == 0 ? 1000 : done * 1000 / total);
            port_.Post([&ui = owner_.ui_, part] { SetProgressBar(ui.ProgressBar1, part, 1000); });
          },
          [&stop] { return stop.stop_requested(); });
      const QString problem = audio::ShareProblemText(result, files_[i], targets_[i]);
      // Said by the window's thread; the job waits until the box is closed.
      if (!problem.isEmpty()) owner_.messages_.Warn(problem);
      if (DoomsTheRest(result)) break;
    }
    port_.PostEnd([&owner = owner_] { owner.Ended(); });
  }

 private:
  ShareController& owner_;
  const JobHost::Port port_;
  const std::vector<fs::path> files_;
  const std::vector<fs::path> targets_;
  const ShareFormat format_;
};

ShareController::ShareController(const MainFormControls& ui, WindowState& state,
                                 shell::MessageService& messages, shell::FolderChooser& folders,
                                 shell::ThreadChannel& channel,
                                 const audio::ExternalDecoder& decoder)
    : ui_(ui),
      state_(state),
      messages_(messages),
      folders_(folders),
      decoder_(decoder),
      jobs_(channel, "parlomax-share"),
      // The working folder is the program's own (0700), and goes when it ends.
      drag_(ui, fs::current_path() / "dragged", decoder, messages) {
  ui_.ListViewFile->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ui_.ListViewFile, &QWidget::customContextMenuRequested, this,
          &ShareController::PopUpMenu);
}

ShareController::~ShareController() {
  jobs_.Abandon();
  jobs_.StopAll();
}

QMenu* ShareController::PopUpMenu(const QPoint& place) {
  if (!ui_.ListViewFile->indexAt(place).isValid()) return nullptr;
  auto* menu = new QMenu(ui_.ListViewFile);
  menu->setObjectName(QStringLiteral("ShareMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  connect(menu->addAction(kSaveAsMp3Caption), &QAction::triggered, this,
          [this] { SaveSelectedAs(ShareFormat::Mp3); });
  connect(menu->addAction(kSaveAsOpusCaption), &QAction::triggered, this,
          [this] { SaveSelectedAs(ShareFormat::Opus); });
  menu->popup(ui_.ListViewFile->viewport()->mapToGlobal(place));
  return menu;
}

void ShareController::SaveSelectedAs(ShareFormat format) {
  if (running_ || !SharedGuardsPass(state_, messages_)) {
    if (running_) messages_.Warn(QStringLiteral("请先停止转换！"));
    return;
  }
  const std::vector<int> rows = SelectedRows(ui_.ListViewFile);
  if (rows.empty()) {
    messages_.Warn(QStringLiteral("请选择需要转换的文件！"));
    return;
  }
  std::vector<fs::path> files;
  for (const int row : rows)
    files.push_back(FileOfRow(ui_.EditInput->text(), *ui_.FolderRows, row));
  const QString caption = format == ShareFormat::Mp3 ? kSaveAsMp3Caption : kSaveAsOpusCaption;
  std::vector<fs::path> targets;
  if (files.size() == 1) {
    const QString ending = QString::fromLatin1(audio::FormatName(format).data());
    // The recording's folder to start with: the output folder when one is set.
    const QString folder =
        ui_.EditOutput->text().isEmpty() ? QDir::homePath() : ui_.EditOutput->text();
    const fs::path proposed = audio::SharedFileFor(files::PathOf(folder), files[0], format);
    const auto chosen = folders_.ChooseSaveFile(
        caption, files::PathText(proposed),
        QStringLiteral("%1 (*.%2)")
            .arg(format == ShareFormat::Mp3 ? QStringLiteral("MP3") : QStringLiteral("Opus"),
                 ending));
    if (!chosen) return;
    targets.push_back(files::PathOf(*chosen));
  } else {
    const auto folder = folders_.ChooseFolder(
        QStringLiteral("请选择目录:"),
        ui_.EditOutput->text().isEmpty() ? QDir::homePath() : ui_.EditOutput->text());
    if (!folder) return;
    for (const auto& file : files)
      targets.push_back(audio::SharedFileFor(files::PathOf(*folder), file, format));
  }
  Start(std::move(files), std::move(targets), format);
}

void ShareController::Start(std::vector<fs::path> files, std::vector<fs::path> targets,
                            ShareFormat format) {
  running_ = true;
  SetLockedControls(false);
  jobs_.Start(JobHost::Priority::Normal, [&](JobHost::Port port) {
    return std::make_unique<Job>(*this, port, std::move(files), std::move(targets), format);
  });
}

// The conversion's buttons, whose bars the job borrows, and the folder
// buttons, which would change the rows under it.
void ShareController::SetLockedControls(bool enabled) {
  for (QWidget* w : {static_cast<QWidget*>(ui_.BitBtn4), static_cast<QWidget*>(ui_.BitBtn5),
                     static_cast<QWidget*>(ui_.BitBtn3), static_cast<QWidget*>(ui_.BitBtnOutput)}) {
    w->setEnabled(enabled);
  }
}

void ShareController::Ended() {
  ui_.Label10->clear();
  ui_.ProgressBar1->setValue(0);
  ui_.ProgressBar2->setValue(0);
  SetLockedControls(true);
  running_ = false;
}

}  // namespace parlomax::app
