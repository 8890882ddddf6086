#include "catalogue/FolderList.h"

#include "catalogue/FolderScan.h"
#include "platform/files/PathText.h"
#include "platform/shell/MessageService.h"

#include <QFile>

#include <algorithm>
#include <string_view>

namespace parlomax::catalogue {

std::vector<std::filesystem::path> SearchRecordingFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (!IsRecordingFileName(entry.path().filename().string())) continue;
    std::error_code typeError;
    if (entry.is_directory(typeError)) continue;
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end(),
            [](const std::filesystem::path& a, const std::filesystem::path& b) {
              return ListsBefore(a.filename().string(), b.filename().string());
            });
  return files;
}

std::filesystem::path FolderPath(const QString& folder) {
  return std::filesystem::path(QFile::encodeName(folder).toStdString());
}

FolderListing ListRecordingFolder(const std::filesystem::path& folder, FolderListView& view,
                                  shell::MessageService& messages) {
  view.Clear();
  FolderListing listing;
  const auto end = ScanRecordingFolder(folder, {}, {}, [&](FolderRecordings&& run) {
    for (const auto& file : run) {
      ++listing.fileCount;
      const std::filesystem::path name(file.name);
      view.AddRow({QString::number(listing.fileCount), files::PathText(name), name,
                   FolderRecordingTexts(file)});
      listing.conversionWorkTotal += ConversionWork(file);
    }
  });
  if (listing.fileCount == 0 || end.unopened) messages.Warn(kNoSupportedFilesMessage);
  return listing;
}

}  // namespace parlomax::catalogue
