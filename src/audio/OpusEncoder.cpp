// Ogg Opus through libopusenc: one channel of speech at 16 kbit/s, tagged
// with Vorbis comments. The recordings' 8000 samples a second are a rate
// Opus codes natively; libopusenc resamples for the Ogg stream's clock.
#include "audio/SoundEncoder.h"

#include <opusenc.h>

namespace parlomax::audio {
namespace {

constexpr int kSampleRate = 8000;

class OpusEncoder final : public SoundEncoder {
 public:
  explicit OpusEncoder(EncodedBytes out) : comments_(ope_comments_create()), out_(std::move(out)) {}
  ~OpusEncoder() override {
    if (encoder_ != nullptr) ope_encoder_destroy(encoder_);
    if (comments_ != nullptr) ope_comments_destroy(comments_);
  }
  OpusEncoder(const OpusEncoder&) = delete;
  OpusEncoder& operator=(const OpusEncoder&) = delete;

  bool Begin(const CallTags& tags) {
    if (comments_ == nullptr) return false;
    for (const auto& [name, value] :
         {std::pair{"TITLE", tags.Title()}, std::pair{"ARTIST", tags.telephoneNumber},
          std::pair{"PHONE", tags.telephoneNumber}, std::pair{"CALLTIME", tags.time},
          std::pair{"CALLKIND", tags.kind}}) {
      if (!value.isEmpty() &&
          ope_comments_add(comments_, name, value.toUtf8().constData()) != OPE_OK)
        return false;
    }
    static const OpusEncCallbacks kCallbacks{&Write, &Close};
    int error = OPE_OK;
    encoder_ =
        ope_encoder_create_callbacks(&kCallbacks, this, comments_, kSampleRate, 1, 0, &error);
    if (encoder_ == nullptr || error != OPE_OK) return false;
    // Half the encoder's effort costs a three-minute call nothing one can
    // hear (its sound follows the recording's as closely) and a quarter of
    // the time.
    return ope_encoder_ctl(encoder_, OPUS_SET_BITRATE(kVoiceBitsPerSecond)) == OPE_OK &&
           ope_encoder_ctl(encoder_, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE)) == OPE_OK &&
           ope_encoder_ctl(encoder_, OPUS_SET_COMPLEXITY(5)) == OPE_OK;
  }

  bool Add(std::span<const std::int16_t> samples) override {
    return ope_encoder_write(encoder_, samples.data(), static_cast<int>(samples.size())) ==
               OPE_OK &&
           !failed_;
  }

  bool Finish() override { return ope_encoder_drain(encoder_) == OPE_OK && !failed_; }

 private:
  static int Write(void* self, const unsigned char* bytes, opus_int32 length) {
    auto& encoder = *static_cast<OpusEncoder*>(self);
    if (!encoder.failed_ && !encoder.out_(std::span(bytes, static_cast<std::size_t>(length))))
      encoder.failed_ = true;
    return encoder.failed_ ? 1 : 0;
  }
  // The file is the caller's to close.
  static int Close(void*) { return 0; }

  OggOpusComments* comments_;
  OggOpusEnc* encoder_ = nullptr;
  EncodedBytes out_;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<SoundEncoder> MakeOpusEncoder(const CallTags& tags, EncodedBytes out) {
  auto encoder = std::make_unique<OpusEncoder>(std::move(out));
  if (!encoder->Begin(tags)) return nullptr;
  return encoder;
}

}  // namespace parlomax::audio
