#include "platform/shell/QtFolderChooser.h"

#include <QDir>
#include <QFileDialog>

namespace parlomax::shell {

std::optional<QString> QtFolderChooser::ChooseFolder(const QString& prompt,
                                                     const QString& startFolder) {
  const QString folder = QFileDialog::getExistingDirectory(
      nullptr, prompt, startFolder.isEmpty() ? QDir::homePath() : startFolder,
      QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}

}  // namespace parlomax::shell
