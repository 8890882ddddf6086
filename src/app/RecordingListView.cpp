#include "app/RecordingListView.h"

#include "catalogue/RecordingListLayout.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>

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

void SetUpRecordingListView(QTreeWidget* list) {
  const int columns = static_cast<int>(catalogue::kRecordingListColumns.size());
  list->setColumnCount(columns);
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSortingEnabled(false);
  list->setItemDelegate(new GridCellDelegate(list));

  auto* header = list->headerItem();
  for (int c = 0; c < columns; ++c) {
    const auto& column = catalogue::kRecordingListColumns[c];
    header->setText(c, QString::fromUtf16(column.caption));
    header->setTextAlignment(c, ColumnAlignment(c));
    list->setColumnWidth(c, column.width);
  }
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
}

}  // namespace parlomax::app

namespace parlomax::app {
namespace {
constexpr int kRecordIndexRole = Qt::UserRole;
constexpr int kFileNameRole = Qt::UserRole + 1;
}  // namespace

QTreeWidgetItem* AddRow(QTreeWidget* list, const QString& caption, const QString& fileName,
                        const catalogue::ColumnTexts& texts) {
  auto* item = new QTreeWidgetItem(catalogue::RowTexts(caption, fileName, texts));
  list->addTopLevelItem(item);
  return item;
}

QTreeWidgetItem* AddDeviceListRow(QTreeWidget* list, const catalogue::DeviceListRow& row) {
  auto* item = AddRow(list, row.caption, row.fileName, row.texts);
  item->setData(0, kRecordIndexRole, QVariant::fromValue<uint>(row.recordIndex));
  return item;
}

std::optional<std::uint16_t> RecordIndexOfRow(const QTreeWidgetItem* item) {
  const QVariant index = item->data(0, kRecordIndexRole);
  if (!index.isValid()) return std::nullopt;
  return static_cast<std::uint16_t>(index.toUInt());
}

void FolderListFiller::Clear() { list_->clear(); }

std::filesystem::path FileOfRow(const QString& folder, const QTreeWidgetItem* row) {
  return catalogue::FolderPath(folder) / row->data(0, kFileNameRole).toByteArray().toStdString();
}

void FolderListFiller::AddRow(const catalogue::FolderListRow& row) {
  auto* item = app::AddRow(list_, row.caption, row.fileName, row.texts);
  item->setData(0, kFileNameRole, QByteArray::fromStdString(row.file.string()));
}

void RecordingListFiller::Clear() { list_->clear(); }

void RecordingListFiller::AddRow(const catalogue::DeviceListRow& row) { AddDeviceListRow(list_, row); }

}  // namespace parlomax::app
