#include "app/ExportController.h"

#include "app/RecordingRows.h"
#include "app/RememberedFolders.h"
#include "app/SharedGuards.h"
#include "device/DeviceListReading.h"
#include "export/SpreadsheetExport.h"
#include "platform/files/PathText.h"
#include "platform/shell/MessageService.h"

#include <QLineEdit>
#include <QTreeView>

#include <exception>
#include <filesystem>
#include <system_error>

namespace parlomax::app {
namespace {

// Every row read from the telephone, in its order, whatever the list shows.
exporting::ExportTable TableOf(const RecordingRows& rows, const QWidget* list) {
  exporting::ExportTable table;
  for (int c = 0; c < rows.columnCount(); ++c)
    table.columnCaptions.push_back(rows.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
  table.rows.reserve(rows.rowCount());
  for (int r = 0; r < rows.rowCount(); ++r) {
    QStringList texts = rows.Texts(r);
    exporting::ExportTable::Row row{texts.takeFirst(), {}};
    for (QString& text : texts) row.subItems.push_back(std::move(text));
    table.rows.push_back(std::move(row));
  }
  table.fontName = list->font().family();
  table.fontPointSize = list->font().pointSize();
  return table;
}

}  // namespace

bool ExportController::MayExport(const QString& fileName) {
  const ListShortfall shortfall = state_.DeviceListShortfall;
  if (shortfall.Complete()) return true;
  const QString lacks = shortfall.countRead
                            ? device::RowsMissedText(shortfall.rowsMissed)
                            : QStringLiteral("没有读到电话里有多少个录音，列表不完整。");
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(files::PathOf(fileName), ec))) {
    messages_.Warn(
        lacks + QStringLiteral("\n已有的 %1 没有被替换。请重新读取列表后再导出，或换一个文件名。")
                    .arg(fileName));
    return false;
  }
  if (!messages_.AskOkCancel(lacks + QStringLiteral("\n仍要导出吗？"))) {
    messages_.Warn(exporting::kAbandonedMessage);
    return false;
  }
  return true;
}

void ExportController::Export() {
  if (!SharedGuardsPass(state_, messages_)) return;
  ui_.EditFileList->setEnabled(false);
  const QString fileName = exporting::ExportFileName(ui_.EditSave->text(), ui_.EditFileList->text());
  if (MayExport(fileName)) {
    MakeInitialSaveFolder(ui_.EditSave->text());
    try {
      exporting::ExportListToSpreadsheet(TableOf(*ui_.DeviceRows, ui_.ListViewMCU), fileName,
                                         automation_, messages_);
    } catch (const std::exception& e) {
      // A call that failed half-way: the standard error box, and the name box
      // is given back so that the user can try again. An earlier file is
      // still there: it goes only once the new one is saved.
      messages_.ShowException(QString::fromUtf8(e.what()));
    }
  }
  ui_.EditFileList->setEnabled(true);
}

}  // namespace parlomax::app
