#include "app/RecordingListView.h"

#include "catalogue/RecordingListLayout.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>

namespace parlomax::app {
namespace {

Qt::Alignment ColumnAlignment(int column) {
  const bool centred = column >= 0 &&
                       column < static_cast<int>(catalogue::kRecordingListColumns.size()) &&
                       catalogue::kRecordingListColumns[column].centred;
  return (centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

// Draws the cell borders that make the list read as a grid, and aligns each
// cell as its column says, so whoever fills the list need not.
class GridCellDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->displayAlignment = ColumnAlignment(index.column());
  }

  // Room below the text for the grid line, so that underscores stay visible.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 3);
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
  }
};

}  // namespace

void SetUpRecordingListView(QTreeView* list, RecordingRows* rows) {
  list->setModel(new RecordingListProxy(rows, list));
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setItemDelegate(new GridCellDelegate(list));
  // No column is sorted by until a person clicks one.
  list->header()->setSortIndicator(-1, Qt::AscendingOrder);
  list->setSortingEnabled(true);
  for (int c = 0; c < static_cast<int>(catalogue::kRecordingListColumns.size()); ++c)
    list->setColumnWidth(c, catalogue::kRecordingListColumns[c].width);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
}

RecordingListProxy& ShownRows(const QTreeView* list) {
  return *static_cast<RecordingListProxy*>(list->model());
}

std::vector<int> SelectedRows(const QTreeView* list) {
  const auto& shown = ShownRows(list);
  QModelIndexList selected = list->selectionModel()->selectedRows();
  std::sort(selected.begin(), selected.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<int> rows;
  rows.reserve(selected.size());
  for (const QModelIndex& index : selected) rows.push_back(shown.mapToSource(index).row());
  return rows;
}

int RowShownAt(const QTreeView* list, int shown) {
  const auto& proxy = ShownRows(list);
  if (shown < 0 || shown >= proxy.rowCount()) return -1;
  return proxy.mapToSource(proxy.index(shown, 0)).row();
}

int FirstSelectedPlace(const QTreeView* list) {
  int first = -1;
  for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
    if (first < 0 || index.row() < first) first = index.row();
  }
  return first;
}

void SelectOnlyPlace(QTreeView* list, int shown) {
  const QModelIndex index = list->model()->index(shown, 0);
  list->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list->scrollTo(index);
}

std::filesystem::path FileOfRow(const QString& folder, const FolderRecordingRows& rows, int row) {
  return catalogue::FolderPath(folder) / rows.File(row).name;
}

}  // namespace parlomax::app
