#pragma once

#include <array>
#include <cstdint>

namespace parlomax::audio {

inline constexpr std::size_t kWavHeaderSize = 44;

// The 44 bytes that open a WAV file of decoded recording sound: RIFF/WAVE,
// PCM, one channel, 8000 samples of 16 bits per second; `dataSize` bytes of
// samples follow. Every number is little-endian.
std::array<std::uint8_t, kWavHeaderSize> WavHeader(std::uint32_t dataSize);

}  // namespace parlomax::audio
