#pragma once

// The conversions the benchmarks compare: the window's job, and Debian's
// speexdec on the same sound.
#include "BenchSupport.h"
#include "audio/ConversionJob.h"
#include "platform/shell/StartAndWait.h"
#include "platform/speex/SpeexCodec.h"

#include <cmath>
#include <fstream>
#include <numbers>
#include <optional>
#include <span>

namespace parlomax::bench {

inline constexpr int kHourSeconds = 3600;

// An hour of speech-like sound: a wandering pitch whose loudness rises and falls.
inline std::vector<std::int16_t> AnHourOfSound() {
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

class NoConversionView final : public audio::ConversionView {
 public:
  void ShowFileName(const QString&) override {}
  void SetFileBar(std::uint32_t, std::uint32_t) override {}
  void SetTotalBar(std::uint32_t, std::uint32_t) override {}
  void RestoreControls() override {}
  void EndJob(bool) override {}
  void ErrorStop() override {}
};

// Seconds the window's conversion of every .spx file of `input` takes, in
// half-second chunks, for `chunks` chunks in all.
inline double ConversionJobSeconds(const audio::ExternalDecoder& decoder, const std::filesystem::path& input,
                                   const std::filesystem::path& output, std::uint32_t chunks,
                                   QuietMessages& messages) {
  NoConversionView view;
  std::atomic<bool> running{true};
  const auto start = std::chrono::steady_clock::now();
  audio::ConversionJob job({audio::ConversionKind::All, decoder, messages, view, running,
                            catalogue::SearchRecordingFiles(input), output, chunks});
  job.Run({});
  return SecondsSince(start);
}

inline bool SpeexToolsInstalled() { return shell::StartAndWait("speexdec", {"--version"}).started; }

// `sound` as an Ogg Speex file, made by Debian's speexenc as a user would.
inline void MakeOggSpeex(std::span<const std::int16_t> sound, const std::string& file) {
  std::ofstream(file + ".raw", std::ios::binary)
      .write(reinterpret_cast<const char*>(sound.data()), static_cast<std::streamsize>(sound.size() * 2));
  if (shell::StartAndWait("speexenc", {"--narrowband", "--quality", "4", "--rate", "8000", file + ".raw", file}) != 0) {
    Fail("speexenc failed");
  }
}

// Seconds Debian's speexdec takes over the Ogg Speex files, one after another.
inline double SpeexdecSeconds(const std::vector<std::string>& files) {
  const auto start = std::chrono::steady_clock::now();
  for (const auto& file : files) {
    if (shell::StartAndWait("speexdec", {file, file + ".wav"}) != 0) Fail("speexdec failed");
  }
  return SecondsSince(start);
}

// The same over `sound` made into an Ogg Speex file in the working folder;
// nothing when the tools are not installed.
inline std::optional<double> SpeexdecSeconds(const std::vector<std::int16_t>& sound) {
  if (!SpeexToolsInstalled()) return std::nullopt;
  MakeOggSpeex(sound, "hour.ogg");
  return SpeexdecSeconds(std::vector<std::string>{"hour.ogg"});
}

}  // namespace parlomax::bench
