// The playback engine with the real decoder program and an output that
// records what it is given.
#include "audio/Playback.h"

#include "PumpEvents.h"
#include "RecordingAudioOutput.h"
#include "RecordingMessageService.h"
#include "SpxFiles.h"
#include "TempFolder.h"
#include "ThreadsNamed.h"
#include "platform/shell/PrivateWorkingDirectory.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <thread>

namespace parlomax::audio {
namespace {

using namespace std::chrono_literals;
using Samples = std::vector<std::int16_t>;

// What the player and the decoder report, as they report it.
class RecordingPlaybackView final : public PlaybackView {
 public:
  // Runs on the player's thread as each second is about to be handed over.
  std::function<void(std::int32_t)> onPosition;
  // Runs on the player's thread as each second has been handed over.
  std::function<void(std::uint32_t)> onElapsed;

  void ShowPosition(std::int32_t position) override {
    {
      std::lock_guard lock(mutex_);
      positions_.push_back(position);
    }
    if (onPosition) onPosition(position);
  }
  void ShowElapsed(std::uint32_t seconds) override {
    {
      std::lock_guard lock(mutex_);
      elapsed_.push_back(seconds);
    }
    if (onElapsed) onElapsed(seconds);
  }
  void Warn(const QString& text) override {
    std::lock_guard lock(mutex_);
    warnings_.push_back(text);
  }
  std::vector<std::int32_t> Positions() const { std::lock_guard lock(mutex_); return positions_; }
  std::vector<std::uint32_t> Elapsed() const { std::lock_guard lock(mutex_); return elapsed_; }
  std::vector<QString> Warnings() const { std::lock_guard lock(mutex_); return warnings_; }

 private:
  mutable std::mutex mutex_;
  std::vector<std::int32_t> positions_;
  std::vector<std::uint32_t> elapsed_;
  std::vector<QString> warnings_;
};

std::vector<std::int32_t> Count(std::int32_t from, std::int32_t to) {
  std::vector<std::int32_t> v(static_cast<std::size_t>(to - from + 1));
  std::iota(v.begin(), v.end(), from);
  return v;
}

Samples Slice(const Samples& s, std::size_t from, std::size_t count) {
  return Samples(s.begin() + static_cast<std::ptrdiff_t>(from),
                 s.begin() + static_cast<std::ptrdiff_t>(std::min(s.size(), from + count)));
}

double CrossingsPerSample(const Samples& s) {
  std::size_t crossings = 0;
  for (std::size_t i = 1; i < s.size(); ++i) crossings += (s[i - 1] < 0) != (s[i] < 0) ? 1 : 0;
  return s.empty() ? 0 : static_cast<double>(crossings) / static_cast<double>(s.size());
}

class PlaybackTest : public ::testing::Test {
 protected:
  // Twenty times faster than real time: a five-second buffer still lasts
  // longer than the decoder's 100 ms look for a free buffer, as it does for
  // a listener.
  PlaybackTest() : sound_(20) {}

  std::string Spx(const std::string& name, const std::vector<std::uint8_t>& payload) {
    const auto file = folder_ / name;
    testing::WriteSpx(file, payload);
    return file.string();
  }
  // The player has ended the playback by itself and is gone.
  bool PlaysToItsEnd() {
    const bool ended = testing::PumpUntil([&] { return state_ == PlayState::Stopped; }, 20000);
    engine_.WaitForPlayer();
    return ended;
  }

  shell::PrivateWorkingDirectory work_{std::filesystem::temp_directory_path()};
  testing::TempFolder folder_;
  ExternalDecoder decoder_{PARLOMAX_DECODER_PROGRAM};
  testing::RecordingAudioOutputFactory sound_;
  std::shared_ptr<RecordingPlaybackView> view_ = std::make_shared<RecordingPlaybackView>();
  testing::RecordingMessageService messages_;
  std::atomic<PlayState> state_{PlayState::Stopped};
  Playback engine_{state_, decoder_, sound_, messages_};
};

TEST_F(PlaybackTest, EverySecondOfTheRecordingIsHandedOverInOrderAndTheEndStopsIt) {
  const auto payload = testing::TonePayload(60000, 440);
  ASSERT_EQ(engine_.Start(Spx("a.spx", payload), view_), StartResult::Started);
  EXPECT_EQ(engine_.PlayFileSize(), 60019u);
  EXPECT_EQ(state_, PlayState::Playing);
  ASSERT_TRUE(PlaysToItsEnd());
  // The desktop's sound settings name the stream after the recording.
  EXPECT_EQ(sound_.LastTitle(), "Parlomax – a.spx");

  // Twelve buffers of five one-second blocks; the bar moves before each
  // second and the time after it; the ended player shows 00:00:00.
  EXPECT_EQ(view_->Positions(), Count(1, 60));
  auto elapsed = view_->Elapsed();
  ASSERT_FALSE(elapsed.empty());
  EXPECT_EQ(elapsed.back(), 0u);
  elapsed.pop_back();
  EXPECT_EQ(std::vector<std::int32_t>(elapsed.begin(), elapsed.end()), Count(1, 60));
  EXPECT_EQ(sound_.Samples(), testing::DecodedInChunks(payload, kPlayChunkBytes));
  EXPECT_EQ(engine_.LastPosition(), 60);
  EXPECT_TRUE(view_->Warnings().empty());
  EXPECT_TRUE(testing::PumpUntil([&] { return testing::ThreadsNamed("parlomax-decode") == 0; }));
}

TEST_F(PlaybackTest, AShortLastChunkStillCountsItsSecondsAndEveryByteIsPlayed) {
  const auto payload = testing::TonePayload(12000, 330);  // 5 + 5 + 2 seconds
  ASSERT_EQ(engine_.Start(Spx("b.spx", payload), view_), StartResult::Started);
  ASSERT_TRUE(PlaysToItsEnd());
  ASSERT_FALSE(view_->Positions().empty());
  EXPECT_GE(view_->Positions().back(), 12);
  const auto elapsed = view_->Elapsed();
  EXPECT_GE(*std::max_element(elapsed.begin(), elapsed.end()), 12u);
  EXPECT_EQ(sound_.Samples(), testing::DecodedInChunks(payload, kPlayChunkBytes));
}

TEST_F(PlaybackTest, APauseHoldsTheSampleItReachedAndPlayGoesOnFromIt) {
  const auto payload = testing::TonePayload(20000, 523.25);
  const auto decoded = testing::DecodedInChunks(payload, kPlayChunkBytes);
  // The user pauses a little into the second second, and plays again once
  // the output has ticked over silence for a quarter of a second.
  constexpr std::size_t kPausedAt = 11000, kPlayedAt = 13000;
  sound_.onTick = [this](std::size_t kept) {
    if (kept == kPausedAt) state_ = PlayState::Paused;
    if (kept == kPlayedAt) state_ = PlayState::Playing;
  };
  ASSERT_EQ(engine_.Start(Spx("c.spx", payload), view_), StartResult::Started);
  ASSERT_TRUE(PlaysToItsEnd());
  sound_.onTick = nullptr;

  // Silence while paused, and around it every sample once, in order.
  auto samples = sound_.Samples();
  ASSERT_GT(samples.size(), kPlayedAt);
  EXPECT_TRUE(std::all_of(samples.begin() + kPausedAt, samples.begin() + kPlayedAt,
                          [](std::int16_t s) { return s == 0; }));
  samples.erase(samples.begin() + kPausedAt, samples.begin() + kPlayedAt);
  EXPECT_EQ(samples, decoded);
  EXPECT_EQ(view_->Positions(), Count(1, 20));
}

// At any speed the bar and the elapsed time go by the recording's own
// seconds: a second is shown as elapsed once 1/speed seconds of sound have
// reached the output, the voice's pitch kept by the speed change.
class PlaybackSpeedTest : public PlaybackTest, public ::testing::WithParamInterface<float> {};

TEST_P(PlaybackSpeedTest, TheElapsedTimeFollowsTheRecordingNotTheClock) {
  const float speed = GetParam();
  engine_.SetSpeed(speed);
  // A buffer lasts as long on the clock at every speed, as long as the
  // decoder needs on a loaded machine: the player, not the decoder, is tested.
  sound_.SetSpeed(10.0 / speed);
  const auto payload = testing::TonePayload(12000, 330);       // 5 + 5 + 2 seconds
  std::vector<std::pair<std::uint32_t, std::size_t>> heardAt;  // second, samples handed over
  view_->onElapsed = [&](std::uint32_t seconds) {
    if (seconds > 0) heardAt.emplace_back(seconds, sound_.SampleCount());
  };
  ASSERT_EQ(engine_.Start(Spx("s.spx", payload), view_), StartResult::Started);
  ASSERT_TRUE(PlaysToItsEnd());
  const auto decoded = testing::DecodedInChunks(payload, kPlayChunkBytes);

  // The speed change holds back a few hundredths of a second as it goes.
  const double heldBack = speed == 1.0f ? 0 : 400;
  ASSERT_EQ(heardAt.size(), 13u);  // the empty read at the end still counts a second
  for (const auto& [seconds, handed] : heardAt) {
    const double recorded = std::min<double>(seconds * 8000.0, decoded.size());
    EXPECT_NEAR(static_cast<double>(handed), recorded / speed, heldBack)
        << seconds << " s at " << speed;
  }
  EXPECT_NEAR(static_cast<double>(sound_.SampleCount()), decoded.size() / speed, heldBack / 4);
  if (speed == 1.0f) {
    EXPECT_EQ(sound_.Samples(), decoded);  // untouched at the recorded speed
  }
  // The tone keeps its pitch: as many zero crossings a second as recorded.
  EXPECT_NEAR(CrossingsPerSample(sound_.Samples()), CrossingsPerSample(decoded),
              0.03 * CrossingsPerSample(decoded));
}

INSTANTIATE_TEST_SUITE_P(Speeds, PlaybackSpeedTest, ::testing::Values(0.75f, 1.0f, 1.5f, 2.0f));

TEST(SeekSecond, LandsOnTheSecondTheBarShowsAndNeverBeforeTheFirst) {
  // A file of 60,019 bytes: the bar runs to 61.
  EXPECT_EQ(SeekSecond(0, 61, 60019), 1u);
  EXPECT_EQ(SeekSecond(2, 61, 60019), 2u);    // 1967 - 19 = 1948
  EXPECT_EQ(SeekSecond(30, 61, 60019), 29u);  // 29517 - 19 = 29498
  EXPECT_EQ(SeekSecond(61, 61, 60019), 60u);
  EXPECT_EQ(SeekSecond(1, 3, 100), 1u);  // below the header: still second 1
}

TEST_F(PlaybackTest, ASeekPlaysFromItsSecondOn) {
  const auto payload = testing::TonePayload(60000, 660);
  ASSERT_EQ(engine_.Start(Spx("d.spx", payload), view_), StartResult::Started);
  engine_.End();
  const std::size_t before = sound_.SampleCount();
  const std::size_t shownBefore = view_->Positions().size();
  ASSERT_EQ(engine_.StartAt(29, view_), StartResult::Started);
  EXPECT_EQ(engine_.ElapsedSeconds(), 29u);
  ASSERT_TRUE(PlaysToItsEnd());
  const auto samples = sound_.Samples();
  std::vector<std::uint8_t> rest(payload.begin() + 29000, payload.end());
  EXPECT_EQ(Samples(samples.begin() + static_cast<std::ptrdiff_t>(before), samples.end()),
            testing::DecodedInChunks(rest, kPlayChunkBytes));
  // From second 29 on: six full buffers and one of a single second, whose
  // empty second read still counts a second, as every short block does.
  const auto positions = view_->Positions();
  ASSERT_GT(positions.size(), shownBefore);
  EXPECT_EQ(positions[shownBefore], 30);
  EXPECT_EQ(positions.back(), 61);

  // At the very end nothing is left to play, and the playback ends at once.
  ASSERT_EQ(engine_.StartAt(60, view_), StartResult::Started);
  ASSERT_TRUE(PlaysToItsEnd());
}

TEST_F(PlaybackTest, ADecoderThreadOfAnEarlierPlaybackTouchesNothingOfTheNext) {
  // The first playback is paused with both buffers full: its decoder holds
  // its next chunk and waits for a buffer to come free.
  const auto first = testing::TonePayload(40000, 330);
  view_->onPosition = [this](std::int32_t position) {
    if (position == 1) state_ = PlayState::Paused;
  };
  ASSERT_EQ(engine_.Start(Spx("first.spx", first), view_), StartResult::Started);
  ASSERT_TRUE(testing::PumpUntil([&] { return sound_.SampleCount() > 8000 + 4000; }));
  std::this_thread::sleep_for(150ms);
  engine_.End();
  view_->onPosition = nullptr;

  // The next one has a single chunk: its own decoder has nothing to do, so
  // any second buffer it played would be the earlier decoder's.
  const auto second = testing::TonePayload(4000, 880);
  sound_.SetSpeed(10);
  const std::size_t before = sound_.SampleCount();
  ASSERT_EQ(engine_.Start(Spx("second.spx", second), view_), StartResult::Started);
  ASSERT_TRUE(PlaysToItsEnd());
  const auto samples = sound_.Samples();
  EXPECT_EQ(Samples(samples.begin() + static_cast<std::ptrdiff_t>(before), samples.end()),
            testing::DecodedInChunks(second, kPlayChunkBytes));
  EXPECT_TRUE(testing::PumpUntil([&] { return testing::ThreadsNamed("parlomax-decode") == 0; }));
}

TEST_F(PlaybackTest, WithoutASoundDeviceTheUserHearsWhyAndNothingHangs) {
  sound_.FailWith("output device parameter value is invalid");
  ASSERT_EQ(engine_.Start(Spx("e.spx", testing::TonePayload(9000, 440)), view_), StartResult::Started);
  ASSERT_TRUE(PlaysToItsEnd());
  ASSERT_EQ(view_->Warnings().size(), 1u);
  EXPECT_TRUE(view_->Warnings()[0].contains("output device parameter value is invalid"));
  EXPECT_EQ(sound_.SampleCount(), 0u);
  EXPECT_TRUE(testing::PumpUntil([&] { return testing::ThreadsNamed("parlomax-decode") == 0; }));
}

TEST_F(PlaybackTest, ADecoderThatFailsEndsThePlaybackAfterWhatWasDecodedWithOneMessage) {
  // Decodes the first chunk, then fails every run.
  const auto script = folder_ / "flaky-decoder";
  std::ofstream(script) << "#!/bin/sh\n[ -e ran ] && exit 1\ntouch ran\nexec " << PARLOMAX_DECODER_PROGRAM
                        << " \"$@\"\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const ExternalDecoder flaky(script.string());
  Playback engine(state_, flaky, sound_, messages_);
  const auto payload = testing::TonePayload(15000, 440);
  ASSERT_EQ(engine.Start(Spx("f.spx", payload), view_), StartResult::Started);
  ASSERT_TRUE(testing::PumpUntil([&] { return state_ == PlayState::Stopped; }, 20000));
  engine.WaitForPlayer();
  EXPECT_EQ(sound_.Samples(), Slice(testing::DecodedInChunks(payload, kPlayChunkBytes), 0, 40000));
  ASSERT_EQ(view_->Warnings().size(), 1u);
  EXPECT_TRUE(view_->Warnings()[0].contains("f.spx"));
}

TEST_F(PlaybackTest, AFileThatCannotBeOpenedOrDecodedStartsNothing) {
  EXPECT_EQ(engine_.Start((folder_ / "gone.spx").string(), view_), StartResult::CannotOpen);
  const ExternalDecoder missing("/nonexistent/speex");
  Playback engine(state_, missing, sound_, messages_);
  EXPECT_EQ(engine.Start(Spx("g.spx", testing::TonePayload(3000, 440)), view_), StartResult::DecodeFailed);
  EXPECT_EQ(engine.LastDecodeResult(), DecodeResult::NotStarted);
  EXPECT_EQ(state_, PlayState::Stopped);
  EXPECT_EQ(sound_.Opened(), 0);
  EXPECT_EQ(testing::ThreadsNamed("parlomax-decode"), 0u);
}

}  // namespace
}  // namespace parlomax::audio
