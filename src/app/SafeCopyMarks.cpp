#include "app/SafeCopyMarks.h"

#include "app/RecordingRows.h"
#include "transfer/SafeCopies.h"

namespace parlomax::app {

void SafeCopyMarks::LookIn(const std::filesystem::path& saveFolder) {
  if (rows_.rowCount() == 0) {
    look_.Drop();
    return;
  }
  // A copy's path is the box's text and a name: the folder is what precedes
  // the last "/".
  const std::filesystem::path folder =
      saveFolder.has_parent_path() ? saveFolder.parent_path() : std::filesystem::path(".");
  look_.Start([this, rows = rows_.AllRows(), generation = rows_.Generation(), folder](
                  std::stop_token stop, const LatestLook::Land& land) {
    catalogue::FolderRecordings files;
    const auto end = catalogue::ScanRecordingFolder(
        folder, {}, stop, [&files](catalogue::FolderRecordings&& run) {
          files.insert(files.end(), std::make_move_iterator(run.begin()),
                       std::make_move_iterator(run.end()));
        });
    if (end.stopped) return;
    std::vector<transfer::HeldCopy> held;
    for (auto& file : files)
      if (file.complete) held.push_back({std::move(file.name), file.header, file.fileSize});
    std::vector<std::filesystem::path> copies;
    for (const auto& name : transfer::FindSafeCopies(rows, held))
      copies.push_back(name.empty() ? std::filesystem::path() : folder / name);
    land([this, generation, copies = std::move(copies)]() mutable {
      rows_.SetSafeCopies(generation, std::move(copies));
    });
  });
}

}  // namespace parlomax::app
