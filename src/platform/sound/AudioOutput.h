#pragma once

#include <memory>
#include <string>

namespace parlomax::sound {

// Where the player's sound goes: one channel at 8000 samples per second,
// handed over one sample at a time as a value from -1 to 1. Handing over
// blocks while the output's buffers are full, which paces the player at the
// real rate of the sound.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // False when the output failed and can take no more.
  virtual bool Tick(double sample) = 0;
};

// An output, or why there is none.
struct OpenedOutput {
  std::unique_ptr<AudioOutput> output;
  std::string error;
};

// Makes a fresh output for every playback, on the player's thread. The
// desktop's sound settings show the stream by `title` (UTF-8), so that a
// user can tell what is playing.
class AudioOutputFactory {
 public:
  virtual ~AudioOutputFactory() = default;
  virtual OpenedOutput Open(const std::string& title) = 0;
};

}  // namespace parlomax::sound
