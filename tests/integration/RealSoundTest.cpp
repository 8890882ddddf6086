// The whole program with real sound: recordings copied from the emulator
// program are played through STK's output into a private sound server, and
// what the server played is recorded back and compared with the recording.
#include "ListRows.h"
#include "PrivateSoundServer.h"
#include "ProgramRun.h"
#include "SpxFiles.h"
#include "WavWriter.h"
#include "WindowStateSeam.h"
#include "WindowWithEmulator.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/sound/StkAudioOutput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

namespace parlomax::app {
namespace {

using Samples = std::vector<std::int16_t>;

// Eight seconds that sound like nothing else at any other moment: a voice
// of wandering pitch whose loudness rises and falls.
Samples Voice() {
  Samples voice(8000 * 8);
  double phase = 0;
  for (std::size_t i = 0; i < voice.size(); ++i) {
    const double t = static_cast<double>(i) / 8000;
    phase += 2 * std::numbers::pi * (220 + 90 * std::sin(2 * std::numbers::pi * 0.7 * t)) / 8000;
    const double envelope = 0.55 + 0.45 * std::sin(2 * std::numbers::pi * 3.1 * t);
    voice[i] = static_cast<std::int16_t>(9000 * envelope * (std::sin(phase) + 0.4 * std::sin(3 * phase)));
  }
  return voice;
}

Samples ReadRaw(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
  Samples samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// The best normalised correlation of `excerpt` with `capture` at any lag.
double BestCorrelation(const Samples& excerpt, const Samples& capture) {
  double best = 0;
  for (std::size_t lag = 0; lag + excerpt.size() <= capture.size(); lag += 1) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < excerpt.size(); i += 2) {
      ab += double(excerpt[i]) * capture[lag + i];
      aa += double(excerpt[i]) * excerpt[i];
      bb += double(capture[lag + i]) * capture[lag + i];
    }
    if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
  }
  return best;
}

// Standard error, caught into a file while it is open: what STK and the
// sound libraries print shows up there.
class CaughtStandardError {
 public:
  explicit CaughtStandardError(const std::filesystem::path& file)
      : file_(file), saved_(::dup(STDERR_FILENO)) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~CaughtStandardError() { Release(); }
  std::string Release() {
    if (saved_ >= 0) {
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
      saved_ = -1;
    }
    std::ifstream in(file_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path file_;
  int saved_;
};

sound::StkAudioOutputFactory& RealSound() {
  static sound::StkAudioOutputFactory stk;
  return stk;
}

class RealSoundTest : public testing::WindowWithEmulator {
 protected:
  RealSoundTest() : WindowWithEmulator(&RealSound(), PARLOMAX_DECODER_PROGRAM) {}

  QString Elapsed() { return form_.findChild<QLabel*>("Label3")->text(); }
  // Waits until the elapsed time reads `text`; the wall time it took.
  qint64 WaitForElapsed(const char* text) {
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(testing::PumpUntil([&] { return Elapsed() == text; }, 15000)) << text;
    return clock.elapsed();
  }

  testing::PrivateSoundServer server_;
  shell::PrivateWorkingDirectory work_{std::filesystem::temp_directory_path()};
  testing::TempFolder wavs_, saved_, capture_;
};

TEST_F(RealSoundTest, ARecordingCopiedFromTheTelephonePlaysAsItWasRecorded) {
  if (!server_.Running()) GTEST_SKIP() << "no PulseAudio here";
  const Samples voice = Voice();
  ASSERT_TRUE(testing::WriteWav(wavs_ / "in_13800138000_03171430.wav", voice, 1, 8000));
  const auto phone = CopyIntoPcFolder(wavs_.Path(), saved_.Path(), 1);
  ASSERT_FALSE(HasFailure());
  auto* files = form_.findChild<QTreeView*>("ListViewFile");
  ASSERT_EQ(testing::RowCount(files), 1);
  testing::SelectRow(files, 0);

  // What the player should sound like: the copied payload, decoded five
  // seconds at a time as the player has it decoded.
  const auto spx = saved_ / testing::CellText(files, 0, 1).toStdString();
  std::ifstream in(spx, std::ios::binary);
  std::vector<std::uint8_t> payload(std::istreambuf_iterator<char>(in), {});
  payload.erase(payload.begin(), payload.begin() + 19);
  const Samples decoded = testing::DecodedInChunks(payload, 5000);

  auto recording = server_.Record(capture_ / "capture.raw");
  CaughtStandardError errors(capture_ / "stderr.txt");
  Button("BitBtnPlayStart")->click();
  WaitForElapsed("00:00:01");
  // The desktop's volume control names the stream after the recording.
  const auto streams = testing::RunProgram({"/usr/bin/env", "pactl", "list", "sink-inputs"}, {});
  EXPECT_NE(streams.out.find("application.name = \"Parlomax – " + spx.filename().string() + "\""),
            std::string::npos)
      << streams.out;
  const qint64 threeSeconds = WaitForElapsed("00:00:04");
  form_.BitBtnPlayPauseClick();
  testing::LetEventsRunFor(600);  // a pause the capture holds as silence
  form_.BitBtnPlayStartClick();
  WaitForElapsed("00:00:05");
  // A seek back to the second second, by a key let go on the bar.
  form_.activateWindow();
  QApplication::setActiveWindow(&form_);
  auto* bar = form_.findChild<QSlider*>("TrackBar1");
  bar->setFocus();
  bar->setSliderPosition(2);
  bar->triggerAction(QAbstractSlider::SliderMove);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Left, Qt::NoModifier);
  QApplication::sendEvent(bar, &release);
  WaitForElapsed("00:00:03");
  form_.BitBtnPlayStopClick();
  const std::string printed = errors.Release();
  testing::LetEventsRunFor(300);  // the last of the sound reaches the capture
  recording->Signal(SIGTERM);
  recording->Wait();

  // Seconds pass as seconds: an output at the wrong rate would run 5.5
  // times too fast.
  EXPECT_GT(threeSeconds, 2500);
  EXPECT_LT(threeSeconds, 4000);
  EXPECT_EQ(printed.find("underrun"), std::string::npos) << printed;
  // The start of a capture can lose a little: compare from a second in.
  const Samples capture = ReadRaw(capture_ / "capture.raw");
  ASSERT_GT(capture.size(), 8000u * 4);
  const Samples excerpt(decoded.begin() + 8000, decoded.begin() + 16000);
  const Samples firstSeconds(capture.begin(), capture.begin() + std::min<std::size_t>(capture.size(), 8000 * 4));
  EXPECT_GE(BestCorrelation(excerpt, firstSeconds), 0.95);
}

TEST_F(RealSoundTest, TheSoundServerDyingStopsThePlaybackButNeverTheWindow) {
  if (!server_.Running()) GTEST_SKIP() << "no PulseAudio here";
  testing::WriteSpx(saved_ / "03171430_0001.spx", testing::TonePayload(60000, 440));
  folders_.answer = QString::fromStdString(saved_.Path().string());
  Button("BitBtn3")->click();
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  testing::SelectRow(form_.findChild<QTreeView*>("ListViewFile"), 0);
  Button("BitBtnPlayStart")->click();
  WaitForElapsed("00:00:01");

  server_.Kill();
  const auto said = [&](const QString& start) {
    return testing::PumpUntil(
        [&] {
          const auto texts = messages_.Texts();
          return std::any_of(texts.begin(), texts.end(),
                             [&](const QString& t) { return t.startsWith(start); });
        },
        10000);
  };
  EXPECT_TRUE(said("声音输出设备出错，播放已停止。")) << messages_.Texts().size();
  EXPECT_TRUE(
      testing::PumpUntil([&] { return testing::StateOf(form_).PlayState == PlayState::Stopped; }));
  // The window goes on: playing again says there is no sound device now.
  ASSERT_TRUE(testing::PumpUntil([&] { return Button("BitBtnPlayStart")->isEnabled(); }, 2000));
  messages_.Clear();
  Button("BitBtnPlayStart")->click();
  EXPECT_TRUE(said("没有可用的声音输出设备"));
  form_.BitBtnPlayStopClick();
}

}  // namespace
}  // namespace parlomax::app
