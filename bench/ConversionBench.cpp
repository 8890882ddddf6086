// What a WAV conversion costs, in one run:
//   - the start of the decoder program on a half-second chunk, side by side
//     with a trivial program spawned the same way (the floor of the design);
//   - one hour of recordings converted through the conversion job, against
//     the bare DecodeChunk loop over the same chunks;
//   - Debian's speexdec decoding the same hour as an Ogg Speex file, when it
//     is installed (scripts/bench installs it).
//
//   bench_conversion [seconds per spawn measurement, default 3]
#include "ConversionRuns.h"
#include "SpxFiles.h"
#include "TempFolder.h"
#include "catalogue/FolderList.h"
#include "platform/shell/PrivateWorkingDirectory.h"

#include <algorithm>
#include <fstream>

using namespace parlomax;
using bench::kHourSeconds;
using Clock = std::chrono::steady_clock;

namespace {

double RunsPerSecond(const std::string& program, const std::vector<std::string>& args, double seconds) {
  long runs = 0;
  const auto start = Clock::now();
  while (bench::SecondsSince(start) < seconds) {
    if (shell::StartAndWait(program, args) != 0) bench::Fail("a program failed");
    ++runs;
  }
  return runs / bench::SecondsSince(start);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  shell::PrivateWorkingDirectory work;
  std::printf("working folder: %s\n", work.Path().parent_path().c_str());
  const auto sound = bench::AnHourOfSound();
  const auto payload = speex::SpeexEncoder().Encode(sound);

  // The floor: start-ups per second, taken in turns so that both see the
  // same machine.
  {
    std::ofstream("chunk.spt", std::ios::binary).write(reinterpret_cast<const char*>(payload.data()), catalogue::kConversionStepBytes);
    std::vector<double> trivial, decoder;
    for (int round = 0; round < 3; ++round) {
      trivial.push_back(RunsPerSecond(PARLOMAX_TRIVIAL_PROGRAM, {}, seconds));
      decoder.push_back(RunsPerSecond(PARLOMAX_DECODER_PROGRAM, {"chunk.spt", "chunk.raw"}, seconds));
    }
    std::printf("start and end, 500-byte chunk: decoder %.0f runs/s, trivial program %.0f runs/s: ratio %.2f\n",
                Median(decoder), Median(trivial), Median(decoder) / Median(trivial));
  }

  testing::TempFolder input, output;
  testing::WriteSpx(input / "03171430_0001.spx", payload);
  const audio::ExternalDecoder decoder(PARLOMAX_DECODER_PROGRAM);

  // The bare loop: the same chunks through DecodeChunk, each read back.
  auto start = Clock::now();
  std::vector<std::uint8_t> samples(audio::kConvertedChunkBytes);
  constexpr std::size_t kStep = catalogue::kConversionStepBytes;
  for (std::size_t at = 0; at + kStep <= payload.size(); at += kStep) {
    if (decoder.DecodeChunk(std::span(payload.data() + at, kStep), audio::kConversionOutput) !=
        audio::DecodeResult::Decoded) {
      bench::Fail("the decoder failed");
    }
    std::ifstream(audio::kConversionOutput, std::ios::binary)
        .read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
  }
  const double bare = bench::SecondsSince(start);

  // The job, as the window runs it.
  bench::QuietMessages messages;
  const double job = bench::ConversionJobSeconds(decoder, input.Path(), output.Path(), kHourSeconds * 2 + 1, messages);
  std::printf("one hour of sound (7200 chunks): job %.2f s, bare DecodeChunk loop %.2f s: job at %.2f of the loop's rate\n",
              job, bare, bare / job);

  // The tool a user would otherwise reach for, on the same sound as Ogg Speex.
  if (const auto peer = bench::SpeexdecSeconds(sound)) {
    std::printf("the same hour as Ogg Speex through speexdec: %.2f s (the job takes %.1f times as long)\n", *peer,
                job / *peer);
  } else {
    std::printf("speexdec is not installed: no comparison with it (scripts/bench installs it)\n");
  }
  if (!messages.seen.empty()) std::printf("messages: %s\n", messages.seen.back().toStdString().c_str());
  return 0;
}
