// What sharing a three-minute call costs and gives, per format: the time
// to make the file, its size against the WAV file's, how closely what a
// player decodes follows the WAV file's sound (after the encoder's delay),
// and whether ffprobe and opusinfo take the file. The call is speech from
// espeak-ng, or the WAV file given, as the telephone would have coded it.
//
//   bench_share_formats [speech.wav]
#include "SharedFileDecoding.h"
#include "TempFolder.h"
#include "audio/ShareRecording.h"
#include "catalogue/RecordingHeader.h"
#include "phone/Content.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/shell/StartAndWait.h"

#include <sndfile.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>

using namespace parlomax;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCallBytes = 180'000;  // three minutes of payload

std::vector<std::int16_t> ReadWav(const fs::path& file, int& channels, int& rate) {
  SF_INFO info{};
  SNDFILE* in = sf_open(file.c_str(), SFM_READ, &info);
  if (in == nullptr) return {};
  std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_short(in, samples.data(), info.frames);
  sf_close(in);
  channels = info.channels;
  rate = info.samplerate;
  return samples;
}

std::vector<std::int16_t> WavSamples(const fs::path& wav) {
  std::ifstream in(wav, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::int16_t> samples;
  for (std::size_t i = 44; i + 1 < bytes.size(); i += 2)
    samples.push_back(
        static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[i]) | bytes[i + 1] << 8));
  return samples;
}

bool Accepted(const std::vector<std::string>& command) {
  return shell::StartAndWait(command[0], {command.begin() + 1, command.end()}) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const shell::PrivateWorkingDirectory work;
  const testing::TempFolder folder;
  fs::path speech = argc > 1 ? fs::path(argv[1]) : folder / "speech.wav";
  if (argc <= 1) {
    std::string text;
    for (int i = 0; i < 12; ++i)
      text +=
          "Good morning, this is the accounts office calling about the invoice from last month. "
          "We received the goods on Tuesday, but two of the boxes were damaged in transport. "
          "Could you send the replacement parts before the end of the week, and confirm the price "
          "by mail? ";
    if (shell::StartAndWait("/usr/bin/espeak-ng", {"-s", "150", "-w", speech.string(), text}) !=
        0) {
      std::cerr << "espeak-ng failed\n";
      return 1;
    }
  }
  int channels = 1, rate = 8000;
  const auto sound = ReadWav(speech, channels, rate);
  auto payload = phone::RecordingFromSamples(sound, channels, rate).payload;
  if (payload.empty()) return 1;
  // Three minutes exactly: the speech again from its start when it is shorter.
  while (payload.size() < kCallBytes)
    payload.insert(payload.end(), payload.begin(),
                   payload.begin() + std::min(payload.size(), kCallBytes - payload.size()));
  payload.resize(kCallBytes);

  catalogue::RecordingFields call{0, 3, 17, 14, 5, QStringLiteral("13800138000"), 0, kCallBytes};
  const auto header = catalogue::EncodeRecordingHeader(call);
  const fs::path spx = folder / "03171405_0001.spx";
  {
    std::ofstream out(spx, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    out.write(reinterpret_cast<const char*>(payload.data()),
              static_cast<std::streamsize>(payload.size()));
  }

  const audio::ExternalDecoder decoder(PARLOMAX_DECODER_PROGRAM);
  std::vector<std::int16_t> wav;
  std::uintmax_t wavSize = 0;
  std::printf("3-minute call (%zu payload bytes)\n%-6s %9s %10s %8s %8s %6s %s\n", kCallBytes,
              "format", "ms", "bytes", "of WAV", "corr.", "lag", "accepted by");
  for (const auto format :
       {audio::ShareFormat::Wav, audio::ShareFormat::Mp3, audio::ShareFormat::Opus}) {
    const fs::path target = audio::SharedFileFor(folder.Path(), spx, format);
    const auto start = std::chrono::steady_clock::now();
    const auto result = audio::ShareRecording(decoder, spx, target, format);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (result.outcome != audio::ShareOutcome::Written) {
      std::cerr << audio::ShareProblemText(result, spx, target).toStdString() << "\n";
      return 1;
    }
    const auto size = fs::file_size(target);
    std::string accepted = "ffprobe";
    if (!Accepted({"/usr/bin/ffprobe", "-v", "error", target.string()}))
      accepted = "(ffprobe refused)";
    double correlation = 1;
    std::size_t lag = 0;
    if (format == audio::ShareFormat::Wav) {
      wav = WavSamples(target);
      wavSize = size;
    } else {
      const auto heard = format == audio::ShareFormat::Mp3 ? testing::DecodeMp3(target)
                                                           : testing::DecodeOpus(target);
      correlation = testing::AlignedCorrelation(wav, heard.samples, 3000, &lag);
      if (format == audio::ShareFormat::Opus)
        accepted += Accepted({"/usr/bin/opusinfo", "-q", target.string()}) ? ", opusinfo"
                                                                           : ", (opusinfo refused)";
    }
    std::printf("%-6s %9.1f %10ju %7.1f%% %8.4f %6zu %s\n",
                std::string(audio::FormatName(format)).c_str(), ms,
                static_cast<std::uintmax_t>(size),
                100.0 * static_cast<double>(size) / static_cast<double>(wavSize), correlation, lag,
                accepted.c_str());
  }
  return 0;
}
