#include "app/ParlomaxApplication.h"

#include "platform/shell/MessageService.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <exception>

namespace parlomax::app {

ParlomaxApplication::ParlomaxApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("parlomax"));
  ApplyDesktopIdentity(*this);
  InstallChineseQtTranslations(*this);
}

void ApplyDesktopIdentity(QGuiApplication& application) {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/org.parlomax.Parlomax-%1.png").arg(size), QSize(size, size));
  }
  application.setWindowIcon(icon);
  application.setDesktopFileName(QStringLiteral("org.parlomax.Parlomax"));
}

bool InstallChineseQtTranslations(QCoreApplication& application) {
  auto* translator = new QTranslator(&application);
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

bool ParlomaxApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowStandardExceptionMessage(QString::fromUtf8(e.what()));
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
