#pragma once

#include "audio/PlayState.h"

#include <atomic>
#include <cstdint>

namespace parlomax::app {

using audio::PlayState;

// What the telephone's list on the tab lacks, as its last reading found.
struct ListShortfall {
  bool countRead = true;         // false: the count never came, so the list is empty
  std::uint32_t rowsMissed = 0;  // records without a row
  bool Complete() const { return countRead && rowsMissed == 0; }
};

// Work the window keeps track of across handlers and worker threads. Workers
// set and clear these flags from their own threads, hence atomics.
struct WindowState {
  std::atomic<app::PlayState> PlayState{app::PlayState::Stopped};
  std::atomic<bool> UploadAllRunning{false};
  std::atomic<bool> UploadSelectedRunning{false};
  std::atomic<bool> ConvertSelectedRunning{false};
  std::atomic<bool> ConvertAllRunning{false};
  // What the last listing of the PC folder found.
  std::atomic<std::uint32_t> FolderFileCount{0};
  std::atomic<std::uint32_t> ConversionWorkTotal{0};
  // The folder's rows are still coming in (or are those kept from an
  // earlier run, not yet checked): "all" is not yet known.
  std::atomic<bool> FolderBeingRead{false};
  // The window's thread alone reads and writes it.
  ListShortfall DeviceListShortfall;
};

}  // namespace parlomax::app
