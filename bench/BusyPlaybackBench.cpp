// Does the sound hold while the computer is busy? A minute of a recording
// plays through STK into a private PulseAudio server's null sink while two
// CPU-bound processes at ordinary priority keep both cores busy; the sink's
// monitor is recorded back. Once with the player thread at the priority of
// any program (what an ordinary user's player had before: the system let it
// raise nothing), once time-critical (real time, as RealtimeKit grants it on
// a desktop, or as the process sets it where it may):
//   underruns   how often STK found its output run dry
//   worst gap   the longest stretch of silence inside the sound heard
//   matches     the sound heard against the decoded recording, second by
//               second, at the best alignment (correlation)
//
//   bench_busy_playback [seconds of sound, default 60] [spinning processes, default 2]
#include "BenchSupport.h"
#include "PrivateSoundServer.h"
#include "RecordingMessageService.h"
#include "SpxFiles.h"
#include "audio/Playback.h"
#include "platform/realtime/RealtimeThread.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/sound/StkAudioOutput.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>

using namespace parlomax;

namespace {

class QuietView final : public audio::PlaybackView {
 public:
  void ShowPosition(std::int32_t) override {}
  void ShowElapsed(std::uint32_t) override {}
  void Warn(const QString&) override {}
};

// Processes that do nothing but spin, at the priority of any program.
class BusyCores {
 public:
  explicit BusyCores(int processes) {
    for (int i = 0; i < processes; ++i) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        volatile unsigned long spin = 0;
        for (;;) spin = spin + 1;
      }
      pids_.push_back(pid);
    }
  }
  ~BusyCores() {
    for (pid_t pid : pids_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

 private:
  std::vector<pid_t> pids_;
};

// Standard error into a file for as long as this lives: STK says every
// underrun there.
class CaughtErrors {
 public:
  explicit CaughtErrors(const std::filesystem::path& file) : file_(file), saved_(::dup(STDERR_FILENO)) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  int Underruns() {
    ::dup2(saved_, STDERR_FILENO);
    std::ifstream in(file_);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    int n = 0;
    for (auto at = text.find("underrun"); at != std::string::npos; at = text.find("underrun", at + 1)) ++n;
    return n;
  }

 private:
  std::filesystem::path file_;
  int saved_;
};

std::vector<std::int16_t> ReadSamples(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

double Correlation(const std::int16_t* a, const std::int16_t* b, std::size_t n) {
  double ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < n; ++i) {
    ab += double(a[i]) * b[i];
    aa += double(a[i]) * a[i];
    bb += double(b[i]) * b[i];
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

struct Heard {
  int underruns = 0;
  double worstGapMs = 0;
  double worstSecond = 1;  // the lowest correlation of a second with the recording
  double seconds = 0;
};

bool Loud(std::int16_t s) { return std::abs(s) > 200; }

// The longest run of silence in samples [first, last).
template <typename It>
double WorstGapMs(It first, It last) {
  std::size_t run = 0, worst = 0;
  for (auto it = first; it != last; ++it) {
    run = std::abs(*it) <= 2 ? run + 1 : 0;
    worst = std::max(worst, run);
  }
  return worst / 8.0;
}

// The longest run of silence between the first and the last sound, and how
// well each second of sound matches the decoded recording where it fits best.
Heard Analyse(const std::vector<std::int16_t>& captured, const std::vector<std::int16_t>& decoded) {
  Heard heard;
  const auto first = std::find_if(captured.begin(), captured.end(), Loud);
  const auto last = std::find_if(captured.rbegin(), captured.rend(), Loud).base();
  if (first >= last) return heard;
  heard.seconds = double(last - first) / 8000;
  heard.worstGapMs = WorstGapMs(first, last);
  // Each whole second heard (after the first, which a capture may miss the
  // start of), slid over the recording near where it should be.
  const std::size_t start = static_cast<std::size_t>(first - captured.begin());
  for (std::size_t at = start + 8000; at + 8000 <= static_cast<std::size_t>(last - captured.begin()); at += 8000) {
    double best = 0;
    const std::size_t expected = at - start;
    for (std::size_t shift = expected > 4000 ? expected - 4000 : 0; shift <= expected + 4000 && shift + 8000 <= decoded.size();
         shift += 1) {
      best = std::max(best, Correlation(captured.data() + at, decoded.data() + shift, 8000));
      if (best > 0.995) break;
    }
    heard.worstSecond = std::min(heard.worstSecond, best);
  }
  return heard;
}

Heard PlayWhileBusy(const std::filesystem::path& spx, const std::vector<std::int16_t>& decoded,
                    const testing::PrivateSoundServer& server, const std::filesystem::path& scratch, int spinners) {
  std::atomic<audio::PlayState> state{audio::PlayState::Stopped};
  const audio::ExternalDecoder decoder(PARLOMAX_DECODER_PROGRAM);
  sound::StkAudioOutputFactory outputs;
  testing::RecordingMessageService messages;
  audio::Playback playback(state, decoder, outputs, messages);
  const BusyCores busy(spinners);
  auto recording = server.Record(scratch / "capture.raw");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  CaughtErrors errors(scratch / "stderr.txt");
  state = audio::PlayState::Playing;
  if (playback.Start(spx.string(), std::make_shared<QuietView>()) != audio::StartResult::Started) bench::Fail("the recording did not start");
  while (state != audio::PlayState::Stopped) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  playback.WaitForPlayer();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  recording->Signal(SIGTERM);
  recording->Wait();
  Heard heard = Analyse(ReadSamples(scratch / "capture.raw"), decoded);
  heard.underruns = errors.Underruns();
  return heard;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
  const int spinners = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
  sound::AskForShortSoundServerBuffering();
  // The sound server in real time, as on a desktop: what is measured is the player.
  testing::PrivateSoundServer server(true);
  if (!server.Running()) bench::Fail("needs pulseaudio and parec (scripts/setup installs them)");
  shell::PrivateWorkingDirectory work;
  testing::TempFolder folder;
  const auto payload = testing::TonePayload(static_cast<std::size_t>(seconds) * 1000, 440);
  testing::WriteSpx(folder / "03171430_0001.spx", payload);
  const auto decoded = testing::DecodedInChunks(payload, audio::kPlayChunkBytes);

  std::printf("%d s of sound into a null sink, the cores kept busy by %d spinning processes\n", seconds, spinners);
  // A decoder starting afresh every five seconds begins each run with a few
  // quiet milliseconds: the recording's own silences are no fault of the player.
  const auto from = std::find_if(decoded.begin(), decoded.end(), Loud);
  const auto to = std::find_if(decoded.rbegin(), decoded.rend(), Loud).base();
  std::printf("the recording's own longest silence: %.1f ms\n", WorstGapMs(from, to));
  for (const bool timeCritical : {false, true}) {
    realtime::AllowPriorityChanges(timeCritical);
    const Heard heard = PlayWhileBusy(folder / "03171430_0001.spx", decoded, server, folder.Path(), spinners);
    std::printf("%-34s underruns %3d   worst gap %7.1f ms   heard %5.1f s   worst second matches %.3f\n",
                timeCritical ? "player time-critical (real time):" : "player at any program's priority:", heard.underruns,
                heard.worstGapMs, heard.seconds, heard.worstSecond);
  }
  return 0;
}
