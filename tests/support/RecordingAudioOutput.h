#pragma once

#include "platform/sound/AudioOutput.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parlomax::testing {

// An audio output that keeps every sample it is given, as the 16-bit value
// it stands for. It paces itself like a sound card playing `speed` times
// faster than real time (0: as fast as it is fed), so that a paused player,
// which feeds it silence without pause, does not spin.
class RecordingAudioOutputFactory final : public sound::AudioOutputFactory {
 public:
  explicit RecordingAudioOutputFactory(double speed = 0) : speed_(speed) {}

  sound::OpenedOutput Open(const std::string& title) override {
    std::lock_guard lock(mutex_);
    ++opened_;
    title_ = title;
    if (!failure_.empty()) return {nullptr, failure_};
    return {std::make_unique<Output>(*this), {}};
  }

  // Every output opened from now on fails with this reason.
  void FailWith(std::string reason) {
    std::lock_guard lock(mutex_);
    failure_ = std::move(reason);
  }
  void SetSpeed(double speed) { speed_ = speed; }

  // Samples handed over, silence included, in order across outputs.
  std::vector<std::int16_t> Samples() const {
    std::lock_guard lock(mutex_);
    return samples_;
  }
  // The last `count` samples were all silence: a paused player is ticking
  // over, since no recorded sound is that quiet for that long.
  bool EndsInSilence(std::size_t count) const {
    std::lock_guard lock(mutex_);
    return samples_.size() >= count &&
           std::all_of(samples_.end() - static_cast<std::ptrdiff_t>(count), samples_.end(), [](auto s) { return s == 0; });
  }
  std::size_t SampleCount() const {
    std::lock_guard lock(mutex_);
    return samples_.size();
  }
  int Opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
  }
  int Alive() const { return alive_; }
  std::string LastTitle() const {
    std::lock_guard lock(mutex_);
    return title_;
  }
  // Runs on the player's thread after each sample is kept, with the count
  // kept so far: a test's user acting at an exact sample.
  std::function<void(std::size_t)> onTick;

 private:
  class Output final : public sound::AudioOutput {
   public:
    explicit Output(RecordingAudioOutputFactory& owner)
        : owner_(owner), start_(std::chrono::steady_clock::now()) {
      ++owner_.alive_;
    }
    ~Output() override { --owner_.alive_; }
    bool Tick(double sample) override {
      std::size_t kept = 0;
      {
        std::lock_guard lock(owner_.mutex_);
        owner_.samples_.push_back(static_cast<std::int16_t>(sample * 32768));
        kept = owner_.samples_.size();
      }
      if (owner_.onTick) owner_.onTick(kept);
      const double speed = owner_.speed_;
      if (speed > 0 && ++ticks_ % 80 == 0) {
        const auto due = start_ + std::chrono::duration<double>(ticks_ / (8000.0 * speed));
        std::this_thread::sleep_until(std::chrono::time_point_cast<std::chrono::steady_clock::duration>(due));
      }
      return true;
    }

   private:
    RecordingAudioOutputFactory& owner_;
    std::chrono::steady_clock::time_point start_;
    std::uint64_t ticks_ = 0;
  };

  std::atomic<double> speed_;
  mutable std::mutex mutex_;
  std::vector<std::int16_t> samples_;
  std::string failure_;
  std::string title_;
  int opened_ = 0;
  std::atomic<int> alive_{0};
};

}  // namespace parlomax::testing
