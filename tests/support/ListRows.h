#pragma once

#include "PumpEvents.h"
#include "app/MainUnit.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QTreeView>

namespace parlomax::testing {

// A recording list as a person sees it: the rows shown, in the order shown.
inline int RowCount(const QTreeView* list) { return list->model()->rowCount(); }
inline QString CellText(const QTreeView* list, int row, int column) {
  return list->model()->index(row, column).data().toString();
}
// Adds the row shown at `row` to the selection, as a Ctrl+click does.
inline void SelectRow(QTreeView* list, int row) {
  list->selectionModel()->select(list->model()->index(row, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
inline bool RowSelected(const QTreeView* list, int row) {
  return list->selectionModel()->isRowSelected(row, {});
}

// Waits until the PC tab's folder has been read.
inline bool WaitForFolderListing(app::TMainForm& form) {
  return PumpUntil([&form] { return !form.FolderList().Listing(); }, 20000);
}

}  // namespace parlomax::testing
