#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace parlomax::shell {
class ThreadChannel;
}

namespace parlomax::app {

class DeviceRecordingRows;

// Which of the telephone's recordings the save folder already holds whole,
// found on a thread of its own (a folder of years takes a moment to read)
// and marked on the telephone's list once known.
class SafeCopyMarks {
 public:
  SafeCopyMarks(DeviceRecordingRows& rows, shell::ThreadChannel& channel);
  ~SafeCopyMarks();

  SafeCopyMarks(const SafeCopyMarks&) = delete;
  SafeCopyMarks& operator=(const SafeCopyMarks&) = delete;

  // Looks in `saveFolder` (as the save box gives it) for the rows listed now.
  void LookIn(const std::filesystem::path& saveFolder);

 private:
  struct Look {
    std::shared_ptr<std::atomic<bool>> current = std::make_shared<std::atomic<bool>>(true);
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
    std::jthread thread;
  };

  DeviceRecordingRows& rows_;
  shell::ThreadChannel& channel_;
  std::vector<Look> looks_;
};

}  // namespace parlomax::app
