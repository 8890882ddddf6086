// How many decoder runs a second DecodeChunk manages, for the half-second
// chunks of the WAV conversion and the five-second chunks of playback,
// against decoding the same chunks inside one process (the limit).
//
//   bench_decode [seconds per measurement, default 3]
#include "BenchSupport.h"
#include "audio/ExternalDecoder.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/speex/SpeexCodec.h"

#include <cmath>

using namespace parlomax;
using Clock = std::chrono::steady_clock;

namespace {

template <typename Run>
double RunsPerSecond(double seconds, Run run) {
  long runs = 0;
  const auto start = Clock::now();
  while (bench::SecondsSince(start) < seconds) {
    run();
    ++runs;
  }
  return runs / bench::SecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  shell::PrivateWorkingDirectory workingDirectory;
  std::vector<std::int16_t> sound(8000 * 5);
  for (std::size_t i = 0; i < sound.size(); ++i) {
    sound[i] = static_cast<std::int16_t>(6000 * std::sin(0.07 * i) * std::sin(0.0011 * i));
  }
  const auto payload = speex::SpeexEncoder().Encode(sound);  // 5000 bytes
  const audio::ExternalDecoder decoder(PARLOMAX_DECODER_PROGRAM);

  for (const std::size_t size : {std::size_t{500}, std::size_t{5000}}) {
    const std::span<const std::uint8_t> chunk(payload.data(), size);
    const double external = RunsPerSecond(seconds, [&] {
      if (decoder.DecodeChunk(chunk, audio::kConversionOutput) != audio::DecodeResult::Decoded) {
        bench::Fail("the decoder failed");
      }
    });
    const double inside = RunsPerSecond(seconds, [&] {
      speex::SpeexDecoder d;
      if (d.Decode(chunk).size() != size * 8) bench::Fail("bad decode");
    });
    std::printf("%4zu-byte chunks: %7.0f runs/s through the decoder program, %8.0f/s in one process, ratio %.3f\n",
                size, external, inside, external / inside);
    if (size == 500) {
      std::printf("           one hour of sound (7200 chunks) converts in %.1f s of decoding\n",
                  7200 / external);
    }
  }
  return 0;
}
