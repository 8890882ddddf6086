#pragma once

#include <cstdint>
#include <filesystem>
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

// Speex decoding by the separate decoder program, one chunk per run.
class ExternalDecoder {
 public:
  explicit ExternalDecoder(std::string program) : program_(std::move(program)) {}

  const std::string& Program() const { return program_; }

  // Writes `chunk` to the decoder's input file and runs the decoder into
  // `outputName`, waiting for it without time-out. True when the decoder
  // ran and left its whole output. The output file is removed before the
  // run, so a file left by an earlier run can never pass for this one's.
  bool DecodeChunk(std::span<const std::uint8_t> chunk, const std::string& outputName) const;

 private:
  std::string program_;
};

// The decoder next to the program (in `programFolder`) when there is one,
// else the one of that name on PATH.
std::string FindDecoderProgram(const std::filesystem::path& programFolder);

}  // namespace parlomax::audio
