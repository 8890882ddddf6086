#include "app/HintedTreeView.h"

#include <QPainter>

namespace parlomax::app {
namespace {
constexpr int kHintMargin = 12;
}

void HintedTreeView::SetEmptyHint(const QString& hint) {
  if (hint == hint_) return;  // the watch says the same every tick
  hint_ = hint;
  viewport()->update();
}

void HintedTreeView::paintEvent(QPaintEvent* event) {
  QTreeView::paintEvent(event);
  if (hint_.isEmpty() || (model() != nullptr && model()->rowCount(rootIndex()) > 0)) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  const QRect room =
      viewport()->rect().adjusted(kHintMargin, kHintMargin, -kHintMargin, -kHintMargin);
  painter.drawText(room, Qt::AlignCenter | Qt::TextWordWrap, hint_);
}

void SetEmptyHint(QTreeView* list, const QString& hint) {
  if (auto* hinted = dynamic_cast<HintedTreeView*>(list)) hinted->SetEmptyHint(hint);
}

}  // namespace parlomax::app
