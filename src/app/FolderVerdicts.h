#pragma once

#include "app/LatestLook.h"

#include <filesystem>

namespace parlomax::app {

class FolderRecordingRows;

// What the folder's ledger says of each file of the PC tab's list: checked
// on a thread of its own once the folder has been read (hashing a folder of
// years takes a while) and shown on the rows once known.
class FolderVerdicts {
 public:
  FolderVerdicts(FolderRecordingRows& rows, shell::ThreadChannel& channel)
      : rows_(rows), look_(channel) {}

  void Check(const std::filesystem::path& folder);
  // Another folder is listed: what is found of this one no longer counts.
  void Drop() { look_.Drop(); }

 private:
  FolderRecordingRows& rows_;
  LatestLook look_;
};

}  // namespace parlomax::app
