// What parlomax-cli costs where it matters, in one run:
//   - the nightly `copy --new` against a telephone of 10,000 recordings that
//     are all copied already: the whole program, start to end;
//   - `convert` of one hour of sound, as one recording and as sixty of a
//     minute each, against Debian's speexdec on the same sound as Ogg Speex
//     (one file after another, as a user's loop would run it) and against
//     the window's conversion in half-second chunks.
// Each comparison is taken in turns, three rounds; the medians are shown.
//
//   bench_cli
#include "ConversionRuns.h"
#include "SpxFiles.h"
#include "TempFolder.h"
#include "catalogue/RecordingTexts.h"
#include "phone/Content.h"
#include "platform/shell/PrivateWorkingDirectory.h"

#include <algorithm>
#include <fstream>

using namespace parlomax;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kRecordings = 10000;
constexpr unsigned kSeed = 4;
constexpr int kRounds = 3;
constexpr int kMinutes = 60;

// The telephone's recordings as a finished copy leaves them.
void WriteCopies(const phone::TelephoneModel& model, const fs::path& folder) {
  for (std::uint16_t i = 0; i < model.Count(); ++i) {
    const auto header = model.Header(i);
    const auto payload = model.Payload(i);
    std::ofstream out(folder / catalogue::RecordingFileName(header, i + 1u).toStdString(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    out.write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
  }
}

fs::file_time_type Newest(const fs::path& folder) {
  fs::file_time_type newest{};
  for (const auto& entry : fs::directory_iterator(folder)) newest = std::max(newest, entry.last_write_time());
  return newest;
}

double TimedCli(const std::vector<std::string>& arguments) {
  const auto start = std::chrono::steady_clock::now();
  if (shell::StartAndWait(PARLOMAX_CLI_PROGRAM, arguments) != 0) bench::Fail("parlomax-cli failed");
  return bench::SecondsSince(start);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void CopyNew() {
  testing::TempFolder saved;
  bench::EmulatorProcess phone({"--generate", std::to_string(kRecordings), "--seed", std::to_string(kSeed)},
                               fs::path(std::getenv("XDG_RUNTIME_DIR")) / "parlomax");
  WriteCopies(phone::TelephoneModel({9, 1, 7, 4}, phone::GenerateRecordings(kRecordings, kSeed)), saved.Path());
  const auto before = Newest(saved.Path());
  std::vector<double> runs;
  for (int i = 0; i < kRounds; ++i) runs.push_back(TimedCli({"copy", saved.Path().string(), "--new", "--quiet"}));
  if (Newest(saved.Path()) != before) bench::Fail("copy --new rewrote a file that was copied already");
  std::printf("copy --new, %u recordings all copied already: %.2f s, %.2f s, %.2f s (goal < 2 s)\n", kRecordings,
              runs[0], runs[1], runs[2]);
}

// One hour of sound cut into `pieces` recordings, converted by the command,
// by speexdec and (once) by the window's conversion.
void Convert(const std::vector<std::int16_t>& sound, int pieces) {
  testing::TempFolder input, output, windowOutput;
  const std::size_t perPiece = sound.size() / pieces;
  std::vector<std::string> oggs;
  for (int p = 0; p < pieces; ++p) {
    const std::span piece(sound.data() + p * perPiece, perPiece);
    testing::WriteSpx(input / ("piece" + std::to_string(p) + ".spx"), speex::SpeexEncoder().Encode(piece), p + 1);
    if (bench::SpeexToolsInstalled()) {
      oggs.push_back("piece" + std::to_string(p) + ".ogg");
      bench::MakeOggSpeex(piece, oggs.back());
    }
  }
  std::vector<double> cli, peer;
  for (int round = 0; round < kRounds; ++round) {
    cli.push_back(TimedCli({"convert", input.Path().string(), output.Path().string(), "--quiet"}));
    if (!oggs.empty()) peer.push_back(bench::SpeexdecSeconds(oggs));
  }
  bench::QuietMessages messages;
  const audio::ExternalDecoder decoder(PARLOMAX_DECODER_PROGRAM);
  const double window = bench::ConversionJobSeconds(decoder, input.Path(), windowOutput.Path(),
                                                    bench::kHourSeconds * 2 + pieces, messages);
  std::printf("convert, one hour as %d recording(s): parlomax-cli %.2f s; window's half-second conversion %.2f s "
              "(%.1f times as long)",
              pieces, Median(cli), window, window / Median(cli));
  if (!peer.empty()) {
    std::printf("; speexdec %.2f s (parlomax-cli at %.2f of its time)", Median(peer), Median(cli) / Median(peer));
  }
  std::printf("\n");
  if (!messages.seen.empty() && messages.seen.back() != QStringLiteral("转换全部文件成功！")) {
    std::printf("the window's conversion said: %s\n", messages.seen.back().toStdString().c_str());
  }
}

}  // namespace

int main() {
  testing::TempFolder runtime;
  ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  ::setenv("PARLOMAX_PIN", "9174", 1);
  CopyNew();

  shell::PrivateWorkingDirectory work;
  std::printf("cores: %u; %s\n", std::thread::hardware_concurrency(),
              bench::SpeexToolsInstalled() ? "speexdec found" : "speexdec not installed: no comparison with it");
  const auto sound = bench::AnHourOfSound();
  Convert(sound, 1);
  Convert(sound, kMinutes);
  return 0;
}
