#pragma once

#include "app/LatestLook.h"

#include <filesystem>

namespace parlomax::app {

class DeviceRecordingRows;

// Which of the telephone's recordings the save folder already holds whole,
// found on a thread of its own (a folder of years takes a moment to read)
// and marked on the telephone's list once known.
class SafeCopyMarks {
 public:
  SafeCopyMarks(DeviceRecordingRows& rows, shell::ThreadChannel& channel)
      : rows_(rows), look_(channel) {}

  // Looks in `saveFolder` (as the save box gives it) for the rows listed now.
  void LookIn(const std::filesystem::path& saveFolder);

 private:
  DeviceRecordingRows& rows_;
  LatestLook look_;
};

}  // namespace parlomax::app
