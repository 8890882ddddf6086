#pragma once

#include "platform/usb/DeviceLibrary.h"
#include "platform/usb/TelephoneChips.h"

#include <optional>
#include <utility>
#include <vector>

namespace parlomax::usb {

// What a request to a telephone's chip met. A STALL is an answer: "not a
// request I know".
enum class RequestAnswer { Accepted, Stalled, Failed };

// How the opening of a telephone on the cable went, step by step: what a
// person needs to know when it does not answer.
struct OpenReport {
  Status status = kNoDevice;
  RequestAnswer partNumberAnswer = RequestAnswer::Failed;
  std::optional<std::uint8_t> partNumber;
  // The kind that answered; none when no kind did, and every kind's open at
  // the telephone's IDs was sent.
  const TelephoneChip* chip = nullptr;
  std::vector<std::pair<VendorRequest, RequestAnswer>> opens;
};

}  // namespace parlomax::usb
