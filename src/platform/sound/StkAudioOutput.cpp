#include "platform/sound/StkAudioOutput.h"

#include <RtWvOut.h>
#include <Stk.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <thread>

namespace parlomax::sound {
namespace {

constexpr unsigned kChannels = 1;
constexpr double kSampleRate = 8000;
constexpr int kDefaultDevice = 0;
constexpr int kBufferFrames = 512;
constexpr int kBuffers = 4;

// RtWvOut waits for room by sleeping a millisecond at a time, which wakes
// the player a thousand times a second for nothing. A sample that took this
// long to hand over found the buffers full; they then still hold about
// 256 ms of sound, so the player can rest a quarter of that at once.
constexpr auto kBlocked = std::chrono::microseconds(500);
constexpr auto kRest = std::chrono::milliseconds(64);

class StkAudioOutput final : public AudioOutput {
 public:
  StkAudioOutput() : output_(kChannels, kSampleRate, kDefaultDevice, kBufferFrames, kBuffers) {}

  bool Tick(double sample) override {
    try {
      const auto before = std::chrono::steady_clock::now();
      output_.tick(sample);
      if (std::chrono::steady_clock::now() - before >= kBlocked) std::this_thread::sleep_for(kRest);
      return true;
    } catch (const std::exception&) {  // StkError or RtAudioError
      return false;  // the stream could not be started or has broken down
    }
  }

 private:
  stk::RtWvOut output_;
};

}  // namespace

void AskForShortSoundServerBuffering() { ::setenv("PULSE_LATENCY_MSEC", "100", 0); }

OpenedOutput StkAudioOutputFactory::Open() {
  // RtWvOut opens its stream at STK's global rate, whatever rate it is given;
  // left at its default of 44,100 the sound would play 5.5 times too fast.
  stk::Stk::setSampleRate(kSampleRate);
  try {
    return {std::make_unique<StkAudioOutput>(), {}};
  } catch (const std::exception& error) {  // StkError above all: no device, no sound server
    return {nullptr, error.what()};
  }
}

}  // namespace parlomax::sound
