#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <string>

namespace parlomax::audio {

// Scratch files, by bare name, in the program's private working directory.
inline const std::string kDecoderInput = "temp_decoder.spt_";
inline const std::string kPlayBuffer1 = "temp1.wav";
inline const std::string kPlayBuffer2 = "temp2.wav";
inline const std::string kConversionOutput = "temp_trans.wav";

// Decoded sound: 8 samples of 16 bits for every payload byte.
inline constexpr std::size_t kOutputBytesPerPayloadByte = 16;

enum class DecodeResult {
  Decoded,     // the output holds the whole decoded chunk
  NotStarted,  // the decoder program could not be started at all
  Failed,      // it ran, but did not leave its whole output
  Stopped,     // its caller asked it to stop, and it was ended
};

// What went wrong with a run that failed.
enum class DecodeFault {
  None,
  InputNotWritten,  // the scratch input could not be written; detail: the system's error number
  Crashed,          // a signal ended it; detail: the signal
  ExitStatus,       // it exited with another status than 0; detail: that status
  ShortOutput,      // it left other than 16 bytes per payload byte; detail: the bytes it left
  TimedOut,         // it ran past its time limit and was killed; detail: the limit in ms
};

// A run's result, and for a failed one why.
struct DecodeOutcome {
  DecodeResult result = DecodeResult::Decoded;
  DecodeFault fault = DecodeFault::None;
  std::int64_t detail = 0;
  std::uint64_t expected = 0;  // the bytes a whole output holds
  friend bool operator==(const DecodeOutcome& outcome, DecodeResult result) {
    return outcome.result == result;
  }
};

// Why a failed run failed, for the user: "解码程序以状态 1 退出" and the like.
QString DecodeFaultText(const DecodeOutcome& outcome);

// How long a run may take before it counts as hung: a floor for the
// process itself and a share per payload byte. Generous: the decoder takes
// about 0.15 µs a byte here; 50 µs a byte allows for a machine over three
// hundred times slower. 10 s for a playback or conversion chunk, a little
// over three minutes for an hour-long recording decoded whole.
struct DecoderTimeLimit {
  std::chrono::milliseconds floor{10'000};
  std::chrono::microseconds perPayloadByte{50};
  std::chrono::milliseconds For(std::uint64_t payloadBytes) const;
};

// Asked now and then while a run goes on: true ends the run at once.
using StopRequested = std::function<bool()>;

// Speex decoding by the separate decoder program, one chunk per run.
//
// Every run writes the same input file, so runs never overlap: each holds
// the decoder's run lock. A caller that must decide something and act on it
// without another run coming in between (a player marking a buffer ready
// only while its playback is still wanted) holds the lock itself and decodes
// with DecodeHeldChunk.
//
// Every run is bounded by its time limit, and ended at once when its
// caller's stop turns true; the one rule for all of them: a run decoded
// only when it ended by itself with status 0 and left 16 bytes for every
// payload byte.
class ExternalDecoder {
 public:
  using RunLock = std::unique_lock<std::mutex>;

  explicit ExternalDecoder(std::string program, DecoderTimeLimit limit = {})
      : program_(std::move(program)), limit_(limit) {}

  const std::string& Program() const { return program_; }

  // Writes `chunk` to the decoder's input file and runs the decoder into
  // `outputName`. The output file is removed before the run, so a file left
  // by an earlier run can never pass for this one's.
  DecodeOutcome DecodeChunk(std::span<const std::uint8_t> chunk, const std::string& outputName,
                            const StopRequested& stop = {}) const;

  // One run over a whole recording's payload: the decoder reads it itself
  // from `payload`, a descriptor standing at the payload's start (a
  // recording file past its header), to its end, and its samples are
  // handed to `samples` block by block as it makes them, so that nothing of
  // the size of the recording or of its sound is ever held or stored on the
  // way. Decoded only when the decoder ended well after giving the samples
  // of `payloadBytes` bytes. The run touches no scratch file, so it takes
  // no run lock and runs beside any other.
  DecodeOutcome DecodeWhole(int payload, std::uint64_t payloadBytes,
                            const std::function<void(std::span<const std::uint8_t>)>& samples,
                            const StopRequested& stop = {}) const;

  RunLock HoldRuns() const { return RunLock(runs_); }
  // The run lock if it comes within `wait`; a lock that owns nothing if not.
  RunLock TryHoldRuns(std::chrono::milliseconds wait) const;
  // The same as DecodeChunk, with the lock of HoldRuns() held by the caller.
  DecodeOutcome DecodeHeldChunk(std::span<const std::uint8_t> chunk, const std::string& outputName,
                                const RunLock& held, const StopRequested& stop = {}) const;

 private:
  std::string program_;
  DecoderTimeLimit limit_;
  mutable std::mutex runs_;
};

// The decoder next to the program (in `programFolder`) when there is one,
// else the one in ../libexec/parlomax/ from there (an installed tree), else
// the one of that name on PATH.
std::string FindDecoderProgram(const std::filesystem::path& programFolder);

}  // namespace parlomax::audio
