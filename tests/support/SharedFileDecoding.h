#pragma once

// Reads MP3 and Ogg Opus files back to 8000 samples a second with libraries
// of their own (libmpg123, libopusfile), and compares sounds: what an
// ordinary player would hear of a shared file.

#include <mpg123.h>
#include <opusfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace parlomax::testing {

struct DecodedFile {
  bool opened = false;
  std::vector<std::int16_t> samples;  // 8000 a second, one channel
  std::string title, artist;          // from the tags
};

inline DecodedFile DecodeMp3(const std::filesystem::path& file) {
  DecodedFile result;
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  if (mh == nullptr) return result;
  mpg123_format_none(mh);
  mpg123_format(mh, 8000, MPG123_MONO, MPG123_ENC_SIGNED_16);
  if (mpg123_open(mh, file.c_str()) == MPG123_OK) {
    result.opened = true;
    std::vector<unsigned char> block(16384);
    for (;;) {
      std::size_t got = 0;
      const int rc = mpg123_read(mh, block.data(), block.size(), &got);
      const auto* s = reinterpret_cast<const std::int16_t*>(block.data());
      result.samples.insert(result.samples.end(), s, s + got / 2);
      if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
    }
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if (mpg123_id3(mh, &v1, &v2) == MPG123_OK && v2 != nullptr) {
      if (v2->title != nullptr && v2->title->p != nullptr) result.title = v2->title->p;
      if (v2->artist != nullptr && v2->artist->p != nullptr) result.artist = v2->artist->p;
    }
    mpg123_close(mh);
  }
  mpg123_delete(mh);
  return result;
}

inline DecodedFile DecodeOpus(const std::filesystem::path& file) {
  DecodedFile result;
  int error = 0;
  OggOpusFile* of = op_open_file(file.c_str(), &error);
  if (of == nullptr) return result;
  result.opened = true;
  if (const OpusTags* tags = op_tags(of, -1)) {
    if (const char* t = opus_tags_query(tags, "TITLE", 0)) result.title = t;
    if (const char* a = opus_tags_query(tags, "ARTIST", 0)) result.artist = a;
  }
  // Opus plays at 48000 a second, with nothing above the recording's 4 kHz:
  // every sixth sample is the recording's rate again.
  std::vector<std::int16_t> at48(5760);
  std::vector<std::int16_t> all;
  for (int n; (n = op_read(of, at48.data(), static_cast<int>(at48.size()), nullptr)) > 0;)
    all.insert(all.end(), at48.begin(), at48.begin() + n);
  for (std::size_t i = 0; i < all.size(); i += 6) result.samples.push_back(all[i]);
  op_free(of);
  return result;
}

// The correlation of `a` with `b` from `lag` samples on, over what they share.
inline double CorrelationAt(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b,
                            std::size_t lag, std::size_t length = SIZE_MAX) {
  if (lag >= b.size()) return -1;
  const std::size_t n = std::min({a.size(), b.size() - lag, length});
  double ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = a[i], y = b[i + lag];
    ab += x * y;
    aa += x * x;
    bb += y * y;
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : -1;
}

// The correlation of `a` with `b` where `b` lags 0..maxLag samples behind
// (an encoder's delay), the lag found on the first three seconds.
inline double AlignedCorrelation(const std::vector<std::int16_t>& a,
                                 const std::vector<std::int16_t>& b, std::size_t maxLag,
                                 std::size_t* foundLag = nullptr) {
  std::size_t best = 0;
  double bestValue = -2;
  for (std::size_t lag = 0; lag <= maxLag; ++lag) {
    const double c = CorrelationAt(a, b, lag, 24'000);
    if (c > bestValue) bestValue = c, best = lag;
  }
  if (foundLag != nullptr) *foundLag = best;
  return CorrelationAt(a, b, best);
}

}  // namespace parlomax::testing
