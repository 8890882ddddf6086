#include "app/MainUnit.h"

#include <QCloseEvent>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <initializer_list>

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

void SetEnabled(std::initializer_list<QWidget*> widgets, bool enabled) {
  for (QWidget* w : widgets) w->setEnabled(enabled);
}

QString InitialSaveFolder() {
  QString home = QDir::homePath();
  while (home.endsWith(QLatin1Char('/'))) home.chop(1);
  return home + QLatin1Char('/');
}

TMainForm::TMainForm(const Platform& platform, QWidget* parent)
    : QWidget(parent), platform_(platform), link_(platform.devices, platform.messages) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Parlomax录音电话软件"));
  // System menu, minimise and close; the window cannot be maximised.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kWindowWidth, kWindowHeight);
  QFont designFont(QStringLiteral("MS Sans Serif"));
  designFont.setPointSize(8);
  setFont(designFont);

  ui_ = BuildMainFormControls(this, InitialSaveFolder());

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
  connect(ui_.ListViewFile, &QTreeWidget::itemSelectionChanged, this,
          &TMainForm::ListViewFileSelectItem);
  connect(ui_.EditSave, &QLineEdit::textChanged, this, &TMainForm::EditSaveChange);

  TimerUSBConnect = StartTimer(this, "TimerUSBConnect");
  TimerPlayer = StartTimer(this, "TimerPlayer");
  connect(TimerUSBConnect, &QTimer::timeout, this, &TMainForm::TimerUSBConnectTimer);
  connect(TimerPlayer, &QTimer::timeout, this, &TMainForm::TimerPlayerTimer);
}

TMainForm::~TMainForm() { StopAndWaitForJobs(); }

bool TMainForm::SharedGuardsPass() {
  if (state_.PlayState != PlayState::Stopped) {
    platform_.messages.Warn(QStringLiteral("请先停止播放！"));
    return false;
  }
  if (state_.ConvertSelectedRunning || state_.ConvertAllRunning) {
    platform_.messages.Warn(QStringLiteral("请先停止转换！"));
    return false;
  }
  return true;
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A restore from the task bar is the window system's doing, not a new showing.
  if (!event->spontaneous()) FormShow();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TMainForm::FormShow() {
  SetEnabled({ui_.BitBtnUploadAll, ui_.BitBtnUpload, ui_.BitBtnRefersh, ui_.BitBtnSave,
              ui_.ListViewMCU, ui_.BitBtnExport},
             false);
  link_.LoggedIn = false;
  link_.DeviceOpen = false;
  ui_.BitBtnConnect->setText(QStringLiteral("USB未连接"));
  ui_.BitBtnConnect->setEnabled(false);
}

void TMainForm::FormClose() {
  // Each job gets a short moment to notice; the telephone is then released,
  // after whatever exchange a job still has under way.
  for (transfer::CopyJob* job : {selectedJob_, allJob_}) {
    if (job == nullptr) continue;
    job->RequestStop();
    job->WaitFor(kStopGrace);
  }
  // A telephone that was never opened is not touched; one that was is
  // released, even when it has been unplugged since.
  link_.CloseAtExit();
}

void TMainForm::ButtonExitClick() { close(); }

void TMainForm::PageControl1Change(int) {}

void TMainForm::EditSaveChange(const QString&) {}

void TMainForm::TimerPlayerTimer() {}

}  // namespace parlomax::app
