#include "platform/speex/SpeexCodec.h"

#include <speex/speex.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace parlomax::speex {
namespace {

// Quality 4 of the narrowband mode is the 8000 bit/s sub-mode: 160 bits, that
// is 20 bytes, per frame.
constexpr spx_int32_t kQuality = 4;

}  // namespace

SpeexEncoder::SpeexEncoder() : state_(speex_encoder_init(&speex_nb_mode)), bits_(new SpeexBits) {
  if (state_ == nullptr) throw std::runtime_error("无法启动 Speex 编码器");
  spx_int32_t quality = kQuality;
  speex_encoder_ctl(state_, SPEEX_SET_QUALITY, &quality);
  speex_bits_init(bits_);
}

SpeexEncoder::~SpeexEncoder() {
  speex_bits_destroy(bits_);
  delete bits_;
  speex_encoder_destroy(state_);
}

std::vector<std::uint8_t> SpeexEncoder::Encode(std::span<const std::int16_t> samples) {
  std::vector<std::uint8_t> payload;
  payload.reserve((samples.size() + kFrameSamples - 1) / kFrameSamples * kFrameBytes);
  std::array<spx_int16_t, kFrameSamples> frame;
  std::array<char, kFrameBytes * 2> bytes;
  for (std::size_t at = 0; at < samples.size(); at += kFrameSamples) {
    const std::size_t n = std::min(kFrameSamples, samples.size() - at);
    std::copy_n(samples.begin() + at, n, frame.begin());
    std::fill(frame.begin() + n, frame.end(), 0);
    speex_bits_reset(bits_);
    speex_encode_int(state_, frame.data(), bits_);
    const int written = speex_bits_write(bits_, bytes.data(), static_cast<int>(bytes.size()));
    if (written != static_cast<int>(kFrameBytes)) {
      throw std::logic_error("the Speex encoder did not make a 20-byte frame");
    }
    payload.insert(payload.end(), bytes.begin(), bytes.begin() + written);
  }
  return payload;
}

SpeexDecoder::SpeexDecoder() : state_(speex_decoder_init(&speex_nb_mode)), bits_(new SpeexBits) {
  if (state_ == nullptr) throw std::runtime_error("无法启动 Speex 解码器");
  // Perceptual enhancement is on by default in the decoder; say so plainly.
  spx_int32_t enhance = 1;
  speex_decoder_ctl(state_, SPEEX_SET_ENH, &enhance);
  speex_bits_init(bits_);
}

SpeexDecoder::~SpeexDecoder() {
  speex_bits_destroy(bits_);
  delete bits_;
  speex_decoder_destroy(state_);
}

void SpeexDecoder::Decode(std::span<const std::uint8_t> payload,
                          std::vector<std::int16_t>& samples) {
  const std::size_t from = samples.size();
  samples.resize(from + payload.size() * kSamplesPerByte);
  DecodeInto(payload, samples.data() + from);
}

void SpeexDecoder::DecodeInto(std::span<const std::uint8_t> payload, std::int16_t* samples) {
  std::array<char, kFrameBytes> bytes;
  const std::size_t whole = payload.size() / kFrameBytes * kFrameBytes;
  for (std::size_t at = 0; at < whole; at += kFrameBytes, samples += kFrameSamples) {
    std::copy_n(payload.begin() + at, kFrameBytes, bytes.begin());
    speex_bits_read_from(bits_, bytes.data(), static_cast<int>(kFrameBytes));
    if (speex_decode_int(state_, bits_, samples) != 0) std::fill_n(samples, kFrameSamples, 0);
  }
  std::fill_n(samples, (payload.size() - whole) * kSamplesPerByte, 0);
}

std::vector<std::int16_t> SpeexDecoder::Decode(std::span<const std::uint8_t> payload) {
  std::vector<std::int16_t> samples;
  Decode(payload, samples);
  return samples;
}

}  // namespace parlomax::speex
