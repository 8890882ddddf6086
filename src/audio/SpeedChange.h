#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

struct sonicStreamStruct;

namespace parlomax::audio {

// The speeds a recording can be heard at; 1 is as it was recorded.
inline constexpr std::array<float, 5> kPlaySpeeds{0.75f, 1.0f, 1.25f, 1.5f, 2.0f};

// The speed next to `speed` in kPlaySpeeds, `steps` up (faster) or down;
// the slowest and the fastest stay where they are.
float StepPlaySpeed(float speed, int steps);

// Speech made faster or slower with the voice's pitch kept (libsonic), a
// piece at a time as it is played. At 1 the samples pass untouched, so what
// is heard at the recorded speed is exactly what was decoded.
class SpeedChange {
 public:
  SpeedChange();
  ~SpeedChange();
  SpeedChange(const SpeedChange&) = delete;
  SpeedChange& operator=(const SpeedChange&) = delete;

  // `in` as heard at `speed`: what is ready of it so far. Away from 1 the
  // change holds back a few hundredths of a second, which the next piece
  // (or Rest) brings out.
  const std::vector<std::int16_t>& Change(std::span<const std::int16_t> in, float speed);
  // What is still held back, once the sound has ended.
  const std::vector<std::int16_t>& Rest();

 private:
  // Appends what is ready, or, for Drain, everything held.
  void TakeReady();
  void Drain();

  sonicStreamStruct* stream_;
  bool holding_ = false;
  std::vector<std::int16_t> out_;
};

}  // namespace parlomax::audio
