#include "app/ParlomaxApplication.h"

#include "platform/shell/MessageService.h"

#include <QMessageBox>

#include <exception>

namespace parlomax::app {

ParlomaxApplication::ParlomaxApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("parlomax"));
  setApplicationDisplayName(shell::kPlainCaption);
}

bool ParlomaxApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowStandardExceptionMessage(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ShowStandardExceptionMessage(QString());
  }
  return false;
}

void ShowStandardExceptionMessage(const QString& text) {
  QMessageBox box(QMessageBox::Critical, shell::kPlainCaption, text, QMessageBox::Ok);
  box.exec();
}

}  // namespace parlomax::app
