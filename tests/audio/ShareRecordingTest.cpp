#include "audio/ShareRecording.h"

#include "FileBytes.h"
#include "SharedFileDecoding.h"
#include "SpxFiles.h"
#include "TempFolder.h"
#include "platform/files/WriteFaults.h"
#include "platform/shell/PrivateWorkingDirectory.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>

namespace parlomax::audio {
namespace {

namespace fs = std::filesystem;

std::vector<std::int16_t> WavSamples(const fs::path& wav) {
  const auto bytes = testing::FileBytes(wav);
  std::vector<std::int16_t> samples;
  for (std::size_t i = 44; i + 1 < bytes.size(); i += 2)
    samples.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
  return samples;
}

class ShareRecordingTest : public ::testing::Test {
 protected:
  void TearDown() override { files::StopFailingWrites(); }
  fs::path Recording(std::size_t payloadBytes) {
    const fs::path spx = folder_ / "03171405_0001.spx";
    testing::WriteSpx(spx, testing::VoicePayload(payloadBytes), 1);
    return spx;
  }
  fs::path Share(const fs::path& spx, ShareFormat format,
                 ShareOutcome expected = ShareOutcome::Written) {
    const fs::path target = SharedFileFor(folder_.Path(), spx, format);
    const ShareResult result = ShareRecording(decoder_, spx, target, format);
    EXPECT_EQ(result.outcome, expected) << ShareProblemText(result, spx, target).toStdString();
    return target;
  }

  shell::PrivateWorkingDirectory working_;
  testing::TempFolder folder_;
  ExternalDecoder decoder_{PARLOMAX_DECODER_PROGRAM};
};

struct Encoded {
  ShareFormat format;
  testing::DecodedFile (*decode)(const fs::path&);
  std::size_t maxDelay;  // samples an encoder and its decoder may add in front
};
void PrintTo(const Encoded& e, std::ostream* out) { *out << FormatName(e.format); }

class ASharedFile : public ShareRecordingTest, public ::testing::WithParamInterface<Encoded> {};

// What a player makes of the file is the recording's sound, at a sixth of
// the WAV file's size or less, with the call's tags, and the file is private.
TEST_P(ASharedFile, PlaysTheCallsSoundSmallAndTagged) {
  const fs::path spx = Recording(40'000);
  const auto wav = WavSamples(Share(spx, ShareFormat::Wav));
  ASSERT_EQ(wav.size(), 40'000u * 8);
  const fs::path shared = Share(spx, GetParam().format);

  const testing::DecodedFile heard = GetParam().decode(shared);
  ASSERT_TRUE(heard.opened);
  EXPECT_GE(heard.samples.size() + 100, wav.size());
  EXPECT_GE(testing::AlignedCorrelation(wav, heard.samples, GetParam().maxDelay), 0.9);
  EXPECT_LT(fs::file_size(shared) * 6,
            fs::file_size(SharedFileFor(folder_.Path(), spx, ShareFormat::Wav)));
  EXPECT_NE(heard.title.find("13800138000"), std::string::npos) << heard.title;
  EXPECT_NE(heard.title.find("03月17日 14:01"), std::string::npos) << heard.title;
  EXPECT_EQ(heard.artist, "13800138000");
  struct stat st {};
  ASSERT_EQ(::stat(shared.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

INSTANTIATE_TEST_SUITE_P(Formats, ASharedFile,
                         ::testing::Values(Encoded{ShareFormat::Mp3, &testing::DecodeMp3, 2400},
                                           Encoded{ShareFormat::Opus, &testing::DecodeOpus, 400}),
                         [](const auto& info) {
                           return std::string(FormatName(info.param.format));
                         });

class AFailedShare : public ShareRecordingTest,
                     public ::testing::WithParamInterface<ShareFormat> {};

// A disk that fills up part-way, or a decoder that cannot start: nothing
// new in the folder, and the file shared before is as it was.
TEST_P(AFailedShare, LeavesNothingAndTheEarlierFileAsItWas) {
  const fs::path spx = Recording(20'000);
  const fs::path target = Share(spx, GetParam());
  const auto before = testing::FileBytes(target);
  const auto entries = [&] { return std::distance(fs::directory_iterator(folder_.Path()), {}); };
  const auto count = entries();

  files::FailWritesAfter(3000, ENOSPC);
  const ShareResult full = ShareRecording(decoder_, spx, target, GetParam());
  files::StopFailingWrites();
  EXPECT_EQ(full.outcome, ShareOutcome::CannotWrite);
  EXPECT_EQ(full.error, ENOSPC);

  const ShareResult missing =
      ShareRecording(ExternalDecoder("/nonexistent/speex"), spx, target, GetParam());
  EXPECT_EQ(missing.outcome, ShareOutcome::DecoderMissing);

  EXPECT_EQ(testing::FileBytes(target), before);
  EXPECT_EQ(entries(), count);
}

INSTANTIATE_TEST_SUITE_P(Formats, AFailedShare,
                         ::testing::Values(ShareFormat::Wav, ShareFormat::Mp3, ShareFormat::Opus),
                         [](const auto& info) { return std::string(FormatName(info.param)); });

}  // namespace
}  // namespace parlomax::audio
