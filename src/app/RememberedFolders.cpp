#include "app/RememberedFolders.h"

#include "app/CopyController.h"
#include "platform/files/PathText.h"
#include "platform/files/PrivateFolders.h"
#include "transfer/RecordingsFolder.h"

#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

#include <system_error>

namespace parlomax::app {
namespace {

// QSettings' own names for the program: an organisation and application
// both called "parlomax" put the file beside the PIN and autocopy files.
const QString kSettingsName = QStringLiteral("parlomax");

QString KeyOf(RememberedFolders::Folder which) {
  switch (which) {
    case RememberedFolders::Folder::Save:
      return QStringLiteral("Folders/Save");
    case RememberedFolders::Folder::Computer:
      return QStringLiteral("Folders/Computer");
    case RememberedFolders::Folder::Output:
      break;
  }
  return QStringLiteral("Folders/Output");
}

// A new settings file is made private before QSettings writes it: its
// rewrites keep the mode of the file they replace.
bool MakePrivateFile(const std::filesystem::path& file) {
  if (files::MakePrivateFolders(file.parent_path()) != 0) return false;
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
  return fd >= 0 || errno == EEXIST;
}

}  // namespace

std::filesystem::path RememberedFolders::UserSettingsFile() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return files::PathOf(config) / kSettingsName.toStdString() /
         (kSettingsName.toStdString() + ".conf");
}

QString RememberedFolders::Recall(Folder which) const {
  if (file_.empty()) return {};
  QSettings settings(files::PathText(file_), QSettings::IniFormat);
  const QString folder = settings.value(KeyOf(which)).toString();
  if (folder.isEmpty()) return {};
  std::error_code ec;
  if (std::filesystem::is_directory(files::PathOf(folder), ec)) return folder;
  settings.remove(KeyOf(which));
  return {};
}

void RememberedFolders::Remember(Folder which, const QString& folder) const {
  if (file_.empty() || !MakePrivateFile(file_)) return;
  QSettings settings(files::PathText(file_), QSettings::IniFormat);
  settings.setValue(KeyOf(which), folder);
  settings.sync();
}

QString InitialSaveFolder() { return FolderWithTrailingSlash(transfer::DefaultRecordingsFolder()); }

void MakeInitialSaveFolder(const QString& saveText) {
  if (saveText != InitialSaveFolder()) return;
  // A failure shows where the copy fails to make its first file.
  files::MakePrivateFolders(files::PathOf(transfer::DefaultRecordingsFolder()));
}

}  // namespace parlomax::app
