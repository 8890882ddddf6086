#include "audio/Playback.h"

#include "audio/SpeedChange.h"
#include "catalogue/RecordingHeader.h"
#include "platform/files/PlainFile.h"
#include "platform/realtime/RealtimeThread.h"
#include "platform/shell/MessageService.h"
#include "platform/sound/AudioOutput.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace parlomax::audio {
namespace {

using namespace std::chrono_literals;
using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The player looks for its next buffer every 10 ms; six looks without one
// mean the recording has ended. The decoder looks for a free buffer every
// 100 ms.
constexpr auto kPlayerPoll = 10ms;
constexpr int kPlayerPolls = 6;
constexpr auto kDecoderPoll = 100ms;
// A start waits no longer than this for a decoder run of another's (a
// playback or conversion just stopped) to end: a stopped run ends within
// moments, so only a run that does not end is waited for in vain.
constexpr auto kRunLockWait = 2000ms;
constexpr double kSampleScale = 1.0 / 32768;
// The speed is looked at every tenth of a second of the recording.
constexpr std::size_t kSpeedPiece = kSamplesPerSecond / 10;
const QString kDecoderCannotOpenMessage = QStringLiteral("Open temp.spx error");

// Silence handed to an output that has stopped taking its time (a sound
// server gone under a paused player) would make the player spin, and a
// time-critical thread that never waits is one the system must stop. Ahead
// of the clock by more than any output holds, the player waits.
class SilencePacer {
 public:
  void Reset() { given_ = 0; }
  void Gave() {
    if (given_++ == 0) start_ = std::chrono::steady_clock::now();
    if (given_ % 80 != 0) return;  // every 10 ms of sound
    const auto due = start_ + std::chrono::microseconds(given_ * 1000000 / kSamplesPerSecond) - kMostAhead;
    if (std::chrono::steady_clock::now() < due) std::this_thread::sleep_until(due);
  }

 private:
  static constexpr auto kMostAhead = std::chrono::milliseconds(500);
  std::uint64_t given_ = 0;
  std::chrono::steady_clock::time_point start_;
};

const std::string& BufferFile(int buffer) { return buffer == 1 ? kPlayBuffer1 : kPlayBuffer2; }
int OtherBuffer(int buffer) { return 3 - buffer; }

File Open(const std::string& path) { return File(std::fopen(path.c_str(), "rb"), &std::fclose); }
// A recording is a plain file; anything else by its name (a pipe, which
// would keep the window waiting) counts as a file that cannot be opened.
File OpenRecording(const std::string& path) { return files::PlainFile(path).TakeStream(); }

std::uint64_t SizeOf(std::FILE* file) {
  return ::fseeko(file, 0, SEEK_END) == 0 ? static_cast<std::uint64_t>(::ftello(file)) : 0;
}


QString FileName(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path)).section(QLatin1Char('/'), -1);
}

}  // namespace

QString DecodeFailureText(const DecodeOutcome& outcome, const std::string& program,
                          const std::string& file) {
  if (outcome == DecodeResult::NotStarted) {
    return QStringLiteral("无法启动解码程序 %1，%2 无法解码。")
        .arg(QFile::decodeName(QByteArray::fromStdString(program)), FileName(file));
  }
  return QStringLiteral("解码程序没能解出 %1 的声音（%2），已停止。")
      .arg(FileName(file), DecodeFaultText(outcome));
}

std::string StreamTitle(const std::string& path) {
  return (QStringLiteral("Parlomax – ") + FileName(path)).toStdString();
}

std::uint32_t SeekSecond(int position, int maximum, std::uint32_t fileSize) {
  const double fraction = maximum > 0 ? static_cast<double>(position) / maximum : 0.0;
  // Signed: a seek near the start would otherwise wrap around below the header.
  std::int64_t offset = static_cast<std::int64_t>(fileSize * fraction);
  offset -= kHeaderBytes;
  constexpr std::int64_t kSecond = catalogue::kPayloadBytesPerSecond;
  if (offset < kSecond) offset = kSecond;
  return static_cast<std::uint32_t>(offset / kSecond + (offset % kSecond > kSecond / 2 ? 1 : 0));
}

Playback::Playback(std::atomic<PlayState>& playState, const ExternalDecoder& decoder,
                   sound::AudioOutputFactory& outputs, shell::MessageService& messages)
    : PlayState_(playState), decoder_(decoder), outputs_(outputs), messages_(messages) {}

Playback::~Playback() {
  End();
  for (auto& d : decoders_) d.thread.join();
}

StartResult Playback::Start(const std::string& path, View view) {
  File file = OpenRecording(path);
  if (!file) return StartResult::CannotOpen;
  PlayPath_ = path;
  PlayFileSize_ = static_cast<std::uint32_t>(SizeOf(file.get()));
  ElapsedSeconds_ = 0;
  return StartFrom(std::move(file), 0, 0, std::move(view));
}

StartResult Playback::StartAt(std::uint32_t second, View view) {
  ElapsedSeconds_ = second;
  BufferReady_[0] = BufferReady_[1] = false;
  File file = OpenRecording(PlayPath_);
  if (!file) return StartResult::CannotOpen;
  return StartFrom(std::move(file), second * catalogue::kPayloadBytesPerSecond, static_cast<std::int32_t>(second),
                   std::move(view));
}

StartResult Playback::StartFrom(File file, std::uint32_t startOffset, std::int32_t position, View view) {
  const std::uint64_t number = ++lastNumber_;
  WaitForPlayer();
  ForgetEndedDecoders();
  std::vector<std::uint8_t> chunk(kPlayChunkBytes);
  std::size_t got = 0;
  if (::fseeko(file.get(), kHeaderBytes + static_cast<off_t>(startOffset), SEEK_SET) == 0) {
    got = std::fread(chunk.data(), 1, chunk.size(), file.get());
  }
  file.reset();
  {
    // A decoder thread of an earlier playback checks whether it is still
    // wanted, and marks its buffers, under this same lock: once this
    // playback's number is in place it can touch nothing of this one.
    // Never an unbounded wait on the window's thread: a run that will not
    // make way in time is said, and nothing plays.
    const auto held = decoder_.TryHoldRuns(kRunLockWait);
    if (!held.owns_lock()) return StartResult::DecoderBusy;
    decodingFor_ = number;
    BufferReady_[0] = BufferReady_[1] = false;
    NextDecodeBuffer_ = 1;
    NextPlayBuffer_ = 1;
    StartOffset_ = startOffset;
    lastDecode_ = decoder_.DecodeHeldChunk(std::span(chunk.data(), got), kPlayBuffer1, held);
    if (lastDecode_ != DecodeResult::Decoded) {
      decodingFor_ = 0;
      return StartResult::DecodeFailed;
    }
    BufferReady_[0] = true;
    NextDecodeBuffer_ = 2;
  }
  PlayState_ = PlayState::Playing;
  DecodingActive_ = true;
  player_ =
      std::thread(&Playback::PlayerThread, this, number, position, StreamTitle(PlayPath_), view);
  ::pthread_setname_np(player_.native_handle(), "parlomax-play");
  auto ended = std::make_shared<std::atomic<bool>>(false);
  decoders_.push_back({std::thread([this, number, path = PlayPath_, startOffset, ended, view] {
                         DecoderThread(number, path, startOffset, view);
                         *ended = true;
                       }),
                       ended});
  ::pthread_setname_np(decoders_.back().thread.native_handle(), "parlomax-decode");
  return StartResult::Started;
}

void Playback::End() {
  PlayState_ = PlayState::Stopped;
  DecodingActive_ = false;
  decodingFor_ = 0;
  WaitForPlayer();
}

void Playback::WaitForPlayer() {
  if (player_.joinable()) player_.join();
}

bool Playback::Decoding(std::uint64_t number) const {
  return DecodingActive_ && decodingFor_ == number;
}

void Playback::ForgetEndedDecoders() {
  std::erase_if(decoders_, [](DecoderRun& d) {
    if (!*d.ended) return false;
    d.thread.join();
    return true;
  });
}

void Playback::PlayerThread(std::uint64_t number, std::int32_t position, std::string title,
                            View view) {
  // A player kept waiting stutters: the output runs dry while it waits.
  realtime::MakeThisThreadTimeCritical();
  sound::OpenedOutput opened = outputs_.Open(title);
  bool outputWorks = opened.output != nullptr;
  SilencePacer silence;
  SpeedChange speed;
  // Where the player stands: the buffer file being played and its blocks
  // read, the second being played (as read, and the piece of it being
  // heard, at the speed chosen), and how far each has gone. A pause keeps
  // all of it, so playing again goes on at the very sample it stopped at.
  File file(nullptr, &std::fclose);
  int buffer = 0;
  int blocks = 0;
  std::vector<std::uint8_t> bytes(kSamplesPerSecond * 2);
  std::vector<std::int16_t> second;
  std::size_t secondDone = 0;
  bool inSecond = false;
  std::vector<std::int16_t> heard;
  std::size_t heardDone = 0;
  bool ending = false;
  while (outputWorks && PlayState_ != PlayState::Stopped) {
    if (PlayState_ == PlayState::Paused) {
      // Silence keeps the output going, paced by its own blocking.
      outputWorks = opened.output->Tick(0.0);
      silence.Gave();
      continue;
    }
    silence.Reset();
    if (heardDone < heard.size()) {
      // A pause or stop is looked for before every sample.
      do {
        outputWorks = opened.output->Tick(heard[heardDone++] * kSampleScale);
      } while (outputWorks && heardDone < heard.size() && PlayState_ == PlayState::Playing);
      continue;
    }
    if (ending) {
      PlayState_ = PlayState::Stopped;  // the recording has ended
      break;
    }
    if (inSecond && secondDone < second.size()) {
      // A tenth of a second at a time, so that a new speed is soon heard.
      const std::size_t piece = std::min(kSpeedPiece, second.size() - secondDone);
      heard = speed.Change(std::span(second).subspan(secondDone, piece), speed_);
      heardDone = 0;
      secondDone += piece;
      continue;
    }
    if (inSecond) {
      inSecond = false;
      view->ShowElapsed(++ElapsedSeconds_);
    }
    if (file && (blocks == kBlocksPerBuffer || std::feof(file.get()))) {
      file.reset();
      BufferReady_[buffer - 1] = false;
      NextPlayBuffer_ = OtherBuffer(buffer);
      std::this_thread::sleep_for(kPlayerPoll);
      continue;
    }
    if (!file) {
      buffer = NextPlayBuffer_;
      int polls = 0;
      while (!BufferReady_[buffer - 1] && polls < kPlayerPolls &&
             PlayState_ == PlayState::Playing) {
        std::this_thread::sleep_for(kPlayerPoll);
        ++polls;
      }
      if (PlayState_ != PlayState::Playing) continue;
      if (!BufferReady_[buffer - 1]) {
        // What the speed change still holds is the recording's last sound.
        heard = speed.Rest();
        heardDone = 0;
        ending = true;
        continue;
      }
      file = Open(BufferFile(buffer));
      blocks = 0;
      if (!file) {
        // Nothing to read: counts as a buffer played out.
        BufferReady_[buffer - 1] = false;
        NextPlayBuffer_ = OtherBuffer(buffer);
        continue;
      }
    }
    // The position advances before a second is heard, the elapsed time
    // after it; a short or empty second still counts as one.
    const std::size_t samples = std::fread(bytes.data(), 2, kSamplesPerSecond, file.get());
    second.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
      second[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    ++blocks;
    secondDone = 0;
    inSecond = true;
    LastPosition_ = ++position;
    view->ShowPosition(position);
  }
  file.reset();
  if (!outputWorks) {
    const QString reason = QString::fromStdString(opened.output ? std::string() : opened.error);
    view->Warn(reason.isEmpty() ? QStringLiteral("声音输出设备出错，播放已停止。")
                                : QStringLiteral("没有可用的声音输出设备，无法播放（%1）。").arg(reason));
    PlayState_ = PlayState::Stopped;
  }
  ElapsedSeconds_ = 0;
  opened.output.reset();  // plays out what it still holds
  view->ShowElapsed(0);
  // The decoder of a playback that ended by itself has nothing more to do.
  std::uint64_t mine = number;
  decodingFor_.compare_exchange_strong(mine, 0);
}

void Playback::DecoderThread(std::uint64_t number, std::string path, std::uint32_t startOffset, View view) {
  File file = OpenRecording(path);
  if (!file) {
    messages_.Warn(kDecoderCannotOpenMessage);
    return;
  }
  const std::uint64_t size = SizeOf(file.get());
  // Start and seek decoded the first five seconds already.
  std::uint64_t at = kHeaderBytes + std::uint64_t{startOffset} + kPlayChunkBytes;
  ::fseeko(file.get(), static_cast<off_t>(at), SEEK_SET);
  std::vector<std::uint8_t> chunk(kPlayChunkBytes);
  while (Decoding(number)) {
    const int buffer = NextDecodeBuffer_;
    if (at >= size) break;  // the whole payload has been read
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
    at = got < chunk.size() ? size : at + got;
    while (BufferReady_[buffer - 1] && Decoding(number)) std::this_thread::sleep_for(kDecoderPoll);
    const auto held = decoder_.HoldRuns();
    if (!Decoding(number) || BufferReady_[buffer - 1]) break;
    // A run for a playback that is no longer wanted ends at once.
    const DecodeOutcome result =
        decoder_.DecodeHeldChunk(std::span(chunk.data(), got), BufferFile(buffer), held,
                                 [this, number] { return !Decoding(number); });
    if (result == DecodeResult::Stopped) break;
    if (result != DecodeResult::Decoded) {
      // Nothing stale or missing is played: the player ends after what it has.
      view->Warn(DecodeFailureText(result, decoder_.Program(), path));
      break;
    }
    BufferReady_[buffer - 1] = true;
    NextDecodeBuffer_ = OtherBuffer(buffer);
  }
}

}  // namespace parlomax::audio
