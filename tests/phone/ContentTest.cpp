#include "phone/Content.h"

#include "QtPrinters.h"
#include "TempFolder.h"
#include "TestTelephone.h"
#include "WavWriter.h"
#include "platform/speex/SpeexCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>

namespace parlomax::phone {
namespace {

std::vector<std::int16_t> Sweep(std::size_t samples, int rate) {
  std::vector<std::int16_t> sound(samples);
  for (std::size_t i = 0; i < samples; ++i) {
    sound[i] = static_cast<std::int16_t>(6000 * std::sin(0.02 * i * (1 + double(i) / rate)));
  }
  return sound;
}

TEST(WavContent, An8000HzMonoFileIsEncodedAsIs) {
  testing::TempFolder folder;
  const auto sound = Sweep(12345, 8000);
  ASSERT_TRUE(testing::WriteWav(folder / "out_13800138000_03171430.wav", sound, 1, 8000));
  const auto recordings = LoadWavFolder(folder.Path());
  ASSERT_EQ(recordings.size(), 1u);
  EXPECT_EQ(recordings[0].payload, speex::SpeexEncoder().Encode(sound));
  const auto& call = recordings[0].call;
  EXPECT_EQ(call.callType, 1u);
  EXPECT_EQ(call.telephoneNumber, "13800138000");
  EXPECT_EQ(call.month, 3u);
  EXPECT_EQ(call.day, 17u);
  EXPECT_EQ(call.hour, 14u);
  EXPECT_EQ(call.minute, 30u);
}

TEST(WavContent, OtherRatesAndStereoBecome8000HzMonoOfTheSameLength) {
  testing::TempFolder folder;
  // Two seconds at 22050 Hz, stereo: about 2000 payload bytes.
  std::vector<std::int16_t> stereo;
  for (auto s : Sweep(44100, 22050)) stereo.insert(stereo.end(), {s, s});
  ASSERT_TRUE(testing::WriteWav(folder / "speech.wav", stereo, 2, 22050));
  const auto recordings = LoadWavFolder(folder.Path());
  ASSERT_EQ(recordings.size(), 1u);
  EXPECT_NEAR(double(recordings[0].payload.size()), 2000.0, 40.0);
  // A name without the call pattern makes a memo without a number.
  EXPECT_EQ(recordings[0].call.callType, 2u);
  EXPECT_EQ(recordings[0].call.telephoneNumber, "");
}

TEST(WavContent, FilesComeInNameOrderAndABadOneIsNamedInTheError) {
  testing::TempFolder folder;
  ASSERT_TRUE(testing::WriteWav(folder / "in__01010101.wav", Sweep(800, 8000), 1, 8000));
  ASSERT_TRUE(testing::WriteWav(folder / "memo__01010100.wav", Sweep(1600, 8000), 1, 8000));
  std::ofstream(folder / "notes.txt") << "not sound";
  auto recordings = LoadWavFolder(folder.Path());
  ASSERT_EQ(recordings.size(), 2u);
  EXPECT_EQ(recordings[0].call.callType, 0u);
  EXPECT_EQ(recordings[1].payload.size(), 200u);

  std::ofstream(folder / "broken.wav") << "RIFF but not really";
  try {
    LoadWavFolder(folder.Path());
    FAIL() << "a broken WAV file was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("broken.wav"), std::string::npos) << e.what();
  }
}

TEST(StoredContent, SpxFilesKeepTheirHeaderBytesAndTheirPayload) {
  testing::TempFolder folder;
  catalogue::RecordingHeader header = catalogue::EncodeRecordingHeader({});
  header[0] = 0xAB;  // reserved bytes the PC never looks at
  header[2] |= 0x30;
  header[18] = 50;  // promises 50 bytes, holds 30
  std::ofstream out(folder / "03171430_0007.spx", std::ios::binary);
  out.write(reinterpret_cast<const char*>(header.data()), header.size());
  out.write(std::string(30, 'x').data(), 30);
  out.close();

  const auto model = testing::MakeTelephone(LoadSpxFolder(folder.Path()));
  const auto held = model->Header(0);
  EXPECT_TRUE(std::equal(held.begin(), held.begin() + 11, header.begin()));
  EXPECT_EQ(catalogue::PayloadLength(held), 30u);
  EXPECT_EQ(model->Payload(0), std::vector<std::uint8_t>(30, 'x'));
}

TEST(StoredContent, AnImageBringsBackTheSameMemory) {
  testing::TempFolder folder;
  const auto original = testing::MakeTelephone(
      {testing::MakeRecording(700, 1), testing::MakeRecording(0, 2)}, {1, 2, 3, 4});
  SaveImage(*original, folder / "phone.img");
  const auto restored = LoadImage(folder / "phone.img", {4, 3, 2, 1});
  EXPECT_EQ(restored->Count(), 2);
  EXPECT_EQ(restored->Memory(), original->Memory());
  EXPECT_EQ(restored->PinDigits(), (Pin{4, 3, 2, 1}));

  std::ofstream(folder / "other.img") << "something else";
  EXPECT_THROW(LoadImage(folder / "other.img", {}), std::runtime_error);
}

TEST(GeneratedContent, VariesEverythingTheListShowsAndRepeatsForTheSameSeed) {
  const auto recordings = GenerateRecordings(200, 3);
  std::set<unsigned> types;
  bool empty = false, marker = false, overAnHour = false, star = false, hash = false, shortNumber = false;
  for (const auto& r : recordings) {
    types.insert(r.call.callType);
    empty |= r.payload.empty() && !r.markEmpty;
    marker |= r.markEmpty;
    overAnHour |= r.payload.size() > 3600000;
    star |= r.call.telephoneNumber.contains(QLatin1Char('*'));
    hash |= r.call.telephoneNumber.contains(QLatin1Char('#'));
    shortNumber |= !r.call.telephoneNumber.isEmpty() && r.call.telephoneNumber.size() <= 5;
  }
  EXPECT_EQ(types, (std::set<unsigned>{0, 1, 2}));
  EXPECT_TRUE(empty && marker && overAnHour && star && hash && shortNumber);
  const auto again = GenerateRecordings(200, 3);
  EXPECT_EQ(again[17].payload, recordings[17].payload);
  EXPECT_EQ(again[17].call, recordings[17].call);
}

}  // namespace
}  // namespace parlomax::phone
