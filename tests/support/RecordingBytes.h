#pragma once

#include "phone/TelephoneModel.h"

#include <cstdint>
#include <vector>

namespace parlomax::testing {

// Header and payload of a recording, as a finished copy holds them.
inline std::vector<std::uint8_t> RecordingBytes(const phone::TelephoneModel& model, std::uint16_t index) {
  const auto header = model.Header(index);
  std::vector<std::uint8_t> bytes(header.begin(), header.end());
  const auto payload = model.Payload(index);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

}  // namespace parlomax::testing
