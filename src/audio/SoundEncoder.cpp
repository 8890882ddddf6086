#include "audio/SoundEncoder.h"

#include "audio/WavHeader.h"

#include <QStringList>

#include <array>
#include <vector>

namespace parlomax::audio {
namespace {

constexpr std::array<std::pair<ShareFormat, std::string_view>, 3> kNames{
    {{ShareFormat::Wav, "wav"}, {ShareFormat::Mp3, "mp3"}, {ShareFormat::Opus, "opus"}}};

class WavEncoder final : public SoundEncoder {
 public:
  explicit WavEncoder(EncodedBytes out) : out_(std::move(out)) {}
  bool Begin(std::uint64_t sampleCount) {
    return out_(WavHeader(static_cast<std::uint32_t>(sampleCount * 2)));
  }
  bool Add(std::span<const std::int16_t> samples) override {
    bytes_.resize(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const auto s = static_cast<std::uint16_t>(samples[i]);
      bytes_[2 * i] = static_cast<std::uint8_t>(s & 0xFF);
      bytes_[2 * i + 1] = static_cast<std::uint8_t>(s >> 8);
    }
    return out_(bytes_);
  }
  bool Finish() override { return true; }

 private:
  EncodedBytes out_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace

std::string_view FormatName(ShareFormat format) {
  for (const auto& [f, name] : kNames)
    if (f == format) return name;
  return {};
}

std::optional<ShareFormat> FormatNamed(std::string_view name) {
  for (const auto& [f, n] : kNames)
    if (n == name) return f;
  return std::nullopt;
}

QString CallTags::Title() const {
  QStringList parts;
  for (const QString& part : {kind, telephoneNumber, time})
    if (!part.isEmpty()) parts << part;
  return parts.join(QLatin1Char(' '));
}

std::unique_ptr<SoundEncoder> MakeWavEncoder(std::uint64_t sampleCount, EncodedBytes out) {
  if (!FitsInWav(sampleCount * 2)) return nullptr;
  auto encoder = std::make_unique<WavEncoder>(std::move(out));
  // A header that could not be written is met again at the first samples.
  encoder->Begin(sampleCount);
  return encoder;
}

std::unique_ptr<SoundEncoder> MakeSoundEncoder(ShareFormat format, const CallTags& tags,
                                               std::uint64_t sampleCount, EncodedBytes out) {
  switch (format) {
    case ShareFormat::Wav:
      return MakeWavEncoder(sampleCount, std::move(out));
    case ShareFormat::Mp3:
      return MakeMp3Encoder(tags, std::move(out));
    case ShareFormat::Opus:
      return MakeOpusEncoder(tags, std::move(out));
  }
  return nullptr;
}

}  // namespace parlomax::audio
