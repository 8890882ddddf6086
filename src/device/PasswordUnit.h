#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace parlomax::device {

// The PIN dialog. Created once at start-up and shown modally whenever the
// telephone is opened; the edit box keeps what was typed last time.
class TPasswordDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TPasswordDlg(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLineEdit* Password = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
};

}  // namespace parlomax::device
