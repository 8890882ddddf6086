#pragma once

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace parlomax::testing {

// Writes 16-bit PCM WAV; true on success.
inline bool WriteWav(const std::filesystem::path& file, const std::vector<std::int16_t>& interleaved,
                     int channels, int rate) {
  SF_INFO format{};
  format.samplerate = rate;
  format.channels = channels;
  format.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &format);
  if (out == nullptr) return false;
  const sf_count_t frames = static_cast<sf_count_t>(interleaved.size() / channels);
  const bool ok = sf_writef_short(out, interleaved.data(), frames) == frames;
  sf_close(out);
  return ok;
}

}  // namespace parlomax::testing
