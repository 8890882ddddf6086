#pragma once

#include "catalogue/RecordingHeader.h"
#include "platform/speex/SpeexCodec.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <vector>

namespace parlomax::testing {

// `bytes` of Speex payload (a second per 1000 bytes) of a tone that swells
// and fades, at `pitch` Hz.
inline std::vector<std::uint8_t> TonePayload(std::size_t bytes, double pitch) {
  std::vector<std::int16_t> sound((bytes + 999) / 1000 * speex::kSampleRate);
  for (std::size_t i = 0; i < sound.size(); ++i) {
    const double t = static_cast<double>(i) / speex::kSampleRate;
    const double envelope = 0.6 - 0.4 * std::cos(2 * std::numbers::pi * 2 * t);
    sound[i] =
        static_cast<std::int16_t>(8000 * envelope * std::sin(2 * std::numbers::pi * pitch * t));
  }
  auto payload = speex::SpeexEncoder().Encode(sound);
  payload.resize(bytes);
  return payload;
}

// `bytes` of Speex payload of something like a voice: a pitch that wanders
// between 100 and 250 Hz with its overtones, in syllables and pauses, so
// that no stretch of it is the same as another.
inline std::vector<std::uint8_t> VoicePayload(std::size_t bytes) {
  std::vector<std::int16_t> sound((bytes + 999) / 1000 * speex::kSampleRate);
  double phase = 0;
  for (std::size_t i = 0; i < sound.size(); ++i) {
    const double t = static_cast<double>(i) / speex::kSampleRate;
    const double pitch = 175 + 60 * std::sin(2 * std::numbers::pi * 0.31 * t) +
                         15 * std::sin(2 * std::numbers::pi * 2.3 * t);
    phase += 2 * std::numbers::pi * pitch / speex::kSampleRate;
    const double syllable =
        std::max(0.0, std::sin(2 * std::numbers::pi * (3.1 + std::sin(0.7 * t)) * t));
    const double pause = std::sin(2 * std::numbers::pi * 0.13 * t) > -0.7 ? 1.0 : 0.0;
    double v = 0;
    for (int h = 1; h <= 6; ++h) v += std::sin(h * phase) / h;
    sound[i] = static_cast<std::int16_t>(6000 * syllable * pause * v);
  }
  auto payload = speex::SpeexEncoder().Encode(sound);
  payload.resize(bytes);
  return payload;
}

// A .spx file as the copy jobs write it: the header, then the payload.
inline void WriteSpx(const std::filesystem::path& file, const std::vector<std::uint8_t>& payload,
                     unsigned number = 1) {
  catalogue::RecordingFields fields;
  fields.callType = number % 3;
  fields.month = 3;
  fields.day = 17;
  fields.hour = 14;
  fields.minute = number % 60;
  fields.telephoneNumber = QStringLiteral("13800138000");
  fields.payloadLength = static_cast<std::uint32_t>(payload.size());
  const auto header = catalogue::EncodeRecordingHeader(fields);
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(header.data()), header.size());
  out.write(reinterpret_cast<const char*>(payload.data()),
            static_cast<std::streamsize>(payload.size()));
}

// The samples the decoder program gives for `payload` cut into chunks of
// `chunkBytes`, each decoded on its own.
inline std::vector<std::int16_t> DecodedInChunks(const std::vector<std::uint8_t>& payload,
                                                 std::size_t chunkBytes) {
  std::vector<std::int16_t> samples;
  for (std::size_t at = 0; at < payload.size(); at += chunkBytes) {
    const std::size_t n = std::min(chunkBytes, payload.size() - at);
    speex::SpeexDecoder().Decode(std::span(payload.data() + at, n), samples);
  }
  return samples;
}

}  // namespace parlomax::testing
