#include "audio/SpeedChange.h"

#include <sonic.h>

#include <algorithm>
#include <cmath>

namespace parlomax::audio {
namespace {

constexpr int kSampleRate = 8000;

}  // namespace

float StepPlaySpeed(float speed, int steps) {
  // The nearest of the speeds, so a speed set from elsewhere still steps.
  const auto nearest = std::min_element(
      kPlaySpeeds.begin(), kPlaySpeeds.end(),
      [speed](float a, float b) { return std::fabs(a - speed) < std::fabs(b - speed); });
  const auto at = std::clamp<std::ptrdiff_t>(nearest - kPlaySpeeds.begin() + steps, 0,
                                             static_cast<std::ptrdiff_t>(kPlaySpeeds.size()) - 1);
  return kPlaySpeeds[static_cast<std::size_t>(at)];
}

SpeedChange::SpeedChange() : stream_(sonicCreateStream(kSampleRate, 1)) {}

SpeedChange::~SpeedChange() {
  if (stream_) sonicDestroyStream(stream_);
}

const std::vector<std::int16_t>& SpeedChange::Change(std::span<const std::int16_t> in,
                                                     float speed) {
  out_.clear();
  if (speed == 1.0f || !stream_) {
    // Back at the recorded speed, what the change still holds comes first.
    Drain();
    out_.insert(out_.end(), in.begin(), in.end());
    return out_;
  }
  sonicSetSpeed(stream_, speed);
  // sonic takes its input as a mutable pointer but only reads it.
  sonicWriteShortToStream(stream_, const_cast<short*>(in.data()), static_cast<int>(in.size()));
  holding_ = true;
  TakeReady();
  return out_;
}

const std::vector<std::int16_t>& SpeedChange::Rest() {
  out_.clear();
  Drain();
  return out_;
}

void SpeedChange::Drain() {
  if (!holding_) return;
  sonicFlushStream(stream_);
  TakeReady();
  holding_ = false;
}

void SpeedChange::TakeReady() {
  const int ready = sonicSamplesAvailable(stream_);
  if (ready <= 0) return;
  const auto at = out_.size();
  out_.resize(at + static_cast<std::size_t>(ready));
  const int got = sonicReadShortFromStream(stream_, out_.data() + at, ready);
  out_.resize(at + static_cast<std::size_t>(std::max(got, 0)));
}

}  // namespace parlomax::audio
