// What a WAV conversion costs, in one run:
//   - the start of the decoder program on a half-second chunk, side by side
//     with a trivial program spawned the same way (the floor of the design);
//   - one hour of recordings converted through the conversion job, against
//     the bare DecodeChunk loop over the same chunks;
//   - Debian's speexdec decoding the same hour as an Ogg Speex file, when it
//     is installed (scripts/bench-conversion installs it).
//
//   bench_conversion [seconds per spawn measurement, default 3]
#include "BenchSupport.h"
#include "SpxFiles.h"
#include "TempFolder.h"
#include "audio/ConversionJob.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/shell/StartAndWait.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

using namespace parlomax;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kHourSeconds = 3600;

double RunsPerSecond(const std::string& program, const std::vector<std::string>& args, double seconds) {
  long runs = 0;
  const auto start = Clock::now();
  while (bench::SecondsSince(start) < seconds) {
    if (shell::StartAndWait(program, args) != 0) bench::Fail("a program failed");
    ++runs;
  }
  return runs / bench::SecondsSince(start);
}

class NoConversionView final : public audio::ConversionView {
 public:
  void ShowFileName(const QString&) override {}
  void SetFileBar(std::uint32_t, std::uint32_t) override {}
  void SetTotalBar(std::uint32_t, std::uint32_t) override {}
  void RestoreControls() override {}
  void EndJob(bool) override {}
  void ErrorStop() override {}
};

// An hour of speech-like sound: a wandering pitch whose loudness rises and falls.
std::vector<std::int16_t> AnHourOfSound() {
  std::vector<std::int16_t> sound(static_cast<std::size_t>(kHourSeconds) * 8000);
  double phase = 0;
  for (std::size_t i = 0; i < sound.size(); ++i) {
    const double t = static_cast<double>(i) / 8000;
    phase += 2 * std::numbers::pi * (200 + 80 * std::sin(2 * std::numbers::pi * 0.3 * t)) / 8000;
    const double envelope = 0.55 + 0.45 * std::sin(2 * std::numbers::pi * 2.7 * t);
    sound[i] = static_cast<std::int16_t>(8000 * envelope * std::sin(phase));
  }
  return sound;
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
  const auto sound = AnHourOfSound();
  const auto payload = speex::SpeexEncoder().Encode(sound);

  // The floor: start-ups per second, taken in turns so that both see the
  // same machine.
  {
    std::ofstream("chunk.spt", std::ios::binary).write(reinterpret_cast<const char*>(payload.data()), 500);
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
  for (std::size_t at = 0; at + 500 <= payload.size(); at += 500) {
    if (decoder.DecodeChunk(std::span(payload.data() + at, 500), audio::kConversionOutput) !=
        audio::DecodeResult::Decoded) {
      bench::Fail("the decoder failed");
    }
    std::ifstream(audio::kConversionOutput, std::ios::binary)
        .read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
  }
  const double bare = bench::SecondsSince(start);

  // The job, as the window runs it.
  bench::QuietMessages messages;
  NoConversionView view;
  std::atomic<bool> running{true};
  start = Clock::now();
  {
    audio::ConversionJob job({audio::ConversionKind::All, decoder, messages, view, running, input.Path(),
                              output.Path(), {}, 0, kHourSeconds * 2 + 1});
    job.Start(shell::WorkerThread::Priority::Normal);
    job.Wait();
  }
  const double job = bench::SecondsSince(start);
  std::printf("one hour of sound (7200 chunks): job %.2f s, bare DecodeChunk loop %.2f s: job at %.2f of the loop's rate\n",
              job, bare, bare / job);

  // The tool a user would otherwise reach for, on the same sound as Ogg Speex.
  if (shell::StartAndWait("speexdec", {"--version"}).started) {
    std::ofstream("hour.raw", std::ios::binary)
        .write(reinterpret_cast<const char*>(sound.data()), static_cast<std::streamsize>(sound.size() * 2));
    if (shell::StartAndWait("speexenc", {"--narrowband", "--quality", "4", "--rate", "8000", "hour.raw",
                                         "hour.ogg"}) != 0) {
      bench::Fail("speexenc failed");
    }
    start = Clock::now();
    if (shell::StartAndWait("speexdec", {"hour.ogg", "hour.wav"}) != 0) bench::Fail("speexdec failed");
    const double peer = bench::SecondsSince(start);
    std::printf("the same hour as Ogg Speex through speexdec: %.2f s (the job takes %.1f times as long)\n", peer,
                job / peer);
  } else {
    std::printf("speexdec is not installed: no comparison with it (scripts/bench-conversion installs it)\n");
  }
  if (!messages.seen.empty()) std::printf("messages: %s\n", messages.seen.back().toStdString().c_str());
  return 0;
}
