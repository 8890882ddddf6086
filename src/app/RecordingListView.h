#pragma once

#include "catalogue/DeviceList.h"
#include "catalogue/FolderList.h"

#include <filesystem>
#include <optional>

class QString;
class QTreeWidget;
class QTreeWidgetItem;

namespace parlomax::app {

// Gives a tree widget the look of a recording list: a flat report with the
// seven recording columns, grid lines, whole-row selection of several rows,
// and no editing. Rows added later take their column's alignment.
void SetUpRecordingListView(QTreeWidget* list);

// Adds a telephone list row; the row keeps the index of its recording.
QTreeWidgetItem* AddDeviceListRow(QTreeWidget* list, const catalogue::DeviceListRow& row);
// The telephone's index of the recording a row stands for.
std::optional<std::uint16_t> RecordIndexOfRow(const QTreeWidgetItem* item);

// The file a row of the PC list shows, in `folder` (the text of
// EditInput), by its name as found on the disk, which need not be valid
// text. Playback and conversion act on this file, never on whatever now
// stands at the row's place in the folder.
std::filesystem::path FileOfRow(const QString& folder, const QTreeWidgetItem* row);

// Fills a list widget as a PC folder is listed.
class FolderListFiller final : public catalogue::FolderListView {
 public:
  explicit FolderListFiller(QTreeWidget* list) : list_(list) {}
  void Clear() override;
  void AddRow(const catalogue::FolderListRow& row) override;

 private:
  QTreeWidget* list_;
};

// Fills a list widget as the telephone's list is read.
class RecordingListFiller final : public catalogue::DeviceListView {
 public:
  explicit RecordingListFiller(QTreeWidget* list) : list_(list) {}
  void Clear() override;
  void AddRow(const catalogue::DeviceListRow& row) override;

 private:
  QTreeWidget* list_;
};

}  // namespace parlomax::app
