#pragma once

#include "catalogue/FolderList.h"

#include <QString>
#include <QTreeWidgetItem>

#include <filesystem>

namespace parlomax::app {

// The file a row of the PC list shows: the name in its file name column,
// in `folder` (the text of EditInput). Playback and conversion act on this
// file, never on whatever now stands at the row's place in the folder.
inline std::filesystem::path FileOfRow(const QString& folder, const QTreeWidgetItem* row) {
  return catalogue::FolderPath(folder) / catalogue::FolderPath(row->text(1));
}

}  // namespace parlomax::app
