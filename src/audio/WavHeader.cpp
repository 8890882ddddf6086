#include "audio/WavHeader.h"

#include <cstring>

namespace parlomax::audio {
namespace {

class Writer {
 public:
  explicit Writer(std::array<std::uint8_t, kWavHeaderSize>& bytes) : bytes_(bytes) {}
  Writer& Text(const char (&four)[5]) {
    std::memcpy(bytes_.data() + at_, four, 4);
    at_ += 4;
    return *this;
  }
  Writer& Number(std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes_[at_++] = static_cast<std::uint8_t>(value >> (8 * i));
    return *this;
  }

 private:
  std::array<std::uint8_t, kWavHeaderSize>& bytes_;
  std::size_t at_ = 0;
};

constexpr std::uint32_t kSampleRate = 8000;
constexpr std::uint32_t kBytesPerSample = 2;

}  // namespace

std::array<std::uint8_t, kWavHeaderSize> WavHeader(std::uint32_t dataSize) {
  std::array<std::uint8_t, kWavHeaderSize> bytes{};
  Writer(bytes)
      .Text("RIFF").Number(dataSize + 36, 4).Text("WAVE")
      .Text("fmt ").Number(16, 4)
      .Number(1, 2)                                  // PCM
      .Number(1, 2)                                  // one channel
      .Number(kSampleRate, 4)
      .Number(kSampleRate * kBytesPerSample, 4)      // bytes per second
      .Number(kBytesPerSample, 2)                    // block alignment
      .Number(16, 2)                                 // bits per sample
      .Text("data").Number(dataSize, 4);
  return bytes;
}

}  // namespace parlomax::audio
