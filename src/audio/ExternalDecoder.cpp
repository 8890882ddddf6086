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

bool ExternalDecoder::DecodeChunk(std::span<const std::uint8_t> chunk,
                                  const std::string& outputName) const {
  std::error_code ec;
  std::filesystem::remove(outputName, ec);
  if (!WriteInput(chunk)) return false;
  const auto status = shell::StartAndWait(program_, {kDecoderInput, outputName});
  if (status != 0) return false;
  const auto size = std::filesystem::file_size(outputName, ec);
  return !ec && size == chunk.size() * kOutputBytesPerPayloadByte;
}

std::string FindDecoderProgram(const std::filesystem::path& programFolder) {
  const auto beside = programFolder / kDecoderName;
  if (::access(beside.c_str(), X_OK) == 0) return beside.string();
  return kDecoderName;
}

}  // namespace parlomax::audio
