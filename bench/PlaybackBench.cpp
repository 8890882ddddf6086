// How soon a Play is heard, and what playing costs: the whole window,
// offscreen, plays through STK into a private PulseAudio server whose null
// sink is recorded back as it plays.
//   Play -> the first sample handed to the output
//   Play -> the first sound coming out of the sink (its monitor)
//   CPU time of the program (its threads and its decoder runs) per second
//   of sound played
//
// each at 1x, 1.5x and 2x (the speed change, with the voice's pitch kept).
//
//   bench_playback [seconds of sound for the CPU measurement, default 10]
#include "BenchSupport.h"
#include "FakeFolderChooser.h"
#include "ListRows.h"
#include "PrivateSoundServer.h"
#include "RecordingFolderBrowser.h"
#include "SpxFiles.h"
#include "app/MainUnit.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/sound/StkAudioOutput.h"
#include "platform/spreadsheet/SpreadsheetServer.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <atomic>
#include <cmath>

#include <sys/resource.h>

using namespace parlomax;
using Clock = std::chrono::steady_clock;

namespace {

// STK's output, remembering when the first sample of a playback arrives.
class TimedOutputs final : public sound::AudioOutputFactory {
 public:
  std::atomic<Clock::rep> firstSample{0};

  sound::OpenedOutput Open(const std::string& title) override {
    auto opened = stk_.Open(title);
    if (opened.output) opened.output = std::make_unique<Timed>(std::move(opened.output), firstSample);
    return opened;
  }

 private:
  class Timed final : public sound::AudioOutput {
   public:
    Timed(std::unique_ptr<sound::AudioOutput> inner, std::atomic<Clock::rep>& first)
        : inner_(std::move(inner)), first_(first) {}
    bool Tick(double sample) override {
      if (!seen_) {
        Clock::rep none = 0;
        first_.compare_exchange_strong(none, Clock::now().time_since_epoch().count());
        seen_ = true;
      }
      return inner_->Tick(sample);
    }

   private:
    std::unique_ptr<sound::AudioOutput> inner_;
    std::atomic<Clock::rep>& first_;
    bool seen_ = false;
  };
  sound::StkAudioOutputFactory stk_;
};

// Reads the sink's monitor as it plays and notes when sound first comes out.
class MonitorWatch {
 public:
  MonitorWatch() : pipe_(::popen("parec --raw --latency-msec=10 -d null.monitor --format=s16le "
                                 "--rate=8000 --channels=1", "r")) {
    if (!pipe_) bench::Fail("cannot record the sink");
    reader_ = std::thread([this] {
      std::int16_t block[80];
      while (!quit_ && std::fread(block, sizeof block, 1, pipe_) == 1) {
        const bool loud = std::any_of(std::begin(block), std::end(block),
                                      [](std::int16_t s) { return std::abs(s) > 1000; });
        if (loud && armed_) {
          Clock::rep none = 0;
          firstSound.compare_exchange_strong(none, Clock::now().time_since_epoch().count());
        }
      }
    });
  }
  ~MonitorWatch() {
    quit_ = true;
    std::system("pkill -TERM -x parec");
    reader_.join();
    ::pclose(pipe_);
  }
  void Arm() {
    firstSound = 0;
    armed_ = true;
  }
  void Disarm() { armed_ = false; }

  std::atomic<Clock::rep> firstSound{0};

 private:
  std::FILE* pipe_;
  std::atomic<bool> quit_{false}, armed_{false};
  std::thread reader_;
};

void Pump(QApplication& application, double seconds) {
  const auto until = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < until) {
    application.processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// Lets the window run as it does for a user: idle in its event loop.
void Idle(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
}

double Milliseconds(Clock::rep later, Clock::time_point start) {
  if (later == 0) return NAN;
  return std::chrono::duration<double, std::milli>(Clock::time_point(Clock::duration(later)) - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? NAN : values[values.size() / 2];
}

double CpuSeconds() {
  rusage self{}, children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) +
         seconds(children.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  const double soundSeconds = argc > 1 ? std::max(3.0, std::atof(argv[1]) * 3) : 10.0;
  const std::vector<float> speeds{1.0f, 1.5f, 2.0f};
  sound::AskForShortSoundServerBuffering();
  testing::PrivateSoundServer server;
  if (!server.Running()) bench::Fail("needs pulseaudio and parec (scripts/setup installs them)");
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  shell::PrivateWorkingDirectory work;
  testing::TempFolder folder;
  testing::WriteSpx(folder / "03171430_0001.spx", testing::TonePayload(120000, 440));

  usb::EmulatorDeviceLibrary devices(folder.Path());  // no telephone
  bench::QuietMessages messages;
  testing::FakeFolderChooser folders;
  folders.answer = QString::fromStdString(folder.Path().string());
  spreadsheet::BuiltInAutomation automation;
  TimedOutputs outputs;
  testing::RecordingFolderBrowser browser;
  app::TMainForm form(app::Platform{devices, messages, folders, automation, outputs, browser,
                                    PARLOMAX_DECODER_PROGRAM});
  form.show();
  form.BitBtn3Click();
  auto* files = form.findChild<QTreeView*>("ListViewFile");
  testing::WaitForFolderListing(form);
  MonitorWatch monitor;
  Pump(application, 0.5);

  // At the recorded speed first, then faster with the voice's pitch kept:
  // the speed change must cost neither a late start nor a busy core.
  for (const float speed : speeds) {
    form.Playback().SetSpeed(speed);
    std::vector<double> toSample, toSound;
    for (int round = 0; round < 6; ++round) {
      testing::SelectRow(files, 0);
      outputs.firstSample = 0;
      monitor.Arm();
      const auto start = Clock::now();
      form.BitBtnPlayStartClick();
      for (int i = 0; i < 3000 && monitor.firstSound == 0; ++i) Pump(application, 0.001);
      toSample.push_back(Milliseconds(outputs.firstSample, start));
      toSound.push_back(Milliseconds(monitor.firstSound, start));
      monitor.Disarm();
      Pump(application, 0.5);
      form.BitBtnPlayStopClick();
      Pump(application, 0.5);
    }
    std::printf("== at %.2gx\n", speed);
    std::printf("Play -> first sample to the output: first %.0f ms, then", toSample[0]);
    for (std::size_t i = 1; i < toSample.size(); ++i) std::printf(" %.0f", toSample[i]);
    std::printf(" ms (median %.0f)\nPlay -> first sound at the sink:    first %.0f ms, then",
                Median(toSample), toSound[0]);
    for (std::size_t i = 1; i < toSound.size(); ++i) std::printf(" %.0f", toSound[i]);
    std::printf(" ms (median %.0f)\n", Median(toSound));

    testing::SelectRow(files, 0);
    form.BitBtnPlayStartClick();
    Pump(application, 1.0);
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = Clock::now();
    const std::uint32_t soundBefore = form.Playback().Engine().ElapsedSeconds();
    Idle(soundSeconds);
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = bench::SecondsSince(wallBefore);
    const std::uint32_t played = form.Playback().Engine().ElapsedSeconds() - soundBefore;
    form.BitBtnPlayStopClick();
    std::printf(
        "CPU while playing: %.3f s over %.1f s of wall time and %u s of the recording: %.2f %% of "
        "one core\n",
        cpu, wall, played, 100 * cpu / wall);
  }
  if (form.Playback().Engine().Speed() != 1.0f) form.Playback().SetSpeed(1.0f);
  if (!messages.seen.empty()) std::printf("unexpected messages: %zu\n", messages.seen.size());
  return 0;
}
