#include "platform/shell/QtFolderBrowser.h"

#include <QDesktopServices>
#include <QUrl>

namespace parlomax::shell {

void QtFolderBrowser::ShowFolder(const QString& folder) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace parlomax::shell
