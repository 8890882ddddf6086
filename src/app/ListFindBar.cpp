#include "app/ListFindBar.h"

#include "app/RecordingListView.h"
#include "catalogue/RecordingFind.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTreeView>

#include <algorithm>
#include <vector>

namespace parlomax::app {
namespace {

// Keys that only type: no Ctrl or Alt, nothing but printable text, and not
// a lone blank, which scrolls or selects as lists do.
bool Types(const QKeyEvent& key) {
  if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const QString text = key.text();
  return !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace();
}

}  // namespace

ListFindBar::ListFindBar(QTreeView* list, const char* editName)
    : QWidget(list), list_(list), edit_(new QLineEdit(this)), count_(new QLabel(this)) {
  setObjectName(QStringLiteral("%1Bar").arg(QLatin1String(editName)));
  edit_->setObjectName(QLatin1String(editName));
  edit_->setClearButtonEnabled(true);
  edit_->setPlaceholderText(QStringLiteral("号码、日期（3-17）、来电/去电/录音"));
  count_->setObjectName(QStringLiteral("%1Count").arg(QLatin1String(editName)));
  setAutoFillBackground(true);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(new QLabel(QStringLiteral("查找："), this));
  row->addWidget(edit_, 1);
  row->addWidget(count_);
  hide();

  connect(edit_, &QLineEdit::textChanged, this, &ListFindBar::Narrow);
  auto* find =
      new QShortcut(QKeySequence::Find, list, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(find, &QShortcut::activated, this, [this] { Open({}); });
  list->installEventFilter(this);
  edit_->installEventFilter(this);
  const auto* shown = list->model();
  for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(shown, signal, this, &ListFindBar::ShowCount);
  connect(shown, &QAbstractItemModel::modelReset, this, &ListFindBar::ShowCount);
  connect(shown, &QAbstractItemModel::layoutChanged, this, &ListFindBar::ShowCount);
}

bool ListFindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::Resize) Place();
  if (watched == list_ && event->type() == QEvent::InputMethod) {
    // A word composed in an input method (来电) comes whole, not as keys.
    const auto& composed = static_cast<const QInputMethodEvent&>(*event);
    if (composed.commitString().isEmpty()) return false;
    Open(composed.commitString());
    return true;
  }
  if (event->type() != QEvent::KeyPress) return false;
  const auto& key = static_cast<const QKeyEvent&>(*event);
  if (watched == list_ && Types(key)) {
    Open(key.text());
    return true;
  }
  if (watched == edit_ && key.key() == Qt::Key_Escape) {
    Close();
    return true;
  }
  if (watched == edit_ && (key.key() == Qt::Key_Down || key.key() == Qt::Key_Up)) {
    // Down into the rows found, to choose among them.
    list_->setFocus();
    return true;
  }
  return false;
}

void ListFindBar::Open(const QString& typed) {
  Place();
  show();
  raise();
  edit_->setFocus();
  if (!typed.isEmpty()) edit_->insert(typed);
  ShowCount();
}

void ListFindBar::Close() {
  edit_->clear();
  hide();
  list_->setFocus();
  const QModelIndex current = list_->currentIndex();
  if (current.isValid()) list_->scrollTo(current);
}

void ListFindBar::Narrow(const QString& words) {
  // The rows chosen stay chosen where they are still shown. The selection
  // is put back by hand: laid out anew, a list whose every row was selected
  // would otherwise come back with none.
  auto& shown = ShownRows(list_);
  const std::vector<int> selected = SelectedRows(list_);
  const QPersistentModelIndex current = shown.mapToSource(list_->currentIndex());
  shown.SetFind(catalogue::RecordingFind(words));
  std::vector<int> places;
  for (const int row : selected) {
    const QModelIndex place = shown.mapFromSource(shown.Rows().index(row, 0));
    if (place.isValid()) places.push_back(place.row());
  }
  std::sort(places.begin(), places.end());
  QItemSelection selection;
  for (std::size_t i = 0; i < places.size();) {
    std::size_t j = i;
    while (j + 1 < places.size() && places[j + 1] == places[j] + 1) ++j;
    selection.select(shown.index(places[i], 0), shown.index(places[j], shown.columnCount() - 1));
    i = j + 1;
  }
  const QModelIndex place = shown.mapFromSource(current);
  if (place.isValid())
    list_->selectionModel()->setCurrentIndex(place, QItemSelectionModel::NoUpdate);
  list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  if (place.isValid()) list_->scrollTo(place);
  ShowCount();
}

void ListFindBar::ShowCount() {
  if (!isVisible()) return;
  const auto& shown = ShownRows(list_);
  count_->setText(QStringLiteral("%1 / %2").arg(shown.rowCount()).arg(shown.Rows().rowCount()));
}

void ListFindBar::Place() {
  const QRect inside = list_->contentsRect();
  const int height = sizeHint().height();
  setGeometry(inside.left(), inside.bottom() + 1 - height, inside.width(), height);
}

}  // namespace parlomax::app
