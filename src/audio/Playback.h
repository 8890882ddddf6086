#pragma once

#include "audio/ExternalDecoder.h"
#include "audio/PlayState.h"
#include "catalogue/RecordingHeader.h"

#include <QString>

#include <array>
#include <cstdio>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parlomax::shell {
class MessageService;
}
namespace parlomax::sound {
class AudioOutputFactory;
}

namespace parlomax::audio {

// A payload byte decodes to 8 samples; playback decodes five seconds a run
// and hands the sound over a second (8000 samples) at a time.
inline constexpr std::uint32_t kPlayChunkBytes = 5000;
inline constexpr std::size_t kSamplesPerSecond = 8000;
inline constexpr int kBlocksPerBuffer = 5;
inline constexpr std::uint32_t kHeaderBytes = catalogue::kRecordingHeaderSize;

// How one playback's progress reaches the window. Called from the player's
// and the decoder's threads; an implementation hands each change to the
// window's thread and returns without waiting, since the window's thread may
// itself be waiting for the player. Each playback has a view of its own, so
// the window can drop what a playback it has left behind still reports.
class PlaybackView {
 public:
  virtual ~PlaybackView() = default;
  // The position bar: seconds handed to the output.
  virtual void ShowPosition(std::int32_t position) = 0;
  // The elapsed time; 0 when the player has ended.
  virtual void ShowElapsed(std::uint32_t seconds) = 0;
  // A failure the user must hear of, shown without holding up the player.
  virtual void Warn(const QString& text) = 0;
};

// DecoderBusy: a decoder run of another's did not end in time, so nothing
// could be decoded.
enum class StartResult { Started, CannotOpen, DecodeFailed, DecoderBusy };

// What the user is told when the decoder let a playback or a conversion
// down: the decoder program or why it failed, and the recording's file.
QString DecodeFailureText(const DecodeOutcome& outcome, const std::string& program,
                          const std::string& file);

// The second a seek lands on, from the bar's position and maximum and the
// size of the file played: never before second 1.
std::uint32_t SeekSecond(int position, int maximum, std::uint32_t fileSize);

// What the desktop's sound settings call the stream that plays `path`.
std::string StreamTitle(const std::string& path);

// Plays one .spx file at a time through the audio output: the first five
// seconds are decoded on the caller's thread, then a player thread hands the
// sound to the output a second at a time while a decoder thread decodes the
// next five seconds into the other buffer file. The two buffer files take
// turns. A pause holds the player at the sample it had reached, and playing
// again goes on from there. Everything here but the threads' own work runs on the window's
// thread. The player's thread is named "parlomax-play" and a decoder's
// "parlomax-decode", for whoever looks at the process from outside.
class Playback {
 public:
  using View = std::shared_ptr<PlaybackView>;

  Playback(std::atomic<PlayState>& playState, const ExternalDecoder& decoder,
           sound::AudioOutputFactory& outputs, shell::MessageService& messages);
  // Ends any playback and waits for every thread it started.
  ~Playback();

  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Plays `path` from its start, reporting to `view`. On CannotOpen
  // nothing has changed; on DecodeFailed nothing plays (the reason is in
  // LastDecodeResult()), nor on DecoderBusy. Never waits for a decoder run
  // without a limit: another's for a moment at most, its own for the
  // run's time limit.
  StartResult Start(const std::string& path, View view);
  // Plays the file of the last start again from `second` (seek).
  StartResult StartAt(std::uint32_t second, View view);
  // Ends the playback under way: the state becomes Stopped, the decoder is
  // told to stop, and the player is waited for, without time-out.
  void End();
  // Waits for the player of a playback that is already stopped.
  void WaitForPlayer();

  std::uint32_t PlayFileSize() const { return PlayFileSize_; }
  std::int32_t LastPosition() const { return LastPosition_; }
  void SetLastPosition(std::int32_t position) { LastPosition_ = position; }
  std::uint32_t ElapsedSeconds() const { return ElapsedSeconds_; }
  // How fast the recording is heard (one of kPlaySpeeds), from the next
  // tenth of a second on; kept from one recording to the next. The bar and
  // the elapsed time go by the recording's own seconds whatever the speed.
  void SetSpeed(float speed) { speed_ = speed; }
  float Speed() const { return speed_; }
  const DecodeOutcome& LastDecodeResult() const { return lastDecode_; }
  const std::string& PlayPath() const { return PlayPath_; }
  const ExternalDecoder& Decoder() const { return decoder_; }

 private:
  using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
  StartResult StartFrom(File file, std::uint32_t startOffset, std::int32_t position, View view);
  void PlayerThread(std::uint64_t number, std::int32_t position, std::string title, View view);
  void DecoderThread(std::uint64_t number, std::string path, std::uint32_t startOffset, View view);
  // The decoder thread of `number` is still wanted.
  bool Decoding(std::uint64_t number) const;
  void ForgetEndedDecoders();

  std::atomic<PlayState>& PlayState_;
  const ExternalDecoder& decoder_;
  sound::AudioOutputFactory& outputs_;
  shell::MessageService& messages_;
  // Counts the playbacks started; the window's thread only.
  std::uint64_t lastNumber_ = 0;

  std::atomic<bool> DecodingActive_{false};
  // The playback whose decoder may still fill buffers; 0 while none may.
  std::atomic<std::uint64_t> decodingFor_{0};
  std::array<std::atomic<bool>, 2> BufferReady_{};
  std::atomic<int> NextDecodeBuffer_{1};
  std::atomic<int> NextPlayBuffer_{1};
  std::string PlayPath_;
  std::uint32_t PlayFileSize_ = 0;
  std::uint32_t StartOffset_ = 0;
  std::atomic<std::uint32_t> ElapsedSeconds_{0};
  std::atomic<std::int32_t> LastPosition_{0};
  std::atomic<float> speed_{1.0f};
  DecodeOutcome lastDecode_;

  std::thread player_;
  struct DecoderRun {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> ended;
  };
  std::vector<DecoderRun> decoders_;
};

}  // namespace parlomax::audio
