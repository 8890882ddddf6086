#pragma once

#include <QApplication>

namespace parlomax::app {

// The application object. An exception that escapes a handler is shown in
// the standard error box and the program carries on with its next event.
class ParlomaxApplication final : public QApplication {
 public:
  ParlomaxApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};

// What the desktop knows the program by: its icon on every window and
// dialog, and the name of its menu entry, so that a dock or task bar groups
// the running window with it. No display name is set: Qt would append it to
// every window's title, and the window's title is the design's alone.
void ApplyDesktopIdentity(QGuiApplication& application);

// Qt's own texts (the folder chooser, the standard buttons of message boxes)
// in Simplified Chinese, like the rest of the window. False when Qt's
// translations are not installed: the program still works, those texts in
// English.
bool InstallChineseQtTranslations(QCoreApplication& application);

// The standard box for an exception: its text (empty for one that carries
// none), the program's name as caption, and the error icon.
void ShowStandardExceptionMessage(const QString& text);

}  // namespace parlomax::app
