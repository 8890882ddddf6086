#include "phone/Content.h"

#include "platform/speex/SpeexCodec.h"

#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace parlomax::phone {
namespace {

// Past this much sound in all, further recordings are kept short, so that a
// telephone of 65535 recordings still fits comfortably in memory.
constexpr std::size_t kPayloadBudget = 64u << 20;
constexpr std::uint32_t kOverAnHour = 3725000;  // 1 h 2 min 5 s

// One second of Speex per pitch, repeated to any length.
std::vector<std::vector<std::uint8_t>> ToneSeconds() {
  std::vector<std::vector<std::uint8_t>> seconds;
  for (const double pitch : {330.0, 440.0, 523.25, 660.0}) {
    std::vector<std::int16_t> samples(speex::kSampleRate);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const double t = static_cast<double>(i) / speex::kSampleRate;
      // A tone that swells and fades four times a second, like a voice's syllables.
      const double envelope = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * 4 * t);
      samples[i] = static_cast<std::int16_t>(9000 * envelope * std::sin(2 * std::numbers::pi * pitch * t));
    }
    speex::SpeexEncoder encoder;
    seconds.push_back(encoder.Encode(samples));
  }
  return seconds;
}

QString Number(std::mt19937& random) {
  static const std::array<const char*, 10> fixed = {"110", "10086", "95588", "*86#", "#31#13800138000",
                                                    "", "075586001234", "13912345678", "1*#2", "400"};
  if (random() % 2 == 0) return QString::fromLatin1(fixed[random() % fixed.size()]);
  return QStringLiteral("1%1%2").arg(30 + random() % 60).arg(random() % 100000000, 8, 10,
                                                              QLatin1Char('0'));
}

std::uint32_t Length(std::mt19937& random, std::size_t spent, bool& marker) {
  marker = false;
  if (spent > kPayloadBudget) return random() % 2000;
  const unsigned roll = random() % 100;
  if (roll < 5) return 0;
  if (roll < 8) {
    marker = true;
    return 0;
  }
  if (roll < 18) return 1 + random() % 999;
  if (roll < 80) return 1000 + random() % 59000;
  return 60000 + random() % 540000;
}

}  // namespace

std::vector<Recording> GenerateRecordings(unsigned count, unsigned seed) {
  std::mt19937 random(seed);
  const auto tones = ToneSeconds();
  std::vector<Recording> recordings(count);
  std::size_t spent = 0;
  for (unsigned i = 0; i < count; ++i) {
    Recording& r = recordings[i];
    r.call.callType = random() % 3;
    r.call.month = 1 + random() % 12;
    r.call.day = 1 + random() % 28;
    r.call.hour = random() % 24;
    r.call.minute = random() % 60;
    r.call.telephoneNumber =
        r.call.callType == static_cast<unsigned>(catalogue::CallType::Memo) ? QString() : Number(random);
    // The second recording is the long one, so even a small telephone has one.
    const std::uint32_t length = i == 1 ? kOverAnHour : Length(random, spent, r.markEmpty);
    const auto& tone = tones[random() % tones.size()];
    r.payload.resize(length);
    for (std::uint32_t k = 0; k < length; ++k) r.payload[k] = tone[k % tone.size()];
    spent += length;
  }
  return recordings;
}

}  // namespace parlomax::phone
