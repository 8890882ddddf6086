#pragma once

#include "catalogue/RecordingTexts.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace parlomax::shell {
class MessageService;
}

namespace parlomax::catalogue {

inline const QString kNoSupportedFilesMessage = QStringLiteral("此目录没有任何可支持的文件！");
// Conversion moves half a second, 500 payload bytes, per step.
inline constexpr std::uint32_t kConversionStepBytes = 500;

// The recording files of a folder: every entry whose name ends in ".spx"
// (in any case), folders excepted, sorted by name without regard to case,
// then byte by byte. Row k of the PC list is entry k of a new search of the
// same folder: listing, playback, stepping and conversion all search here.
std::vector<std::filesystem::path> SearchRecordingFiles(const std::filesystem::path& folder);

// A path from the folder text shown in the window.
std::filesystem::path FolderPath(const QString& folder);

struct FolderListRow {
  QString caption;             // row number from 1
  QString fileName;            // as found, extension included, as the user reads it
  std::filesystem::path file;  // the name itself, bytes as on the disk
  ColumnTexts texts;
};

class FolderListView {
 public:
  virtual ~FolderListView() = default;
  virtual void Clear() = 0;
  virtual void AddRow(const FolderListRow& row) = 0;
};

struct FolderListing {
  std::uint32_t fileCount = 0;
  // The conversion steps of all listed files: payload / 500 + 1 each.
  std::uint32_t conversionWorkTotal = 0;
};

// Lists the recording files of `folder`, each from the header at its start.
// Every file that can be read is listed; a folder without any recording
// file, or with entries that cannot be opened (a broken link, a pipe, a
// colleague's private file), is reported once, after the rows. A file too short to hold a header
// shows its name and an empty recording; one shorter than its header says
// shows the length and duration of what it holds.
FolderListing ListRecordingFolder(const std::filesystem::path& folder, FolderListView& view,
                                  shell::MessageService& messages);

}  // namespace parlomax::catalogue
