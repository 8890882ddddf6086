// speex IN OUT: decodes the bare Speex payload bytes of IN into OUT as 16-bit
// little-endian mono samples at 8000 per second, 8 samples per payload byte.
// It ends only once OUT is complete and closed; any input decodes, garbage
// to noise or silence.
#include "platform/speex/SpeexCodec.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A multiple of the frame size, so that frames never straddle two reads.
constexpr std::size_t kReadSize = parlomax::speex::kFrameBytes * 3200;

bool WriteSamples(std::FILE* out, const std::vector<std::int16_t>& samples) {
  std::vector<unsigned char> bytes(samples.size() * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto s = static_cast<std::uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<unsigned char>(s & 0xFF);
    bytes[2 * i + 1] = static_cast<unsigned char>(s >> 8);
  }
  return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: speex IN OUT\n");
    return 2;
  }
  File in(std::fopen(argv[1], "rb"), &std::fclose);
  if (!in) {
    std::perror(argv[1]);
    return 1;
  }
  File out(std::fopen(argv[2], "wb"), &std::fclose);
  if (!out) {
    std::perror(argv[2]);
    return 1;
  }
  parlomax::speex::SpeexDecoder decoder;
  std::vector<std::uint8_t> payload(kReadSize);
  std::vector<std::int16_t> samples;
  for (;;) {
    const std::size_t n = std::fread(payload.data(), 1, payload.size(), in.get());
    if (n == 0) break;
    samples.clear();
    decoder.Decode(std::span<const std::uint8_t>(payload.data(), n), samples);
    if (!WriteSamples(out.get(), samples)) {
      std::perror(argv[2]);
      return 1;
    }
  }
  if (std::ferror(in.get())) {
    std::perror(argv[1]);
    return 1;
  }
  if (std::fclose(out.release()) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
