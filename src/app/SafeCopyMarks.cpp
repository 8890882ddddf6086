#include "app/SafeCopyMarks.h"

#include "app/RecordingRows.h"
#include "platform/shell/ThreadChannel.h"
#include "transfer/SafeCopies.h"

namespace parlomax::app {

SafeCopyMarks::SafeCopyMarks(DeviceRecordingRows& rows, shell::ThreadChannel& channel)
    : rows_(rows), channel_(channel) {}

SafeCopyMarks::~SafeCopyMarks() {
  for (auto& look : looks_) {
    *look.current = false;
    look.thread.request_stop();
  }
}

void SafeCopyMarks::LookIn(const std::filesystem::path& saveFolder) {
  // An earlier look is of other rows or another folder: what it finds no
  // longer lands, and its thread is joined once it has ended.
  for (auto& look : looks_) {
    *look.current = false;
    look.thread.request_stop();
  }
  std::erase_if(looks_, [](const Look& look) { return look.ended->load(); });
  if (rows_.rowCount() == 0) return;
  Look& look = looks_.emplace_back();
  // A copy's path is the box's text and a name: the folder is what precedes
  // the last "/".
  const std::filesystem::path folder =
      saveFolder.has_parent_path() ? saveFolder.parent_path() : std::filesystem::path(".");
  look.thread =
      std::jthread([this, current = look.current, ended = look.ended, rows = rows_.AllRows(),
                    generation = rows_.Generation(), folder](std::stop_token stop) {
        struct Ends {
          std::atomic<bool>& ended;
          ~Ends() { ended = true; }
        } ends{*ended};
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
        channel_.Post([this, current, generation, copies = std::move(copies)]() mutable {
          if (*current) rows_.SetSafeCopies(generation, std::move(copies));
        });
      });
}

}  // namespace parlomax::app
