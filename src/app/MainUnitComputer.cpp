// The PC tab's folder and its list of recording files.
#include "app/MainUnit.h"

#include "app/RecordingListView.h"
#include "platform/shell/FolderChooser.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace parlomax::app {

void TMainForm::ListRecordingFolder(const QString& folder) {
  FolderListFiller list(ui_.ListViewFile);
  const auto listing =
      catalogue::ListRecordingFolder(catalogue::FolderPath(folder), list, platform_.messages);
  state_.FolderFileCount = listing.fileCount;
  state_.ConversionWorkTotal = listing.conversionWorkTotal;
}

void TMainForm::BitBtn3Click() {
  const auto folder =
      platform_.folders.ChooseFolder(QStringLiteral("请选择目录:"), QDir::homePath());
  if (!folder) return;
  // The root folder comes back as "", which the file paths built from it
  // ("folder/name") turn into "/name".
  ui_.EditInput->setText(folder->isEmpty() ? QStringLiteral("/") : *folder);
  ListRecordingFolder(ui_.EditInput->text());
}

void TMainForm::TabSheetComputerShow() {
  if (ui_.EditInput->text().isEmpty()) return;
  // A running conversion reads the rows it was started on; listing again
  // under it would change them.
  if (state_.ConvertSelectedRunning || state_.ConvertAllRunning) return;
  ListRecordingFolder(ui_.EditInput->text());
}

void TMainForm::ListViewFileSelectItem() {}

}  // namespace parlomax::app
