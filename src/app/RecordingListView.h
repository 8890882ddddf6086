#pragma once

class QTreeWidget;

namespace parlomax::app {

// Gives a tree widget the look of a recording list: a flat report with the
// seven recording columns, grid lines, whole-row selection of several rows,
// and no editing. Rows added later take their column's alignment.
void SetUpRecordingListView(QTreeWidget* list);

}  // namespace parlomax::app
