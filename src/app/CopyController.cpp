#include "app/CopyController.h"

#include "app/RecordingListView.h"
#include "app/RememberedFolders.h"
#include "app/SharedGuards.h"
#include "device/DeviceLink.h"
#include "platform/files/PathText.h"
#include "platform/shell/FolderChooser.h"
#include "transfer/StorageSingleThreadUnit.h"
#include "transfer/StorageThreadUnit.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>

#include <algorithm>

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

// One job's progress on its way to the window's thread, and the job itself:
// both live until the job's thread has ended.
class CopyController::JobView final : public transfer::TransferView, public JobHost::Job {
 public:
  JobView(CopyController& owner, JobHost::Port port, JobKind kind,
          const std::filesystem::path& saveFolder, std::vector<std::uint16_t> selected)
      : owner_(owner), port_(port), kind_(kind) {
    transfer::JobSetup setup{owner.needs_.link, owner.needs_.messages, *this, saveFolder};
    if (kind == JobKind::AllRecordings) {
      job_ = std::make_unique<transfer::TStorgeThread>(std::move(setup),
                                                       owner.ui_.DeviceRows->AllRows());
    } else {
      job_ = std::make_unique<transfer::TStorageSingleThread>(std::move(setup), std::move(selected));
    }
  }

  void Run(std::stop_token stop) override { job_->Run(std::move(stop)); }

  void ShowProgressText(const QString& text) override {
    port_.Post([&owner = owner_, text] { owner.ShowProgressText(text); });
  }
  void SetRecordingBar(std::uint32_t value, std::uint32_t maximum) override {
    port_.Post([&ui = owner_.ui_, value, maximum] { SetProgressBar(ui.ProgressBarUploadPacket, value, maximum); });
  }
  void SetOverallBar(std::uint32_t value, std::uint32_t maximum) override {
    port_.Post([&ui = owner_.ui_, value, maximum] { SetProgressBar(ui.ProgressBarUpload, value, maximum); });
  }
  // A stopped job's end still restores the tab, unless another job has
  // started since or the telephone has gone.
  void EndJob(JobKind kind, bool stopped) override {
    port_.PostEnd([&owner = owner_, kind, stopped] {
      owner.End(kind, stopped);
      owner.ShowCopiedFolder();
    });
  }
  void TelephoneFailed() override {
    port_.PostEnd([&owner = owner_, kind = kind_] { owner.TelephoneFailed(kind); });
  }

 private:
  CopyController& owner_;
  const JobHost::Port port_;
  const JobKind kind_;
  std::unique_ptr<transfer::CopyJob> job_;
};

CopyController::CopyController(Needs needs)
    : needs_(std::move(needs)),
      ui_(needs_.ui),
      jobs_(needs_.channel, "parlomax-copy"),
      safeCopies_(*ui_.DeviceRows, needs_.channel) {}

void CopyController::ChooseSaveFolder() {
  const auto folder = needs_.folders.ChooseFolder(QStringLiteral("请选择目录:"), QDir::homePath());
  if (folder) ui_.EditSave->setText(FolderWithTrailingSlash(*folder));
  if (folder) LookForSafeCopies();
}

void CopyController::LookForSafeCopies() {
  safeCopies_.LookIn(files::PathOf(ui_.EditSave->text()));
}

QString FolderWithTrailingSlash(QString folder) {
  while (folder.endsWith(QLatin1Char('/'))) folder.chop(1);
  return folder + QLatin1Char('/');
}

std::atomic<bool>& CopyController::FlagOf(JobKind kind) {
  return kind == JobKind::AllRecordings ? needs_.state.UploadAllRunning : needs_.state.UploadSelectedRunning;
}

void CopyController::StartOrStop(JobKind kind) {
  if (!SharedGuardsPass(needs_.state, needs_.messages) || !needs_.link.LoggedIn()) return;
  if (FlagOf(kind)) {
    Stop(kind);
    return;
  }
  std::vector<std::uint16_t> selected;
  if (kind == JobKind::SelectedRecordings) {
    selected = SelectedRecordIndexes();
    if (selected.empty()) return;
  }
  Start(kind, std::move(selected));
}

std::vector<std::uint16_t> CopyController::SelectedRecordIndexes() const {
  std::vector<std::uint16_t> indexes;
  // In the telephone's order, whatever order the list shows them in.
  for (const int row : SelectedRows(ui_.ListViewMCU))
    indexes.push_back(ui_.DeviceRows->Row(row).recordIndex);
  std::sort(indexes.begin(), indexes.end());
  return indexes;
}

void CopyController::Start(JobKind kind, std::vector<std::uint16_t> selected) {
  const bool all = kind == JobKind::AllRecordings;
  MakeInitialSaveFolder(ui_.EditSave->text());
  FlagOf(kind) = true;
  SwitchControls(kind, true);
  ResetProgress();
  const auto id = jobs_.Start(
      all ? JobHost::Priority::Lowest : JobHost::Priority::Normal, [&](JobHost::Port port) {
        return std::make_unique<JobView>(*this, port, kind, files::PathOf(ui_.EditSave->text()),
                                         std::move(selected));
      });
  (all ? allJob_ : selectedJob_) = id;
}

void CopyController::Stop(JobKind kind) {
  const bool all = kind == JobKind::AllRecordings;
  FlagOf(kind) = false;
  jobs_.Stop(all ? allJob_ : selectedJob_, kStopGrace);
  // What the job still reports until it notices no longer shows.
  jobs_.Silence();
  SwitchControls(kind, false);
  if (all) ui_.BitBtnUploadAll->setText(kUploadAllCaption);
  ResetProgress();
}

void CopyController::End(JobKind kind, bool stopped) {
  jobs_.Silence();
  LookForSafeCopies();
  ResetProgress();
  SwitchControls(kind, false);
  if (kind == JobKind::AllRecordings) ui_.BitBtnUploadAll->setText(stopped ? kUploadAllCaption : kUploadAllDoneCaption);
  FlagOf(kind) = false;
}

void CopyController::ShowCopiedFolder() {
  // Whoever has just copied calls wants to hear them next.
  if (ui_.EditInput->text().isEmpty())
    ui_.EditInput->setText(files::PathText(files::PathOf(ui_.EditSave->text()).parent_path()));
}

void CopyController::TelephoneFailed(JobKind kind) {
  End(kind, true);
  // The link failed at the job's first command: it is not trusted again
  // until the telephone has been opened and the PIN given afresh.
  needs_.resetTelephoneTab();
}

void CopyController::ForgetTelephone() {
  needs_.state.UploadSelectedRunning = false;
  needs_.state.UploadAllRunning = false;
  // A job still running is doomed and says so at its next command. Nothing
  // it reports until then is shown, nor its end: that would hand back the
  // buttons of a telephone that is no longer there, and call a cut copy
  // complete.
  jobs_.Abandon();
  ResetProgress();
  ui_.PageControl1->setTabEnabled(ui_.PageControl1->indexOf(ui_.TabSheetComputer), true);
  ui_.BitBtnUpload->setText(kUploadSelectedCaption);
  ui_.BitBtnUploadAll->setText(kUploadAllCaption);
}

void CopyController::StopForExit() {
  for (const JobHost::JobId job : {selectedJob_, allJob_}) jobs_.Stop(job, kStopGrace);
}

void CopyController::SwitchControls(JobKind kind, bool running) {
  for (QWidget* w : {ui_.BitBtnRefersh, ui_.BitBtnExport, ui_.BitBtnSave}) w->setEnabled(!running);
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

void CopyController::ResetProgress() {
  ui_.ProgressBarUploadPacket->setRange(0, 100);
  ui_.ProgressBarUploadPacket->setValue(0);
  ui_.ProgressBarUpload->setRange(0, 100);
  ui_.ProgressBarUpload->setValue(0);
  ShowProgressText(QStringLiteral("上传进度"));
}

void CopyController::ShowProgressText(const QString& text) {
  ui_.LabelUpload->setText(text);
  ui_.LabelUpload->setFixedWidth(kUploadLabelWidth);
}

}  // namespace parlomax::app
