#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace parlomax::audio {

inline constexpr std::size_t kWavHeaderSize = 44;

// The 44 bytes that open a WAV file of decoded recording sound: RIFF/WAVE,
// PCM, one channel, 8000 samples of 16 bits per second; `dataSize` bytes of
// samples follow. Every number is little-endian.
std::array<std::uint8_t, kWavHeaderSize> WavHeader(std::uint32_t dataSize);

// A WAV file counts its size in 32 bits: some 74 hours of sound at most.
inline constexpr std::uint64_t kLargestWavData = 0xFFFFFFFFu - (kWavHeaderSize - 8);
inline bool FitsInWav(std::uint64_t dataBytes) { return dataBytes <= kLargestWavData; }
// The refusal of a recording too long for one: names the file.
inline QString TooLongForWavText(const QString& file) {
  return QStringLiteral("录音太长，WAV 文件装不下：%1").arg(file);
}

}  // namespace parlomax::audio
