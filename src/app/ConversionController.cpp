#include "app/ConversionController.h"

#include "app/MainFormLayout.h"
#include "app/RecordingListView.h"
#include "catalogue/FolderList.h"
#include "platform/shell/FolderBrowser.h"
#include "platform/shell/FolderChooser.h"
#include "platform/shell/MessageService.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

namespace parlomax::app {
namespace {

using audio::ConversionKind;

const QString kStopPlayingMessage = QStringLiteral("请先停止播放文件！");
const QString kChooseOutputMessage = QStringLiteral("请选择转换的输出目录！");
const QString kChooseFilesMessage = QStringLiteral("请选择需要转换的文件！");
const QString kFolderBeingReadMessage = QStringLiteral("目录还在读取中，请稍候再转换全部文件。");
const QString kCancelCaption = QStringLiteral("停止转换");


}  // namespace

// One job's progress on its way to the window's thread, and the job itself:
// both live until the job's thread has ended. Bars and label of a job that
// was cancelled, or followed by another, are dropped; its end is still
// applied while no later job has started.
class ConversionController::JobView final : public audio::ConversionView, public JobHost::Job {
 public:
  using SetupFor = std::function<audio::ConversionSetup(audio::ConversionView&)>;
  JobView(ConversionController& owner, JobHost::Port port, ConversionKind kind, const SetupFor& setupFor)
      : owner_(owner), port_(port), kind_(kind), job_(setupFor(*this)) {}

  void Run(std::stop_token stop) override { job_.Run(std::move(stop)); }

  void ShowFileName(const QString& name) override {
    port_.Post([label = Label(), name] { label->setText(name); });
  }
  void SetFileBar(std::uint32_t value, std::uint32_t maximum) override {
    port_.Post([&ui = owner_.ui_, value, maximum] { SetProgressBar(ui.ProgressBar1, value, maximum); });
  }
  void SetTotalBar(std::uint32_t value, std::uint32_t maximum) override {
    port_.Post([&ui = owner_.ui_, value, maximum] { SetProgressBar(ui.ProgressBar2, value, maximum); });
  }
  void RestoreControls() override {
    port_.PostEnd([&owner = owner_, kind = kind_] { owner.Restore(kind); });
  }
  void EndJob(bool completed) override {
    port_.PostEnd([&owner = owner_, kind = kind_, completed] { owner.End(kind, completed); });
  }
  void ErrorStop() override {
    port_.PostEnd([&owner = owner_, kind = kind_] { owner.ErrorStop(kind); });
  }

 private:
  QLabel* Label() const { return kind_ == ConversionKind::Selected ? owner_.ui_.Label10 : owner_.ui_.Label11; }

  ConversionController& owner_;
  const JobHost::Port port_;
  const ConversionKind kind_;
  audio::ConversionJob job_;
};

ConversionController::ConversionController(const MainFormControls& ui, WindowState& state,
                                           shell::MessageService& messages,
                                           shell::FolderChooser& folders,
                                           shell::FolderBrowser& browser,
                                           shell::ThreadChannel& channel,
                                           const audio::ExternalDecoder& decoder)
    : ui_(ui),
      state_(state),
      messages_(messages),
      folders_(folders),
      browser_(browser),
      decoder_(decoder),
      jobs_(channel, "parlomax-wav") {}

ConversionController::~ConversionController() {
  jobs_.Silence();
  jobs_.StopAll();
}

void ConversionController::ChooseOutputFolder() {
  const auto folder = folders_.ChooseFolder(QStringLiteral("请选择目录:"), QDir::homePath());
  if (folder) ui_.EditOutput->setText(*folder);
}

QString ConversionController::OutputFolder() const {
  // Until one is chosen, the WAV files go beside the recordings.
  return ui_.EditOutput->text().isEmpty() ? ui_.EditInput->text() : ui_.EditOutput->text();
}

std::atomic<bool>& ConversionController::FlagOf(ConversionKind kind) {
  return kind == ConversionKind::Selected ? state_.ConvertSelectedRunning : state_.ConvertAllRunning;
}

QPushButton* ConversionController::ButtonOf(ConversionKind kind) const {
  return kind == ConversionKind::Selected ? ui_.BitBtn4 : ui_.BitBtn5;
}

QPushButton* ConversionController::OtherButton(ConversionKind kind) const {
  return kind == ConversionKind::Selected ? ui_.BitBtn5 : ui_.BitBtn4;
}

void ConversionController::StartOrCancel(ConversionKind kind) {
  std::atomic<bool>& running = FlagOf(kind);
  if (running) {
    // The job stops at its next look at its flag; what it still reports
    // until then is not shown, but its end puts the controls back.
    running = false;
    jobs_.Silence();
    return;
  }
  if (state_.PlayState != PlayState::Stopped) {
    messages_.Warn(kStopPlayingMessage);
    return;
  }
  if (OutputFolder().isEmpty()) {
    messages_.Warn(kChooseOutputMessage);
    return;
  }
  if (kind == ConversionKind::All && state_.FolderBeingRead) {
    messages_.Warn(kFolderBeingReadMessage);
    return;
  }
  if (kind == ConversionKind::Selected && SelectedRows(ui_.ListViewFile).empty()) {
    messages_.Warn(kChooseFilesMessage);
    return;
  }
  if (kind == ConversionKind::All) ui_.ListViewFile->clearSelection();
  Start(kind);
}

void ConversionController::Start(ConversionKind kind) {
  FlagOf(kind) = true;
  jobOutput_ = OutputFolder();
  SetLockedControls(kind, false);
  ButtonOf(kind)->setText(kCancelCaption);

  // The files the rows show, by name and in the list's order: a file that
  // came into the folder since the listing takes no row's place.
  // "All" is every file of the folder, whatever the find bar narrows the
  // list to; the selected ones go in the order shown.
  std::vector<int> rows;
  if (kind == ConversionKind::All) {
    for (int row = 0; row < ui_.FolderRows->rowCount(); ++row) rows.push_back(row);
  } else {
    rows = SelectedRows(ui_.ListViewFile);
  }
  std::vector<std::filesystem::path> files;
  for (const int row : rows)
    files.push_back(FileOfRow(ui_.EditInput->text(), *ui_.FolderRows, row));
  const auto setupFor = [&](audio::ConversionView& view) {
    return audio::ConversionSetup{kind,
                                  decoder_,
                                  messages_,
                                  view,
                                  FlagOf(kind),
                                  std::move(files),
                                  catalogue::FolderPath(jobOutput_),
                                  state_.ConversionWorkTotal};
  };
  jobs_.Start(JobHost::Priority::Normal,
              [&](JobHost::Port port) { return std::make_unique<JobView>(*this, port, kind, setupFor); });
}

void ConversionController::SetLockedControls(ConversionKind kind, bool enabled) {
  for (QWidget* w : {static_cast<QWidget*>(ui_.BitBtnPlayStart), static_cast<QWidget*>(ui_.BitBtnPlayPause),
                     static_cast<QWidget*>(ui_.BitBtnPlayStop), static_cast<QWidget*>(ui_.BitBtn1),
                     static_cast<QWidget*>(ui_.BitBtn2), static_cast<QWidget*>(ui_.BitBtn3),
                     static_cast<QWidget*>(ui_.BitBtnOutput), static_cast<QWidget*>(OtherButton(kind))}) {
    w->setEnabled(enabled);
  }
}

void ConversionController::Restore(ConversionKind kind) {
  SetLockedControls(kind, true);
}

void ConversionController::End(ConversionKind kind, bool completed) {
  ui_.ProgressBar2->setValue(0);
  if (completed) browser_.ShowFolder(jobOutput_);
  BackToRest(kind);
}

void ConversionController::ErrorStop(ConversionKind kind) {
  ui_.ProgressBar1->setValue(0);
  ui_.ProgressBar2->setValue(0);
  for (QWidget* w : {ui_.BitBtn3, ui_.BitBtnOutput, ui_.BitBtn1, ui_.BitBtn2, OtherButton(kind)}) {
    w->setEnabled(true);
  }
  BackToRest(kind);
}

void ConversionController::BackToRest(ConversionKind kind) {
  (kind == ConversionKind::Selected ? ui_.Label10 : ui_.Label11)->clear();
  FlagOf(kind) = false;
  ButtonOf(kind)->setText(kind == ConversionKind::Selected ? QStringLiteral("转换选择")
                                                          : QStringLiteral("转换全部"));
  jobs_.Silence();
}

}  // namespace parlomax::app
