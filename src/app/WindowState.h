#pragma once

#include <atomic>

namespace parlomax::app {

enum class PlayState { Stopped = 0, Paused = 1, Playing = 2 };

// Work the window keeps track of across handlers and worker threads. Workers
// set and clear these flags from their own threads, hence atomics.
struct WindowState {
  std::atomic<app::PlayState> PlayState{app::PlayState::Stopped};
  std::atomic<bool> UploadAllRunning{false};
  std::atomic<bool> UploadSelectedRunning{false};
  std::atomic<bool> ConvertSelectedRunning{false};
  std::atomic<bool> ConvertAllRunning{false};
};

}  // namespace parlomax::app
