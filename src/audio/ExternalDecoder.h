#pragma once

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
};

// Speex decoding by the separate decoder program, one chunk per run.
//
// Every run writes the same input file, so runs never overlap: each holds
// the decoder's run lock. A caller that must decide something and act on it
// without another run coming in between (a player marking a buffer ready
// only while its playback is still wanted) holds the lock itself and decodes
// with DecodeHeldChunk.
class ExternalDecoder {
 public:
  explicit ExternalDecoder(std::string program) : program_(std::move(program)) {}

  const std::string& Program() const { return program_; }

  // Writes `chunk` to the decoder's input file and runs the decoder into
  // `outputName`, waiting for it without time-out. The output file is
  // removed before the run, so a file left by an earlier run can never pass
  // for this one's.
  DecodeResult DecodeChunk(std::span<const std::uint8_t> chunk, const std::string& outputName) const;

  // One run over a whole recording's payload: the decoder reads it itself
  // from `payload`, a descriptor standing at the payload's start (a
  // recording file past its header), to its end, and its samples are
  // handed to `samples` block by block as it makes them, so that nothing of
  // the size of the recording or of its sound is ever held or stored on the
  // way. Decoded only when the decoder ended well after giving the samples
  // of `payloadBytes` bytes. The run touches no scratch file, so it takes
  // no run lock and runs beside any other.
  DecodeResult DecodeWhole(int payload, std::uint64_t payloadBytes,
                           const std::function<void(std::span<const std::uint8_t>)>& samples) const;

  std::unique_lock<std::mutex> HoldRuns() const { return std::unique_lock(runs_); }
  // The same as DecodeChunk, with the lock of HoldRuns() held by the caller.
  DecodeResult DecodeHeldChunk(std::span<const std::uint8_t> chunk, const std::string& outputName,
                               const std::unique_lock<std::mutex>& held) const;

 private:
  std::string program_;
  mutable std::mutex runs_;
};

// The decoder next to the program (in `programFolder`) when there is one,
// else the one in ../libexec/parlomax/ from there (an installed tree), else
// the one of that name on PATH.
std::string FindDecoderProgram(const std::filesystem::path& programFolder);

}  // namespace parlomax::audio
