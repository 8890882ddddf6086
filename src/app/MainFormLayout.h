#pragma once

#include <cstdint>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QString;
class QPushButton;
class QSlider;
class QTabWidget;
class QTreeView;
class QWidget;

namespace parlomax::app {

class DeviceRecordingRows;
class FolderRecordingRows;

// Every control of the main window, each with its design name as its
// objectName, laid out in the window's order.
struct MainFormControls {
  QPushButton* BitBtnConnect;
  QPushButton* ButtonExit;
  QTabWidget* PageControl1;

  QWidget* TabSheetMCU;
  QTreeView* ListViewMCU;
  QGroupBox* GroupBox1;
  QLineEdit* EditSave;
  QPushButton* BitBtnSave;
  QLineEdit* EditFileList;
  QPushButton* BitBtnRefersh;
  QPushButton* BitBtnExport;
  QPushButton* BitBtnUpload;
  QPushButton* BitBtnUploadAll;
  QLabel* LabelUpload;
  QProgressBar* ProgressBarUploadPacket;
  QProgressBar* ProgressBarUpload;

  QWidget* TabSheetComputer;
  QLineEdit* EditInput;
  QPushButton* BitBtn3;
  QTreeView* ListViewFile;
  QPushButton* BitBtnPlayStart;
  QPushButton* BitBtnPlayPause;
  QPushButton* BitBtnPlayStop;
  QPushButton* BitBtn2;
  QPushButton* BitBtn1;
  QSlider* TrackBar1;
  QLabel* Label3;
  QLabel* Label5;
  QLabel* Label4;
  QGroupBox* GroupBox3;
  QLineEdit* EditOutput;
  QPushButton* BitBtnOutput;
  QProgressBar* ProgressBar1;
  QLabel* Label10;
  QPushButton* BitBtn4;
  QProgressBar* ProgressBar2;
  QLabel* Label11;
  QPushButton* BitBtn5;

  // What the two lists show.
  DeviceRecordingRows* DeviceRows;
  FolderRecordingRows* FolderRows;
};

// Builds the controls into `form` with their captions and states at start.
// `saveFolder` is the first content of EditSave.
MainFormControls BuildMainFormControls(QWidget* form, const QString& saveFolder);

// Shows `value` of `maximum` on a bar. An empty range would make the bar an
// endless busy animation, so an empty job shows an empty bar; a count that
// runs past its estimate shows a full bar rather than one stuck where it was.
void SetProgressBar(QProgressBar* bar, std::uint32_t value, std::uint32_t maximum);

}  // namespace parlomax::app
