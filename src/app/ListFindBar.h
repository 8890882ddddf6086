#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QTreeView;

namespace parlomax::app {

// A bar across the bottom of a recording list, over its last rows, that
// narrows the rows shown to those its words find, as they are typed. Ctrl+F,
// or typing while the list has the focus, opens it; Esc closes it and shows
// every row again, the selection as it was.
class ListFindBar final : public QWidget {
  Q_OBJECT

 public:
  // `editName`: the objectName of the bar's text field.
  ListFindBar(QTreeView* list, const char* editName);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Open(const QString& typed);
  void Close();
  void Narrow(const QString& words);
  void ShowCount();
  void Place();

  QTreeView* list_;
  QLineEdit* edit_;
  QLabel* count_;
};

}  // namespace parlomax::app
