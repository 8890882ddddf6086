// The copy jobs as the window sees them: the save folder, the two start/stop
// buttons, and the controls that follow a job's start and end.
#include "app/MainUnit.h"

#include "app/RecordingListView.h"
#include "platform/shell/FolderChooser.h"
#include "transfer/StorageSingleThreadUnit.h"
#include "transfer/StorageThreadUnit.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace parlomax::app {
namespace {

using transfer::JobKind;

constexpr int kUploadLabelWidth = 300;
const QString kCancelCaption = QStringLiteral("取消上传");
const QString kUploadSelectedCaption = QStringLiteral("上传选择");
const QString kUploadAllCaption = QStringLiteral("上传全部");
// What the all-recordings button says after that job has run to its own end.
const QString kUploadAllDoneCaption = QStringLiteral("上传所有");

}  // namespace

void TMainForm::BitBtnSaveClick() {
  const auto folder =
      platform_.folders.ChooseFolder(QStringLiteral("请选择目录:"), QDir::homePath());
  if (folder) ui_.EditSave->setText(*folder + QLatin1Char('/'));
}

void TMainForm::BitBtnUploadAllClick() {
  if (!SharedGuardsPass() || !link_.LoggedIn()) return;
  if (state_.UploadAllRunning) {
    StopCopyJob(JobKind::AllRecordings);
  } else {
    StartCopyJob(JobKind::AllRecordings, {});
  }
}

void TMainForm::BitBtnUploadClick() {
  if (!SharedGuardsPass() || !link_.LoggedIn()) return;
  if (state_.UploadSelectedRunning) {
    StopCopyJob(JobKind::SelectedRecordings);
    return;
  }
  auto selected = SelectedRecordIndexes();
  if (!selected.empty()) StartCopyJob(JobKind::SelectedRecordings, std::move(selected));
}

std::vector<std::uint16_t> TMainForm::SelectedRecordIndexes() const {
  std::vector<std::uint16_t> indexes;
  for (int row = 0; row < ui_.ListViewMCU->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = ui_.ListViewMCU->topLevelItem(row);
    if (!item->isSelected()) continue;
    if (const auto index = RecordIndexOfRow(item)) indexes.push_back(*index);
  }
  return indexes;
}

void TMainForm::StartCopyJob(JobKind kind, std::vector<std::uint16_t> selected) {
  const bool all = kind == JobKind::AllRecordings;
  (all ? state_.UploadAllRunning : state_.UploadSelectedRunning) = true;
  SwitchControlsForCopy(kind, true);
  ResetUploadProgress();

  const std::uint64_t generation = copyUpdates_.Begin();
  auto view = std::make_unique<WindowTransferView>(*this, copyUpdates_, generation);
  transfer::JobSetup setup{link_, platform_.messages, *view, ui_.EditSave->text(), generation};
  std::unique_ptr<transfer::CopyJob> job;
  if (all) {
    job = std::make_unique<transfer::TStorgeThread>(std::move(setup));
  } else {
    job = std::make_unique<transfer::TStorageSingleThread>(std::move(setup), std::move(selected));
  }
  transfer::CopyJob* started = job.get();
  (all ? allJob_ : selectedJob_) = started;
  jobs_.push_back({std::move(view), std::move(job)});
  // An ended job is forgotten on the window's thread: no stop request can
  // reach it afterwards, and its thread is joined.
  started->Start(all ? transfer::CopyJob::Priority::Lowest : transfer::CopyJob::Priority::Normal,
                 [this, started] { channel_.Post([this, started] { ForgetCopyJob(started); }); });
}

void TMainForm::ForgetCopyJob(transfer::CopyJob* job) {
  if (allJob_ == job) allJob_ = nullptr;
  if (selectedJob_ == job) selectedJob_ = nullptr;
  std::erase_if(jobs_, [job](const CopyJobRun& run) { return run.job.get() == job; });
}

void TMainForm::StopCopyJob(JobKind kind) {
  const bool all = kind == JobKind::AllRecordings;
  (all ? state_.UploadAllRunning : state_.UploadSelectedRunning) = false;
  if (transfer::CopyJob* job = all ? allJob_ : selectedJob_) {
    job->RequestStop();
    job->WaitFor(kStopGrace);
  }
  // What the job still reports until it notices no longer shows.
  copyUpdates_.Retire();
  SwitchControlsForCopy(kind, false);
  if (all) ui_.BitBtnUploadAll->setText(kUploadAllCaption);
  ResetUploadProgress();
}

void TMainForm::EndCopyJob(JobKind kind, std::uint64_t generation, bool stopped) {
  // A job stopped and then followed by another must not undo the newer
  // job's window.
  if (!copyUpdates_.IsLatest(generation)) return;
  copyUpdates_.Retire();
  const bool all = kind == JobKind::AllRecordings;
  ResetUploadProgress();
  SwitchControlsForCopy(kind, false);
  if (all) ui_.BitBtnUploadAll->setText(stopped ? kUploadAllCaption : kUploadAllDoneCaption);
  (all ? state_.UploadAllRunning : state_.UploadSelectedRunning) = false;
}

void TMainForm::SwitchControlsForCopy(JobKind kind, bool running) {
  SetEnabled({ui_.BitBtnRefersh, ui_.BitBtnExport, ui_.BitBtnSave}, !running);
  ui_.PageControl1->setTabEnabled(ui_.PageControl1->indexOf(ui_.TabSheetComputer), !running);
  if (kind == JobKind::AllRecordings) {
    ui_.BitBtnUpload->setEnabled(!running);
    ui_.BitBtnUploadAll->setEnabled(true);
    if (running) ui_.BitBtnUploadAll->setText(kCancelCaption);
  } else {
    ui_.BitBtnUploadAll->setEnabled(!running);
    ui_.ListViewMCU->setEnabled(!running);
    ui_.BitBtnUpload->setEnabled(true);
    ui_.BitBtnUpload->setText(running ? kCancelCaption : kUploadSelectedCaption);
  }
}

void TMainForm::ResetUploadProgress() {
  ui_.ProgressBarUploadPacket->setRange(0, 100);
  ui_.ProgressBarUploadPacket->setValue(0);
  ui_.ProgressBarUpload->setRange(0, 100);
  ui_.ProgressBarUpload->setValue(0);
  ShowUploadProgressText(QStringLiteral("上传进度"));
}

void TMainForm::ShowUploadProgressText(const QString& text) {
  ui_.LabelUpload->setText(text);
  ui_.LabelUpload->setFixedWidth(kUploadLabelWidth);
}

void TMainForm::StopAndWaitForJobs() {
  for (auto& run : jobs_) run.job->RequestStop();
  for (auto& run : jobs_) run.job->Wait();
  jobs_.clear();
  allJob_ = selectedJob_ = nullptr;
}

}  // namespace parlomax::app
