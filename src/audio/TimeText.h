#pragma once

#include <QString>

#include <cstdint>

namespace parlomax::audio {

// "hh:mm:ss" of a count of seconds, each part at least two digits.
inline QString TimeText(std::uint32_t seconds) {
  return QString::asprintf("%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

}  // namespace parlomax::audio
