#pragma once

#include <QString>
#include <QTreeView>

namespace parlomax::app {

// A list that, while it has no rows, says in its empty space what would
// fill it.
class HintedTreeView final : public QTreeView {
 public:
  using QTreeView::QTreeView;

  // Empty: no line.
  void SetEmptyHint(const QString& hint);
  const QString& EmptyHint() const { return hint_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString hint_;
};

// Sets the empty list's line of `list` when it is a HintedTreeView.
void SetEmptyHint(QTreeView* list, const QString& hint);

}  // namespace parlomax::app
