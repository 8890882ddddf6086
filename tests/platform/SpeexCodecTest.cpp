#include "platform/speex/SpeexCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace parlomax::speex {
namespace {

std::vector<std::int16_t> Tone(double pitch, std::size_t samples) {
  std::vector<std::int16_t> tone(samples);
  for (std::size_t i = 0; i < samples; ++i) {
    tone[i] = static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * pitch * i / kSampleRate));
  }
  return tone;
}

// The best normalised correlation of `b` against `a` over small delays: the
// codec shifts the sound by a few milliseconds.
double BestCorrelation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
  double best = 0;
  for (std::size_t lag = 0; lag < 400; ++lag) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 800; i + lag < b.size() && i < a.size(); ++i) {
      ab += double(a[i]) * b[i + lag];
      aa += double(a[i]) * a[i];
      bb += double(b[i + lag]) * b[i + lag];
    }
    if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
  }
  return best;
}

TEST(SpeexCodec, OneSecondIsAThousandBytesAndComesBackAsEightThousandSamples) {
  const auto tone = Tone(440, kSampleRate);
  SpeexEncoder encoder;
  const auto payload = encoder.Encode(tone);
  EXPECT_EQ(payload.size(), 1000u);
  SpeexDecoder decoder;
  const auto decoded = decoder.Decode(payload);
  ASSERT_EQ(decoded.size(), tone.size());
  EXPECT_GT(BestCorrelation(tone, decoded), 0.9);
}

TEST(SpeexCodec, APartFrameIsPaddedWhenEncodedAndSilentWhenDecoded) {
  SpeexEncoder encoder;
  EXPECT_EQ(encoder.Encode(Tone(300, 161)).size(), 40u);
  EXPECT_TRUE(encoder.Encode({}).empty());

  SpeexDecoder decoder;
  auto payload = SpeexEncoder().Encode(Tone(300, 160));
  payload.insert(payload.end(), {1, 2, 3, 4, 5});
  const auto samples = decoder.Decode(payload);
  ASSERT_EQ(samples.size(), 160u + 40u);
  EXPECT_TRUE(std::all_of(samples.begin() + 160, samples.end(), [](auto s) { return s == 0; }));
  EXPECT_TRUE(decoder.Decode(std::vector<std::uint8_t>{}).empty());
}

TEST(SpeexCodec, GarbageDecodesToEightSamplesPerByteWithoutHarm) {
  std::mt19937 random(7);
  for (std::size_t size : {20u, 21u, 500u, 5000u}) {
    std::vector<std::uint8_t> garbage(size);
    for (auto& b : garbage) b = static_cast<std::uint8_t>(random());
    SpeexDecoder decoder;
    EXPECT_EQ(decoder.Decode(garbage).size(), size * kSamplesPerByte);
  }
  // Bytes that the codec reads as a terminator or as wideband layers too.
  for (std::uint8_t fill : {0x00, 0xFF, 0x80, 0x7F}) {
    SpeexDecoder decoder;
    EXPECT_EQ(decoder.Decode(std::vector<std::uint8_t>(200, fill)).size(), 1600u);
  }
}

}  // namespace
}  // namespace parlomax::speex
