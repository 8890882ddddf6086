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

std::optional<QString> QtFolderChooser::ChooseSaveFile(const QString& prompt,
                                                       const QString& proposed,
                                                       const QString& filter) {
  // The dialog asks itself before it replaces a file of that name.
  const QString file = QFileDialog::getSaveFileName(nullptr, prompt, proposed, filter);
  if (file.isEmpty()) return std::nullopt;
  return file;
}

}  // namespace parlomax::shell
