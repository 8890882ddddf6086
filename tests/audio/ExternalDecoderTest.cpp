#include "audio/ExternalDecoder.h"

#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/speex/SpeexCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

#include <fcntl.h>
#include <unistd.h>

namespace parlomax::audio {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::int16_t> ReadSamples(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  const Bytes bytes(std::istreambuf_iterator<char>(in), {});
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  return samples;
}

// Speech-like sound: two tones that swell and fade.
std::vector<std::int16_t> Voice(std::size_t samples) {
  std::vector<std::int16_t> voice(samples);
  for (std::size_t i = 0; i < samples; ++i) {
    const double t = double(i) / speex::kSampleRate;
    const double envelope = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * 3 * t);
    voice[i] = static_cast<std::int16_t>(envelope * (6000 * std::sin(2 * std::numbers::pi * 220 * t) +
                                                     3000 * std::sin(2 * std::numbers::pi * 660 * t)));
  }
  return voice;
}

class ExternalDecoderTest : public ::testing::Test {
 protected:
  shell::PrivateWorkingDirectory workingDirectory_{fs::temp_directory_path()};
  ExternalDecoder decoder_{PARLOMAX_DECODER_PROGRAM};
};

TEST_F(ExternalDecoderTest, GivesEightSamplesForEveryPayloadByte) {
  const Bytes payload = speex::SpeexEncoder().Encode(Voice(40000));  // 5000 bytes
  for (std::size_t size : {0u, 20u, 500u, 5000u, 33u, 1u}) {
    ASSERT_EQ(decoder_.DecodeChunk(std::span(payload.data(), size), kPlayBuffer1), DecodeResult::Decoded) << size;
    EXPECT_EQ(fs::file_size(kPlayBuffer1), size * 16) << size;
  }
  // What went in is the chunk and nothing else.
  std::ifstream in(kDecoderInput, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), Bytes{payload[0]});
}

TEST_F(ExternalDecoderTest, TheSoundComesBackCloseToWhatWasRecorded) {
  const auto voice = Voice(8000 * 3);
  const Bytes payload = speex::SpeexEncoder().Encode(voice);
  ASSERT_EQ(decoder_.DecodeChunk(payload, kConversionOutput), DecodeResult::Decoded);
  const auto decoded = ReadSamples(kConversionOutput);
  ASSERT_EQ(decoded.size(), voice.size());
  // A speech codec keeps how sound rises and falls rather than its exact
  // waveform: the loudness of every 20 ms must follow the original closely,
  // and the waveform itself still clearly (the codec delays it by a few
  // milliseconds, so the best lag counts).
  const auto loudness = [](const std::vector<std::int16_t>& s) {
    std::vector<double> rms;
    for (std::size_t at = 0; at + 160 <= s.size(); at += 160) {
      double sum = 0;
      for (std::size_t i = at; i < at + 160; ++i) sum += double(s[i]) * s[i];
      rms.push_back(std::sqrt(sum / 160));
    }
    return rms;
  };
  const auto a = loudness(voice), b = loudness(decoded);
  double ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    ab += a[i] * b[i];
    aa += a[i] * a[i];
    bb += b[i] * b[i];
  }
  EXPECT_GT(ab / std::sqrt(aa * bb), 0.97);
  EXPECT_NEAR(std::sqrt(bb / aa), 1.0, 0.3);  // about as loud as it was

  double best = 0;
  for (std::size_t lag = 0; lag < 400; ++lag) {
    ab = aa = bb = 0;
    for (std::size_t i = 1600; i + lag < decoded.size(); ++i) {
      ab += double(voice[i]) * decoded[i + lag];
      aa += double(voice[i]) * voice[i];
      bb += double(decoded[i + lag]) * decoded[i + lag];
    }
    best = std::max(best, ab / std::sqrt(aa * bb));
  }
  EXPECT_GT(best, 0.7);
}

TEST_F(ExternalDecoderTest, ALongPayloadDecodesAsOneContinuousSound) {
  // Over two of the program's reads: no seam where one read ends.
  const Bytes payload = speex::SpeexEncoder().Encode(Voice(8000 * 150));
  ASSERT_EQ(decoder_.DecodeChunk(payload, kConversionOutput), DecodeResult::Decoded);
  EXPECT_EQ(ReadSamples(kConversionOutput), speex::SpeexDecoder().Decode(payload));
}

TEST_F(ExternalDecoderTest, AWholeRecordingDecodesInOneRunStraightFromItsFile) {
  // Several of the pipe's blocks and the decoder's reads, and a frame cut short at the end.
  Bytes payload = speex::SpeexEncoder().Encode(Voice(8000 * 150));
  payload.resize(payload.size() - 7);
  // The payload behind a header, as in a recording file: the decoder starts
  // where the descriptor stands.
  Bytes file(19 + payload.size(), 0xAB);
  std::copy(payload.begin(), payload.end(), file.begin() + 19);
  std::ofstream("recording.spx", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  const int fd = ::open("recording.spx", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const auto payloadAt = [fd] { return ::lseek(fd, 19, SEEK_SET) == 19; };
  ASSERT_TRUE(payloadAt());
  Bytes received;
  ASSERT_EQ(decoder_.DecodeWhole(fd, payload.size(), [&](std::span<const std::uint8_t> block) {
    received.insert(received.end(), block.begin(), block.end());
  }), DecodeResult::Decoded);
  const auto samples = speex::SpeexDecoder().Decode(payload);
  ASSERT_EQ(received.size(), samples.size() * 2);
  EXPECT_TRUE(std::equal(samples.begin(), samples.end(), reinterpret_cast<const std::int16_t*>(received.data())));
  EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 1) << "a scratch file left behind";

  const auto ignore = [](std::span<const std::uint8_t>) {};
  ASSERT_TRUE(payloadAt());
  EXPECT_EQ(decoder_.DecodeWhole(fd, payload.size() + 1, ignore), DecodeResult::Failed) << "a payload that came short";
  ASSERT_TRUE(payloadAt());
  EXPECT_EQ(ExternalDecoder("/nonexistent/speex").DecodeWhole(fd, payload.size(), ignore), DecodeResult::NotStarted);
  EXPECT_EQ(ExternalDecoder("true").DecodeWhole(fd, payload.size(), ignore), DecodeResult::Failed);
  EXPECT_EQ(ExternalDecoder("false").DecodeWhole(fd, payload.size(), ignore), DecodeResult::Failed);
  ::close(fd);
}

TEST_F(ExternalDecoderTest, ASecondRunReplacesTheOutput) {
  const Bytes payload = speex::SpeexEncoder().Encode(Voice(8000));
  ASSERT_EQ(decoder_.DecodeChunk(payload, kPlayBuffer2), DecodeResult::Decoded);
  ASSERT_EQ(decoder_.DecodeChunk(std::span(payload.data(), 40), kPlayBuffer2), DecodeResult::Decoded);
  EXPECT_EQ(fs::file_size(kPlayBuffer2), 640u);
}

TEST_F(ExternalDecoderTest, ADecoderThatFailsOrWritesNothingLeavesNoOutputToRead) {
  std::ofstream(kPlayBuffer1) << std::string(16000, 'x');  // from an earlier run
  const Bytes chunk(1000, 7);
  EXPECT_EQ(ExternalDecoder("/nonexistent/speex").DecodeChunk(chunk, kPlayBuffer1),
            DecodeResult::NotStarted);
  EXPECT_FALSE(fs::exists(kPlayBuffer1));
  EXPECT_EQ(ExternalDecoder("no-such-decoder-on-path").DecodeChunk(chunk, kPlayBuffer1),
            DecodeResult::NotStarted);
  std::ofstream(kPlayBuffer1) << std::string(16000, 'x');
  // Exits 0 but writes nothing; exits 1.
  EXPECT_EQ(ExternalDecoder("true").DecodeChunk(chunk, kPlayBuffer1), DecodeResult::Failed);
  EXPECT_FALSE(fs::exists(kPlayBuffer1));
  EXPECT_EQ(ExternalDecoder("false").DecodeChunk(chunk, kPlayBuffer1), DecodeResult::Failed);
}

TEST_F(ExternalDecoderTest, ARunThatHangsIsEndedAtItsLimitOrAtItsCallersStopEvenMidRead) {
  // Gives a little, then neither writes nor ends.
  const fs::path hangs = fs::current_path() / "hangs";
  std::ofstream(hangs) << "#!/bin/sh\nhead -c 100 /dev/zero\nexec sleep 1000\n";
  fs::permissions(hangs, fs::perms::owner_all);
  const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  std::uint64_t got = 0;
  const auto count = [&](std::span<const std::uint8_t> block) { got += block.size(); };

  const ExternalDecoder limited(hangs.string(), {std::chrono::milliseconds(300), {}});
  const DecodeOutcome timedOut = limited.DecodeWhole(fd, 1000, count);
  EXPECT_EQ(timedOut, DecodeResult::Failed);
  EXPECT_EQ(timedOut.fault, DecodeFault::TimedOut);
  EXPECT_EQ(got, 100u);

  // No limit to speak of: only the stop ends it, once the first block is in.
  const ExternalDecoder unlimited(hangs.string(), {std::chrono::hours(1), {}});
  got = 0;
  EXPECT_EQ(unlimited.DecodeWhole(fd, 1000, count, [&] { return got > 0; }), DecodeResult::Stopped);
  EXPECT_EQ(unlimited.DecodeChunk(Bytes(500, 7), kConversionOutput, [] { return true; }),
            DecodeResult::Stopped);
  ::close(fd);
}

TEST_F(ExternalDecoderTest, AScratchInputThatCannotBeWrittenIsAFailedRunThatSaysWhy) {
  fs::create_directory(kDecoderInput);  // no file can be written by its name
  const DecodeOutcome outcome = decoder_.DecodeChunk(Bytes(500, 7), kConversionOutput);
  EXPECT_EQ(outcome, DecodeResult::Failed);
  EXPECT_EQ(outcome.fault, DecodeFault::InputNotWritten);
  EXPECT_TRUE(DecodeFaultText(outcome).startsWith("无法写入临时文件 temp_decoder.spt_："))
      << DecodeFaultText(outcome).toStdString();
}

TEST(FindDecoderProgram, PrefersTheOneNextToTheProgramThenTheInstalledHelper) {
  const fs::path beside = fs::path(PARLOMAX_DECODER_PROGRAM).parent_path();
  EXPECT_EQ(FindDecoderProgram(beside), PARLOMAX_DECODER_PROGRAM);
  EXPECT_EQ(FindDecoderProgram("/nonexistent"), "speex");

  // An installed tree, wherever it was unpacked: bin/ and libexec/parlomax/.
  const fs::path root = fs::temp_directory_path() / ("parlomax-tree-" + std::to_string(::getpid()));
  fs::create_directories(root / "usr/bin");
  fs::create_directories(root / "usr/libexec/parlomax");
  fs::copy_file(PARLOMAX_DECODER_PROGRAM, root / "usr/libexec/parlomax/speex");
  EXPECT_EQ(FindDecoderProgram(root / "usr/bin"), (root / "usr/libexec/parlomax/speex").string());
  fs::remove_all(root);
}

}  // namespace
}  // namespace parlomax::audio
