#include "platform/sound/StkAudioOutput.h"

#include <RtWvOut.h>
#include <Stk.h>

#include <atomic>
#include <chrono>
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
constexpr auto kMostWaitForRoom = std::chrono::seconds(2);

// The sound library names no stream when it reports an error; the stream
// is the one the reporting thread serves: set by the player's thread
// around its calls into the library, and by the library's own sound thread
// in our callback.
struct Health;
thread_local Health* tServing = nullptr;
thread_local bool tOnSoundThread = false;

struct Health {
  ~Health() {
    if (tServing == this) tServing = nullptr;
  }
  std::atomic<bool> broken{false};
};

// Instead of throwing, which from the library's own sound thread (a stream
// drained after the server has gone, say) no one could catch. A warning of
// the player's own calls (a stream already stopped) is no failure; on the
// sound thread it is a write the server refused.
void OnSoundError(RtAudioError::Type type, const std::string&) {
  if (tServing == nullptr) return;
  const bool warning = type == RtAudioError::WARNING || type == RtAudioError::DEBUG_WARNING;
  if (!warning || tOnSoundThread) tServing->broken = true;
}

// STK's RtWvOut with every error of the sound library caught: its stream
// is opened again, with the same parameters and an error callback, which
// makes the library report instead of throw. Health comes first so that
// it outlives the stream it watches: RtWvOut's destructor still closes it.
class GuardedRtWvOut final : private Health, public stk::RtWvOut {
 public:
  explicit GuardedRtWvOut(const std::string& title)
      : RtWvOut(kChannels, kSampleRate, kDefaultDevice, kBufferFrames, kBuffers) {
    tServing = this;
    RtAudio::StreamParameters parameters;
    parameters.deviceId = dac_.getDefaultOutputDevice();
    parameters.nChannels = kChannels;
    unsigned int frames = kBufferFrames;
    // The sound server's client is named after the stream: without a name
    // the desktop's volume control lists every recording as "RtAudio".
    RtAudio::StreamOptions options;
    options.streamName = title;
    dac_.closeStream();
    dac_.openStream(&parameters, nullptr,
                    sizeof(stk::StkFloat) == 8 ? RTAUDIO_FLOAT64 : RTAUDIO_FLOAT32,
                    static_cast<unsigned int>(stk::Stk::sampleRate()), &frames, &Serve, this,
                    &options, &OnSoundError);
  }

  ~GuardedRtWvOut() override { tServing = this; }

  bool Tick(double sample) {
    tServing = this;
    // Room for the sample is waited for here: RtWvOut's own wait would go
    // on for good once the sound thread has given up the stream, or while
    // a sound server that hangs takes nothing. Its buffers hold a quarter
    // of a second; a server that takes nothing for far longer has failed.
    const auto since = std::chrono::steady_clock::now();
    while (Full()) {
      if (broken) return false;
      if (std::chrono::steady_clock::now() - since > kMostWaitForRoom) {
        broken = true;
        return false;
      }
      stk::Stk::sleep(1);
    }
    if (broken) return false;
    RtWvOut::tick(sample);
    return !broken;
  }

 private:
  bool Full() {
    mutex_.lock();
    const bool full = framesFilled_ == static_cast<long>(data_.frames());
    mutex_.unlock();
    return full;
  }

  static int Serve(void* out, void*, unsigned int frames, double, RtAudioStreamStatus, void* self) {
    auto* output = static_cast<GuardedRtWvOut*>(self);
    tServing = output;
    tOnSoundThread = true;
    // A broken stream is given up rather than fed: a server that has gone
    // refuses every write at once, and the sound thread would spin.
    if (output->broken) return 2;
    return output->readBuffer(out, frames);
  }
};

class StkAudioOutput final : public AudioOutput {
 public:
  explicit StkAudioOutput(const std::string& title) : output_(title) {}
  bool Tick(double sample) override {
    try {
      return output_.Tick(sample);
    } catch (const std::exception&) {  // StkError or RtAudioError
      return false;  // the stream could not be started or has broken down
    }
  }

 private:
  GuardedRtWvOut output_;
};

}  // namespace

void AskForShortSoundServerBuffering() { ::setenv("PULSE_LATENCY_MSEC", "100", 0); }

OpenedOutput StkAudioOutputFactory::Open(const std::string& title) {
  // For the calling thread alone: the player, which makes the output and
  // feeds it.
  ::prctl(PR_SET_TIMERSLACK, kTimerSlackNs);
  // RtWvOut opens its stream at STK's global rate, whatever rate it is given;
  // left at its default of 44,100 the sound would play 5.5 times too fast.
  stk::Stk::setSampleRate(kSampleRate);
  try {
    return {std::make_unique<StkAudioOutput>(title), {}};
  } catch (const std::exception& error) {  // StkError above all: no device, no sound server
    return {nullptr, error.what()};
  }
}

}  // namespace parlomax::sound
