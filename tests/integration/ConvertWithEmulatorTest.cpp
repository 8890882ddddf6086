// The whole program converting recordings copied from the emulator program
// into WAV files, read back by an independent reader (Python's wave module).
#include "FileBytes.h"
#include "SpxFiles.h"
#include "ThreadsNamed.h"
#include "WavWriter.h"
#include "WindowWithEmulator.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/shell/StartAndWait.h"

#include <QLineEdit>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

namespace parlomax::app {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::int16_t> Tone(double seconds, double pitch) {
  std::vector<std::int16_t> sound(static_cast<std::size_t>(seconds * 8000));
  for (std::size_t i = 0; i < sound.size(); ++i) {
    sound[i] = static_cast<std::int16_t>(7000 * std::sin(2 * 3.14159265 * pitch * i / 8000.0));
  }
  return sound;
}

class ConvertWithEmulatorTest : public testing::WindowWithEmulator {
 protected:
  ConvertWithEmulatorTest() : WindowWithEmulator(nullptr, PARLOMAX_DECODER_PROGRAM) {}

  // What Python's wave module says of a file: channels, sample width, rate,
  // frames; empty when it cannot read it.
  std::string ReadByPython(const std::filesystem::path& wav) {
    const auto report = scratch_ / "report.txt";
    const auto end = shell::StartAndWait(
        "python3", {"-c",
                    "import sys, wave\n"
                    "w = wave.open(sys.argv[1], 'rb')\n"
                    "open(sys.argv[2], 'w').write('%d %d %d %d' % (w.getnchannels(), w.getsampwidth(),"
                    " w.getframerate(), w.getnframes()))\n",
                    wav.string(), report.string()});
    if (end != 0) return {};
    std::ifstream in(report);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  shell::PrivateWorkingDirectory work_{std::filesystem::temp_directory_path()};
  testing::TempFolder wavs_, saved_, converted_, scratch_;
};

TEST_F(ConvertWithEmulatorTest, CopiedRecordingsBecomeWavFilesAnyReaderTakesAsTheyAre) {
  ASSERT_TRUE(testing::WriteWav(wavs_ / "in_13800138000_03171430.wav", Tone(4.2, 440), 1, 8000));
  ASSERT_TRUE(testing::WriteWav(wavs_ / "out_10086_03171431.wav", Tone(7.3, 330), 1, 8000));
  ASSERT_TRUE(testing::WriteWav(wavs_ / "memo.wav", Tone(0.3, 550), 1, 8000));
  const auto phone = CopyIntoPcFolder(wavs_.Path(), saved_.Path(), 3);
  ASSERT_FALSE(HasFailure());
  folders_.answer = QString::fromStdString(converted_.Path().string());
  Button("BitBtnOutput")->click();
  Button("BitBtn5")->click();
  ASSERT_TRUE(testing::PumpUntilConversionJobsEnded(30000));
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"全部文件上传结束", "转换全部文件成功！"}));

  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(saved_.Path())) {
    // The copy's ledger and SHA256SUMS are no recordings.
    if (entry.path().extension() != ".spx") continue;
    ++files;
    Bytes payload = testing::FileBytes(entry.path());
    payload.erase(payload.begin(), payload.begin() + 19);
    // All of it: half a second at a time, and what is left after the last.
    const auto samples = testing::DecodedInChunks(payload, 500);
    EXPECT_EQ(samples.size(), payload.size() * 8);
    const auto wav = converted_ / (entry.path().filename().string() + ".wav");
    std::ostringstream expected;
    expected << "1 2 8000 " << samples.size();
    EXPECT_EQ(ReadByPython(wav), expected.str()) << wav;
    const Bytes bytes = testing::FileBytes(wav);
    ASSERT_EQ(bytes.size(), 44 + samples.size() * 2);
    EXPECT_TRUE(samples.empty() || std::memcmp(bytes.data() + 44, samples.data(), samples.size() * 2) == 0);
  }
  EXPECT_EQ(files, 3);
}

}  // namespace
}  // namespace parlomax::app
