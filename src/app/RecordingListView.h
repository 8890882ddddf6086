#pragma once

#include "app/RecordingRows.h"
#include "catalogue/DeviceList.h"
#include "catalogue/FolderList.h"

#include <QString>

#include <filesystem>
#include <vector>

class QTreeView;

namespace parlomax::app {

// Gives a tree view the look of a recording list over `rows`: a flat report
// with the seven recording columns, grid lines, whole-row selection of
// several rows, and no editing. A click on a column's header sorts by it;
// until then the rows keep the order they came in.
void SetUpRecordingListView(QTreeView* list, RecordingRows* rows);

// What a list shows: its rows as sorted and narrowed.
RecordingListProxy& ShownRows(const QTreeView* list);
// The rows of the model behind the selected rows, in the order shown.
std::vector<int> SelectedRows(const QTreeView* list);
// The model's row shown at place `shown`; -1 past the end.
int RowShownAt(const QTreeView* list, int shown);
// The place the first selected row is shown at; -1 when none is.
int FirstSelectedPlace(const QTreeView* list);
// Selects only the row shown at place `shown`.
void SelectOnlyPlace(QTreeView* list, int shown);

// The file a row of the PC list stands for, in `folder` (the text of
// EditInput), by its name as found on the disk, which need not be valid
// text. Playback and conversion act on this file, never on whatever now
// stands at the row's place in the folder.
std::filesystem::path FileOfRow(const QString& folder, const FolderRecordingRows& rows, int row);

// Fills the telephone's list as it is read.
class RecordingListFiller final : public catalogue::DeviceListView {
 public:
  explicit RecordingListFiller(DeviceRecordingRows* rows) : rows_(rows) {}
  void Clear() override { rows_->Clear(); }
  void AddRow(const catalogue::DeviceListRow& row) override { rows_->Add(row); }

 private:
  DeviceRecordingRows* rows_;
};

}  // namespace parlomax::app
