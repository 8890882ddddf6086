#include "app/ExportController.h"

#include "app/SharedGuards.h"
#include "export/SpreadsheetExport.h"
#include "platform/shell/MessageService.h"

#include <QLineEdit>
#include <QTreeWidget>

#include <exception>

namespace parlomax::app {
namespace {

exporting::ExportTable TableOf(const QTreeWidget* list) {
  exporting::ExportTable table;
  const QTreeWidgetItem* header = list->headerItem();
  for (int c = 0; c < list->columnCount(); ++c) table.columnCaptions.push_back(header->text(c));
  table.rows.reserve(list->topLevelItemCount());
  for (int r = 0; r < list->topLevelItemCount(); ++r) {
    const QTreeWidgetItem* item = list->topLevelItem(r);
    exporting::ExportTable::Row row{item->text(0), {}};
    for (int c = 1; c < list->columnCount(); ++c) row.subItems.push_back(item->text(c));
    table.rows.push_back(std::move(row));
  }
  table.fontName = list->font().family();
  table.fontPointSize = list->font().pointSize();
  return table;
}

}  // namespace

void ExportController::Export() {
  if (!SharedGuardsPass(state_, messages_)) return;
  ui_.EditFileList->setEnabled(false);
  const QString fileName = exporting::ExportFileName(ui_.EditSave->text(), ui_.EditFileList->text());
  try {
    exporting::ExportListToSpreadsheet(TableOf(ui_.ListViewMCU), fileName, automation_, messages_);
  } catch (const std::exception& e) {
    // A call that failed half-way: the standard error box, and the name box
    // is given back so that the user can try again.
    messages_.ShowException(QString::fromUtf8(e.what()));
  }
  ui_.EditFileList->setEnabled(true);
}

}  // namespace parlomax::app
