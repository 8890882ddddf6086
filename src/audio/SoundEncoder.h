#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace parlomax::audio {

// The formats a recording can be handed on in: WAV for anything that edits
// sound, MP3 and Ogg Opus small enough for a mail or a chat.
enum class ShareFormat { Wav, Mp3, Opus };

// "wav", "mp3", "opus": the name on the command line and the files' ending.
std::string_view FormatName(ShareFormat format);
std::optional<ShareFormat> FormatNamed(std::string_view name);

// What the recording's header says of the call, written into the file's
// tags where the format has them.
struct CallTags {
  QString telephoneNumber;
  QString time;  // as the list shows it
  QString kind;  // 来电, 去电...
  // "来电 13800138000 03-17 14:05": what a player shows as the title.
  QString Title() const;
};

// Where an encoder's bytes go; false once they could not be written, after
// which the encoder gives up.
using EncodedBytes = std::function<bool(std::span<const std::uint8_t>)>;

// Turns recording sound (16-bit samples, 8000 a second, one channel) into
// one format's bytes as it comes, holding no more of it than the format
// needs to.
class SoundEncoder {
 public:
  virtual ~SoundEncoder() = default;
  // False when the encoder refused them or their bytes could not be written.
  virtual bool Add(std::span<const std::int16_t> samples) = 0;
  // What the encoder still holds back, and the stream's end.
  virtual bool Finish() = 0;
};

// Nothing when the encoder library refuses the settings.
std::unique_ptr<SoundEncoder> MakeWavEncoder(std::uint64_t sampleCount, EncodedBytes out);
std::unique_ptr<SoundEncoder> MakeMp3Encoder(const CallTags& tags, EncodedBytes out);
std::unique_ptr<SoundEncoder> MakeOpusEncoder(const CallTags& tags, EncodedBytes out);
// `sampleCount`: the samples to come (a WAV file says so up front).
std::unique_ptr<SoundEncoder> MakeSoundEncoder(ShareFormat format, const CallTags& tags,
                                               std::uint64_t sampleCount, EncodedBytes out);

// Speech wants no more: 16 kbit/s keeps a voice clear and a three-minute
// call under half a megabyte.
inline constexpr int kVoiceBitsPerSecond = 16'000;

}  // namespace parlomax::audio
