// libFuzzer target: the Speex decoder must take any bytes at all, and always
// give 8 samples for each of them.
#include "platform/speex/SpeexCodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  parlomax::speex::SpeexDecoder decoder;
  const auto samples = decoder.Decode(std::span<const std::uint8_t>(data, size));
  if (samples.size() != size * parlomax::speex::kSamplesPerByte) std::abort();
  return 0;
}
