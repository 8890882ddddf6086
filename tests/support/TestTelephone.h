#pragma once

#include "phone/InProcessDeviceLibrary.h"
#include "phone/TelephoneModel.h"

#include <memory>
#include <vector>

namespace parlomax::testing {

// A recording with a recognisable payload: byte k is (seed + k) mod 251.
inline phone::Recording MakeRecording(std::size_t payloadSize, unsigned seed = 0) {
  phone::Recording r;
  r.call.callType = seed % 3;
  r.call.month = 1 + seed % 12;
  r.call.day = 1 + seed % 28;
  r.call.hour = seed % 24;
  r.call.minute = seed % 60;
  r.call.telephoneNumber = QStringLiteral("1380013%1").arg(seed % 10000, 4, 10, QLatin1Char('0'));
  r.payload.resize(payloadSize);
  for (std::size_t k = 0; k < payloadSize; ++k) {
    r.payload[k] = static_cast<std::uint8_t>((seed + k) % 251);
  }
  return r;
}

inline std::shared_ptr<phone::TelephoneModel> MakeTelephone(
    std::vector<phone::Recording> recordings, phone::Pin pin = {9, 1, 7, 4}) {
  return std::make_shared<phone::TelephoneModel>(pin, recordings);
}

}  // namespace parlomax::testing
