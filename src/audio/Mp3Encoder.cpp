// MP3 through LAME: MPEG-2.5 layer III, one channel at the recordings' own
// 8000 samples a second (no resampling), constant bit rate, ID3v2 tags.
#include "audio/SoundEncoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <vector>

namespace parlomax::audio {
namespace {

// LAME takes text beyond Latin-1 as UTF-16 that opens with its byte order
// mark and ends with a zero.
std::vector<unsigned short> Utf16(const QString& text) {
  std::vector<unsigned short> units{0xFEFF};
  for (const QChar c : text) units.push_back(c.unicode());
  units.push_back(0);
  return units;
}

class Mp3Encoder final : public SoundEncoder {
 public:
  explicit Mp3Encoder(EncodedBytes out) : lame_(lame_init()), out_(std::move(out)) {}
  ~Mp3Encoder() override {
    if (lame_ != nullptr) lame_close(lame_);
  }
  Mp3Encoder(const Mp3Encoder&) = delete;
  Mp3Encoder& operator=(const Mp3Encoder&) = delete;

  bool Begin(const CallTags& tags) {
    if (lame_ == nullptr) return false;
    lame_set_in_samplerate(lame_, 8000);
    lame_set_out_samplerate(lame_, 8000);
    lame_set_num_channels(lame_, 1);
    lame_set_mode(lame_, MONO);
    lame_set_VBR(lame_, vbr_off);
    lame_set_brate(lame_, kVoiceBitsPerSecond / 1000);
    // Without a seek back to the start there is no Xing frame to fill in;
    // a constant bit rate needs none for its length.
    lame_set_bWriteVbrTag(lame_, 0);
    id3tag_init(lame_);
    id3tag_v2_only(lame_);
    const auto title = Utf16(tags.Title());
    const auto number = Utf16(tags.telephoneNumber);
    const auto kind = Utf16(tags.kind);
    const auto time = Utf16(tags.time);
    id3tag_set_textinfo_utf16(lame_, "TIT2", title.data());
    id3tag_set_textinfo_utf16(lame_, "TPE1", number.data());
    id3tag_set_textinfo_utf16(lame_, "TIT3", kind.data());
    id3tag_set_comment_utf16(lame_, "zho", Utf16(QString()).data(), time.data());
    return lame_init_params(lame_) >= 0;
  }

  bool Add(std::span<const std::int16_t> samples) override {
    // LAME's own rule for the room its output needs.
    constexpr std::size_t kBlock = 8192;
    for (std::size_t at = 0; at < samples.size(); at += kBlock) {
      const auto n = static_cast<int>(std::min(kBlock, samples.size() - at));
      buffer_.resize(n * 5 / 4 + 7200);
      const int made = lame_encode_buffer(lame_, samples.data() + at, nullptr, n, buffer_.data(),
                                          static_cast<int>(buffer_.size()));
      if (!Put(made)) return false;
    }
    return true;
  }

  bool Finish() override {
    buffer_.resize(7200);
    return Put(lame_encode_flush(lame_, buffer_.data(), static_cast<int>(buffer_.size())));
  }

 private:
  bool Put(int made) {
    if (made < 0) return false;
    return made == 0 || out_(std::span(buffer_.data(), static_cast<std::size_t>(made)));
  }

  lame_t lame_;
  EncodedBytes out_;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace

std::unique_ptr<SoundEncoder> MakeMp3Encoder(const CallTags& tags, EncodedBytes out) {
  auto encoder = std::make_unique<Mp3Encoder>(std::move(out));
  if (!encoder->Begin(tags)) return nullptr;
  return encoder;
}

}  // namespace parlomax::audio
