// The export of the telephone's list to a spreadsheet file.
#include "app/MainUnit.h"

#include "export/SpreadsheetExport.h"

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

void TMainForm::BitBtnExportClick() {
  if (!SharedGuardsPass()) return;
  ui_.EditFileList->setEnabled(false);
  const QString fileName = exporting::ExportFileName(ui_.EditSave->text(), ui_.EditFileList->text());
  try {
    exporting::ExportListToSpreadsheet(TableOf(ui_.ListViewMCU), fileName, platform_.automation,
                                       platform_.messages);
  } catch (const std::exception& e) {
    // A call that failed half-way: the standard error box, and the name box
    // is given back so that the user can try again.
    platform_.messages.ShowException(QString::fromUtf8(e.what()));
  }
  ui_.EditFileList->setEnabled(true);
}

}  // namespace parlomax::app
