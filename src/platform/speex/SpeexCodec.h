#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct SpeexBits;

namespace parlomax::speex {

// The telephone's sound: Speex narrowband at 8 kbit/s. Every 20-byte frame
// holds 160 samples of 8000 Hz mono, so one payload byte is 8 samples and one
// second of sound is 1000 bytes.
inline constexpr int kSampleRate = 8000;
inline constexpr std::size_t kFrameSamples = 160;
inline constexpr std::size_t kFrameBytes = 20;
inline constexpr std::size_t kSamplesPerByte = kFrameSamples / kFrameBytes;

// Turns 16-bit samples into frames. Keeps its state between calls, so a long
// sound may be fed in pieces of whole frames.
class SpeexEncoder {
 public:
  SpeexEncoder();
  ~SpeexEncoder();
  SpeexEncoder(const SpeexEncoder&) = delete;
  SpeexEncoder& operator=(const SpeexEncoder&) = delete;

  // 20 bytes for every started 160 samples; a last part-frame is padded
  // with silence.
  std::vector<std::uint8_t> Encode(std::span<const std::int16_t> samples);

 private:
  void* state_;
  SpeexBits* bits_;
};

// Turns frames back into samples: exactly 8 samples per payload byte,
// whatever the bytes hold. A frame the codec cannot read, and a trailing
// part-frame, come out as silence.
class SpeexDecoder {
 public:
  SpeexDecoder();
  ~SpeexDecoder();
  SpeexDecoder(const SpeexDecoder&) = delete;
  SpeexDecoder& operator=(const SpeexDecoder&) = delete;

  // Appends the samples of `payload` to `samples`.
  void Decode(std::span<const std::uint8_t> payload, std::vector<std::int16_t>& samples);
  // Writes the payload.size() * 8 samples of `payload` to `samples`.
  void DecodeInto(std::span<const std::uint8_t> payload, std::int16_t* samples);
  std::vector<std::int16_t> Decode(std::span<const std::uint8_t> payload);

 private:
  void* state_;
  SpeexBits* bits_;
};

}  // namespace parlomax::speex
