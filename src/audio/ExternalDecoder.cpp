#include "audio/ExternalDecoder.h"

#include "platform/shell/StartAndWait.h"

#include <cstdio>
#include <memory>
#include <system_error>

#include <unistd.h>

namespace parlomax::audio {
namespace {

constexpr const char* kDecoderName = "speex";

bool WriteInput(std::span<const std::uint8_t> chunk) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(kDecoderInput.c_str(), "w+b"),
                                                       &std::fclose);
  if (!file) return false;
  if (!chunk.empty() && std::fwrite(chunk.data(), chunk.size(), 1, file.get()) != 1) return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace

DecodeResult ExternalDecoder::DecodeChunk(std::span<const std::uint8_t> chunk,
                                          const std::string& outputName) const {
  const auto held = HoldRuns();
  return DecodeHeldChunk(chunk, outputName, held);
}

DecodeResult ExternalDecoder::DecodeHeldChunk(std::span<const std::uint8_t> chunk,
                                              const std::string& outputName,
                                              const std::unique_lock<std::mutex>&) const {
  std::error_code ec;
  std::filesystem::remove(outputName, ec);
  if (!WriteInput(chunk)) return DecodeResult::Failed;
  const auto end = shell::StartAndWait(program_, {kDecoderInput, outputName});
  if (!end.started) return DecodeResult::NotStarted;
  if (end.exitStatus != 0) return DecodeResult::Failed;
  const auto size = std::filesystem::file_size(outputName, ec);
  return !ec && size == chunk.size() * kOutputBytesPerPayloadByte ? DecodeResult::Decoded
                                                                  : DecodeResult::Failed;
}

DecodeResult ExternalDecoder::DecodeWhole(int payload, std::uint64_t payloadBytes,
                                          const std::function<void(std::span<const std::uint8_t>)>& samples) const {
  std::uint64_t received = 0;
  // Standard input in, and out to whatever its output names: here the pipe it was given.
  const auto end = shell::StartAndRead(program_, {"-", "/dev/stdout"}, payload, [&](std::span<const std::uint8_t> block) {
    received += block.size();
    samples(block);
  });
  if (!end.started) return DecodeResult::NotStarted;
  return end.exitStatus == 0 && received == payloadBytes * kOutputBytesPerPayloadByte ? DecodeResult::Decoded
                                                                                      : DecodeResult::Failed;
}

std::string FindDecoderProgram(const std::filesystem::path& programFolder) {
  // Beside the program in a build tree; in an installed (or unpacked, or
  // moved) tree, among the program's private helpers; else wherever PATH has it.
  for (const auto& candidate :
       {programFolder / kDecoderName, programFolder / ".." / "libexec" / "parlomax" / kDecoderName}) {
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.lexically_normal().string();
  }
  return kDecoderName;
}

}  // namespace parlomax::audio
