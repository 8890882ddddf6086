#include "app/MainUnit.h"

#include "app/SharedGuards.h"
#include "catalogue/RecordingListLayout.h"

#include <QCloseEvent>
#include <QDir>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

namespace parlomax::app {
namespace {

constexpr int kWindowWidth = 643;
constexpr int kWindowHeight = 685;
constexpr int kTimerIntervalMs = 800;

QTimer* StartTimer(QObject* owner, const char* name) {
  auto* timer = new QTimer(owner);
  timer->setObjectName(QString::fromLatin1(name));
  timer->setInterval(kTimerIntervalMs);
  timer->start();
  return timer;
}

}  // namespace

TMainForm::TMainForm(const Platform& platform, QWidget* parent)
    : QWidget(parent),
      platform_(platform),
      remembered_(platform.settingsFile),
      link_(platform.devices, platform.messages),
      decoder_(platform.decoderProgram) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Parlomax录音电话软件"));
  // System menu, minimise and close; the window cannot be maximised.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kWindowWidth, kWindowHeight);
  QFont designFont(QString::fromUtf16(catalogue::kListFontFamily));
  designFont.setPointSize(catalogue::kListFontPointSize);
  setFont(designFont);

  const QString saveFolder = remembered_.Recall(RememberedFolders::Folder::Save);
  ui_ = BuildMainFormControls(
      this, saveFolder.isEmpty() ? InitialSaveFolder() : FolderWithTrailingSlash(saveFolder));
  ui_.EditInput->setText(remembered_.Recall(RememberedFolders::Folder::Computer));
  ui_.EditOutput->setText(remembered_.Recall(RememberedFolders::Folder::Output));
  RememberFolders();
  copy_ = std::make_unique<CopyController>(
      CopyController::Needs{ui_, state_, link_, platform.messages, platform.folders, channel_,
                            [this] { deviceTab_->StartAfreshAfterFault(); }});
  deviceTab_ = std::make_unique<DeviceTabController>(ui_, state_, link_, platform.messages, *copy_);
  export_ = std::make_unique<ExportController>(ui_, state_, platform.messages, platform.automation);
  folderList_ = std::make_unique<FolderListController>(
      ui_, state_, platform.messages, platform.folders, channel_, platform.listCache);
  playback_ = std::make_unique<PlaybackController>(ui_, state_, platform.messages, channel_, decoder_,
                                                   platform.sound);
  conversion_ = std::make_unique<ConversionController>(ui_, state_, platform.messages, platform.folders,
                                                       platform.browser, channel_, decoder_);
  share_ = std::make_unique<ShareController>(ui_, state_, platform.messages, platform.folders,
                                             channel_, decoder_);

  connect(ui_.ButtonExit, &QPushButton::clicked, this, &TMainForm::ButtonExitClick);
  connect(ui_.BitBtnRefersh, &QPushButton::clicked, this, &TMainForm::BitBtnRefershClick);
  connect(ui_.BitBtnSave, &QPushButton::clicked, this, &TMainForm::BitBtnSaveClick);
  connect(ui_.BitBtnUploadAll, &QPushButton::clicked, this, &TMainForm::BitBtnUploadAllClick);
  connect(ui_.BitBtnUpload, &QPushButton::clicked, this, &TMainForm::BitBtnUploadClick);
  connect(ui_.PageControl1, &QTabWidget::currentChanged, this, &TMainForm::PageControl1Change);
  connect(ui_.PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
    if (ui_.PageControl1->widget(index) == ui_.TabSheetComputer) TabSheetComputerShow();
  });
  connect(ui_.BitBtn3, &QPushButton::clicked, this, &TMainForm::BitBtn3Click);
  connect(ui_.BitBtnExport, &QPushButton::clicked, this, &TMainForm::BitBtnExportClick);
  connect(ui_.ListViewFile->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TMainForm::ListViewFileSelectItem);
  connect(ui_.EditSave, &QLineEdit::textChanged, this, &TMainForm::EditSaveChange);
  connect(ui_.BitBtnPlayStart, &QPushButton::clicked, this, &TMainForm::BitBtnPlayStartClick);
  connect(ui_.ListViewFile, &QTreeView::doubleClicked, this, &TMainForm::BitBtnPlayStartClick);
  connect(ui_.BitBtnPlayPause, &QPushButton::clicked, this, &TMainForm::BitBtnPlayPauseClick);
  connect(ui_.BitBtnPlayStop, &QPushButton::clicked, this, &TMainForm::BitBtnPlayStopClick);
  connect(ui_.BitBtn1, &QPushButton::clicked, this, &TMainForm::BitBtn1Click);
  connect(ui_.BitBtn2, &QPushButton::clicked, this, &TMainForm::BitBtn2Click);
  ui_.TrackBar1->installEventFilter(this);
  ui_.ListViewFile->installEventFilter(this);
  connect(ui_.BitBtnOutput, &QPushButton::clicked, this, &TMainForm::BitBtnOutputClick);
  connect(ui_.BitBtn4, &QPushButton::clicked, this, &TMainForm::BitBtn4Click);
  connect(ui_.BitBtn5, &QPushButton::clicked, this, &TMainForm::BitBtn5Click);

  TimerUSBConnect = StartTimer(this, "TimerUSBConnect");
  TimerPlayer = StartTimer(this, "TimerPlayer");
  connect(TimerUSBConnect, &QTimer::timeout, this, &TMainForm::TimerUSBConnectTimer);
  connect(TimerPlayer, &QTimer::timeout, this, &TMainForm::TimerPlayerTimer);
}

void TMainForm::RememberFolders() {
  using Folder = RememberedFolders::Folder;
  for (const auto& [edit, which] :
       {std::pair{ui_.EditSave, Folder::Save}, std::pair{ui_.EditInput, Folder::Computer},
        std::pair{ui_.EditOutput, Folder::Output}}) {
    connect(edit, &QLineEdit::textChanged, this, [this, which](const QString& folder) {
      if (!folder.isEmpty()) remembered_.Remember(which, folder);
    });
  }
}

TMainForm::~TMainForm() {
  // Every job ends, and its thread with it, while the window still stands.
  copy_.reset();
  conversion_.reset();
  share_.reset();
  playback_.reset();
}

bool TMainForm::SharedGuardsPass() { return app::SharedGuardsPass(state_, platform_.messages); }

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A restore from the task bar is the window system's doing, not a new showing.
  if (!event->spontaneous()) FormShow();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TMainForm::FormShow() { deviceTab_->AtShow(); }

void TMainForm::FormClose() {
  // Each job gets a short moment to notice; the telephone is then released,
  // after whatever exchange a job still has under way.
  copy_->StopForExit();
  // A telephone that was never opened is not touched; one that was is
  // released, even when it has been unplugged since.
  link_.CloseAtExit();
}

void TMainForm::ButtonExitClick() { close(); }

void TMainForm::BitBtnSaveClick() { copy_->ChooseSaveFolder(); }

void TMainForm::BitBtnUploadAllClick() { copy_->StartOrStop(transfer::JobKind::AllRecordings); }

void TMainForm::BitBtnUploadClick() { copy_->StartOrStop(transfer::JobKind::SelectedRecordings); }

void TMainForm::PageControl1Change(int) {}

void TMainForm::TimerUSBConnectTimer() { deviceTab_->WatchConnection(); }

void TMainForm::BitBtnRefershClick() { deviceTab_->RequestList(); }

void TMainForm::UnlockDeviceTab() { deviceTab_->Unlock(); }

void TMainForm::LockDeviceTab(bool emptyList) { deviceTab_->Lock(emptyList); }

void TMainForm::BitBtnExportClick() { export_->Export(); }

void TMainForm::BitBtn3Click() { folderList_->ChooseFolder(); }

void TMainForm::TabSheetComputerShow() { folderList_->TabShown(); }

void TMainForm::ListViewFileSelectItem() {}

void TMainForm::EditSaveChange(const QString&) {}

void TMainForm::TimerPlayerTimer() { playback_->Refresh(); }

void TMainForm::BitBtnPlayStartClick() { playback_->Play(); }

void TMainForm::BitBtnPlayPauseClick() { playback_->Pause(); }

void TMainForm::BitBtnPlayStopClick() { playback_->Stop(); }

void TMainForm::BitBtn1Click() { playback_->Next(); }

void TMainForm::BitBtn2Click() { playback_->Previous(); }

void TMainForm::BitBtnOutputClick() { conversion_->ChooseOutputFolder(); }

void TMainForm::BitBtn4Click() { conversion_->StartOrCancel(audio::ConversionKind::Selected); }

void TMainForm::BitBtn5Click() { conversion_->StartOrCancel(audio::ConversionKind::All); }

void TMainForm::TrackBar1Enter() { playback_->SetSeekWatch(true); }

void TMainForm::TrackBar1Exit() { playback_->SetSeekWatch(false); }

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  // Space and Enter play on the list and the bar before these take them
  // (the list would select with Space, the bar ignore it).
  if ((watched == ui_.ListViewFile || watched == ui_.TrackBar1) &&
      event->type() == QEvent::KeyPress &&
      playback_->TakeKey(static_cast<QWidget*>(watched), *static_cast<QKeyEvent*>(event))) {
    return true;
  }
  if (watched == ui_.TrackBar1) {
    if (event->type() == QEvent::FocusIn) TrackBar1Enter();
    if (event->type() == QEvent::FocusOut) TrackBar1Exit();
    playback_->Watch(*event);
  }
  return QWidget::eventFilter(watched, event);  // nothing is taken away from the bar
}

}  // namespace parlomax::app
