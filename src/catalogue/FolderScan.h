#pragma once

#include "catalogue/RecordingHeader.h"
#include "catalogue/RecordingTexts.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace parlomax::catalogue {

// One recording file of a folder as a reading found it: enough to show its
// row, and to tell later, without opening it, whether it has changed since.
struct FolderRecording {
  std::string name;  // the file's name, bytes as on the disk
  std::uint64_t fileSize = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  std::uint64_t inode = 0;
  bool opened = false;    // a plain file that could be opened
  bool complete = false;  // it holds a whole header
  RecordingHeader header{};

  // Whether the file on the disk is still the one this was read from.
  bool SameFileAs(const FolderRecording& other) const {
    return name == other.name && fileSize == other.fileSize && modifiedNs == other.modifiedNs &&
           changedNs == other.changedNs && inode == other.inode;
  }
};

using FolderRecordings = std::vector<FolderRecording>;

// The sound a file holds, which for a cut copy is less than its header says.
std::uint32_t PayloadHeld(const FolderRecording& file);
// Columns 3 to 7 of its row.
ColumnTexts FolderRecordingTexts(const FolderRecording& file);
// Conversion steps it takes: payload / 500 + 1.
std::uint32_t ConversionWork(const FolderRecording& file);
// The list's order of recording file names: letters compared without regard
// to case, then byte by byte.
bool ListsBefore(const std::string& a, const std::string& b);
// A recording file's name ends in ".spx", in any case.
bool IsRecordingFileName(const std::string& name);

struct FolderScanEnd {
  bool readable = false;  // the folder itself could be read
  bool unopened = false;  // an entry could not be opened as a plain file
  bool stopped = false;   // `stop` ended it before every entry was read
};

// Reads every recording file of `folder`, in list order. The rows arrive in
// runs, a screenful first so that the list shows at once, then longer ones.
// A file that `known` (in list order) holds unchanged is not opened again.
FolderScanEnd ScanRecordingFolder(const std::filesystem::path& folder, const FolderRecordings& known,
                                  std::stop_token stop,
                                  const std::function<void(FolderRecordings&& run)>& rowsRead);

}  // namespace parlomax::catalogue
