#include "platform/sound/StkAudioOutput.h"

#include <RtWvOut.h>
#include <Stk.h>

#include <cstdlib>
#include <exception>

#include <sys/prctl.h>

namespace parlomax::sound {
namespace {

constexpr unsigned kChannels = 1;
constexpr double kSampleRate = 8000;
constexpr int kDefaultDevice = 0;
constexpr int kBufferFrames = 512;
constexpr int kBuffers = 4;

// RtWvOut waits for room by sleeping a millisecond at a time, which wakes
// the player a thousand times a second. Its buffers hold 256 ms of sound
// when it waits, so the system may let those sleeps run a few milliseconds
// longer and serve several with one wake-up.
constexpr unsigned long kTimerSlackNs = 5'000'000;

class StkAudioOutput final : public AudioOutput {
 public:
  StkAudioOutput() : output_(kChannels, kSampleRate, kDefaultDevice, kBufferFrames, kBuffers) {}

  bool Tick(double sample) override {
    try {
      output_.tick(sample);
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
  // For the calling thread alone: the player, which makes the output and
  // feeds it.
  ::prctl(PR_SET_TIMERSLACK, kTimerSlackNs);
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
