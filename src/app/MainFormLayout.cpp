#include "app/MainFormLayout.h"

#include "app/HintedTreeView.h"
#include "app/ListFindBar.h"
#include "app/RecordingListView.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace parlomax::app {
namespace {

// Narrow margins leave the lists room for all seven columns without scrolling.
constexpr int kTabMargin = 4;

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  return Named(new QPushButton(caption, parent), name);
}

// A button that shows only a picture.
const QString kChooseFolder = QStringLiteral("选择目录");

// A button that shows a picture only: what it does is said on hover and to
// a screen reader.
QPushButton* PictureButton(const char* name, QStyle::StandardPixmap picture, const QString& what, QWidget* parent) {
  auto* button = Named(new QPushButton(parent), name);
  button->setIcon(parent->style()->standardIcon(picture));
  button->setFixedWidth(40);
  button->setToolTip(what);
  button->setAccessibleName(what);
  return button;
}

QProgressBar* Bar(const char* name, QWidget* parent) {
  auto* bar = Named(new QProgressBar(parent), name);
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  return bar;
}

template <typename View = QTreeView>
QTreeView* RecordingList(const char* name, RecordingRows* rows, const char* findName,
                         QWidget* parent) {
  auto* list = Named(new View(parent), name);
  SetUpRecordingListView(list, rows);
  new ListFindBar(list, findName);
  return list;
}

void BuildDeviceTab(MainFormControls& c, const QString& saveFolder) {
  QWidget* tab = c.TabSheetMCU;
  c.DeviceRows = new DeviceRecordingRows(tab);
  c.ListViewMCU = RecordingList<HintedTreeView>("ListViewMCU", c.DeviceRows, "EditFindMCU", tab);
  // The telephone's list hides its selection while it does not have the focus.
  QPalette palette = c.ListViewMCU->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Base));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Text));
  c.ListViewMCU->setPalette(palette);

  c.GroupBox1 = Named(new QGroupBox(QStringLiteral("保存位置"), tab), "GroupBox1");
  c.EditSave = Named(new QLineEdit(saveFolder, c.GroupBox1), "EditSave");
  c.EditSave->setReadOnly(true);
  c.BitBtnSave = PictureButton("BitBtnSave", QStyle::SP_DirOpenIcon, kChooseFolder, c.GroupBox1);
  c.EditFileList = Named(new QLineEdit(QStringLiteral("电话列表List"), c.GroupBox1), "EditFileList");
  auto* folderRow = new QGridLayout(c.GroupBox1);
  folderRow->addWidget(new QLabel(QStringLiteral("目录"), c.GroupBox1), 0, 0);
  folderRow->addWidget(c.EditSave, 0, 1);
  folderRow->addWidget(c.BitBtnSave, 0, 2);
  folderRow->addWidget(new QLabel(QStringLiteral("文件名.."), c.GroupBox1), 0, 3);
  folderRow->addWidget(c.EditFileList, 0, 4);
  folderRow->setColumnStretch(1, 3);
  folderRow->setColumnStretch(4, 2);

  c.BitBtnRefersh = Button("BitBtnRefersh", QStringLiteral("上传列表"), tab);
  c.BitBtnExport = Button("BitBtnExport", QStringLiteral("导出列表"), tab);
  c.BitBtnUpload = Button("BitBtnUpload", QStringLiteral("上传选择"), tab);
  c.BitBtnUploadAll = Button("BitBtnUploadAll", QStringLiteral("上传全部"), tab);
  auto* buttons = new QHBoxLayout;
  for (auto* b : {c.BitBtnRefersh, c.BitBtnExport, c.BitBtnUpload, c.BitBtnUploadAll}) {
    buttons->addWidget(b);
  }

  c.LabelUpload = Named(new QLabel(QStringLiteral("上传进度   "), tab), "LabelUpload");
  c.ProgressBarUploadPacket = Bar("ProgressBarUploadPacket", tab);
  c.ProgressBarUpload = Bar("ProgressBarUpload", tab);

  auto* layout = new QVBoxLayout(tab);
  layout->setContentsMargins(kTabMargin, kTabMargin, kTabMargin, kTabMargin);
  layout->addWidget(c.ListViewMCU, 1);
  layout->addWidget(c.GroupBox1);
  layout->addLayout(buttons);
  layout->addWidget(c.LabelUpload);
  layout->addWidget(c.ProgressBarUploadPacket);
  layout->addWidget(c.ProgressBarUpload);
}

QHBoxLayout* BuildPlayerRow(MainFormControls& c) {
  QWidget* tab = c.TabSheetComputer;
  c.BitBtnPlayStart = PictureButton("BitBtnPlayStart", QStyle::SP_MediaPlay, QStringLiteral("播放"), tab);
  c.BitBtnPlayPause = PictureButton("BitBtnPlayPause", QStyle::SP_MediaPause, QStringLiteral("暂停"), tab);
  c.BitBtnPlayStop = PictureButton("BitBtnPlayStop", QStyle::SP_MediaStop, QStringLiteral("停止"), tab);
  c.BitBtn2 = PictureButton("BitBtn2", QStyle::SP_MediaSkipBackward, QStringLiteral("上一个"), tab);
  c.BitBtn1 = PictureButton("BitBtn1", QStyle::SP_MediaSkipForward, QStringLiteral("下一个"), tab);
  c.TrackBar1 = Named(new QSlider(Qt::Horizontal, tab), "TrackBar1");
  c.TrackBar1->setRange(0, 25);
  c.TrackBar1->setTickPosition(QSlider::TicksAbove);
  c.TrackBar1->setTickInterval(1);
  c.Label3 = Named(new QLabel(QStringLiteral("00:00:00"), tab), "Label3");
  c.Label5 = Named(new QLabel(QStringLiteral("/"), tab), "Label5");
  c.Label4 = Named(new QLabel(QStringLiteral("00:00:00"), tab), "Label4");

  auto* row = new QHBoxLayout;
  for (auto* b : {c.BitBtnPlayStart, c.BitBtnPlayPause, c.BitBtnPlayStop, c.BitBtn2, c.BitBtn1}) {
    row->addWidget(b);
  }
  row->addWidget(c.TrackBar1, 1);
  row->addWidget(c.Label3);
  row->addWidget(c.Label5);
  row->addWidget(c.Label4);
  return row;
}

QGroupBox* BuildConversionGroup(MainFormControls& c) {
  c.GroupBox3 = Named(new QGroupBox(QStringLiteral("转换WAV文件"), c.TabSheetComputer), "GroupBox3");
  QGroupBox* box = c.GroupBox3;
  c.EditOutput = Named(new QLineEdit(box), "EditOutput");
  c.EditOutput->setReadOnly(true);
  c.EditOutput->setEnabled(false);
  c.BitBtnOutput = PictureButton("BitBtnOutput", QStyle::SP_DirOpenIcon, kChooseFolder, box);
  c.ProgressBar1 = Bar("ProgressBar1", box);
  c.Label10 = Named(new QLabel(box), "Label10");
  c.BitBtn4 = Button("BitBtn4", QStringLiteral("转换选择"), box);
  c.ProgressBar2 = Bar("ProgressBar2", box);
  c.Label11 = Named(new QLabel(box), "Label11");
  c.BitBtn5 = Button("BitBtn5", QStringLiteral("转换全部"), box);

  auto* grid = new QGridLayout(box);
  grid->addWidget(new QLabel(QStringLiteral("输出目录.."), box), 0, 0);
  grid->addWidget(c.EditOutput, 0, 1, 1, 2);
  grid->addWidget(c.BitBtnOutput, 0, 3);
  grid->addWidget(new QLabel(QStringLiteral("当前进度.."), box), 1, 0);
  grid->addWidget(c.ProgressBar1, 1, 1);
  grid->addWidget(c.Label10, 1, 2);
  grid->addWidget(c.BitBtn4, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("总体进度.."), box), 2, 0);
  grid->addWidget(c.ProgressBar2, 2, 1);
  grid->addWidget(c.Label11, 2, 2);
  grid->addWidget(c.BitBtn5, 2, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(2, 60);
  return box;
}

void BuildComputerTab(MainFormControls& c) {
  QWidget* tab = c.TabSheetComputer;
  c.EditInput = Named(new QLineEdit(tab), "EditInput");
  c.EditInput->setEnabled(false);
  c.BitBtn3 = PictureButton("BitBtn3", QStyle::SP_DirOpenIcon, kChooseFolder, tab);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(new QLabel(QStringLiteral("当前目录："), tab));
  folderRow->addWidget(c.EditInput, 1);
  folderRow->addWidget(c.BitBtn3);

  c.FolderRows = new FolderRecordingRows(tab);
  c.ListViewFile = RecordingList("ListViewFile", c.FolderRows, "EditFind", tab);

  auto* layout = new QVBoxLayout(tab);
  layout->setContentsMargins(kTabMargin, kTabMargin, kTabMargin, kTabMargin);
  layout->addLayout(folderRow);
  layout->addWidget(c.ListViewFile, 1);
  layout->addLayout(BuildPlayerRow(c));
  layout->addWidget(BuildConversionGroup(c));
}

}  // namespace

MainFormControls BuildMainFormControls(QWidget* form, const QString& saveFolder) {
  MainFormControls c{};
  // The design's caption has a space that the program's own captions lack.
  c.BitBtnConnect = Button("BitBtnConnect", QStringLiteral("USB 未连接"), form);
  c.BitBtnConnect->setEnabled(false);
  c.ButtonExit = Button("ButtonExit", QStringLiteral("退出系统"), form);
  auto* top = new QHBoxLayout;
  top->addWidget(c.BitBtnConnect);
  top->addStretch();
  top->addWidget(c.ButtonExit);

  c.PageControl1 = Named(new QTabWidget(form), "PageControl1");
  c.TabSheetMCU = Named(new QWidget, "TabSheetMCU");
  c.TabSheetComputer = Named(new QWidget, "TabSheetComputer");
  BuildDeviceTab(c, saveFolder);
  BuildComputerTab(c);
  c.PageControl1->addTab(c.TabSheetMCU, QStringLiteral("录音电话机"));
  c.PageControl1->addTab(c.TabSheetComputer, QStringLiteral("PC机"));
  c.PageControl1->setCurrentWidget(c.TabSheetMCU);

  auto* layout = new QVBoxLayout(form);
  layout->setContentsMargins(kTabMargin, kTabMargin, kTabMargin, kTabMargin);
  layout->addLayout(top);
  layout->addWidget(c.PageControl1, 1);
  return c;
}

void SetProgressBar(QProgressBar* bar, std::uint32_t value, std::uint32_t maximum) {
  // A bar counts in int: counts past its range are shown halved.
  value = std::min(value, maximum);
  while (maximum > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) {
    maximum /= 2;
    value /= 2;
  }
  bar->setRange(0, std::max(static_cast<int>(maximum), 1));
  bar->setValue(static_cast<int>(value));
}

}  // namespace parlomax::app
