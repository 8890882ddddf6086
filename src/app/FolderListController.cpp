#include "app/FolderListController.h"

#include "app/RecordingListView.h"
#include "platform/shell/FolderChooser.h"

#include <QDir>
#include <QLineEdit>

namespace parlomax::app {

FolderListController::FolderListController(const MainFormControls& ui, WindowState& state,
                                           shell::MessageService& messages, shell::FolderChooser& folders)
    : ui_(ui), state_(state), messages_(messages), folders_(folders) {}

void FolderListController::List(const QString& folder) {
  FolderListFiller list(ui_.ListViewFile);
  const auto listing = catalogue::ListRecordingFolder(catalogue::FolderPath(folder), list, messages_);
  state_.FolderFileCount = listing.fileCount;
  state_.ConversionWorkTotal = listing.conversionWorkTotal;
}

void FolderListController::ChooseFolder() {
  const auto folder = folders_.ChooseFolder(QStringLiteral("请选择目录:"), QDir::homePath());
  if (!folder) return;
  ui_.EditInput->setText(*folder);
  List(ui_.EditInput->text());
}

void FolderListController::TabShown() {
  if (ui_.EditInput->text().isEmpty()) return;
  // A running conversion reads the rows it was started on; listing again
  // under it would change them.
  if (state_.ConvertSelectedRunning || state_.ConvertAllRunning) return;
  List(ui_.EditInput->text());
}

}  // namespace parlomax::app
