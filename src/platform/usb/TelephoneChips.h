#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace parlomax::usb {

// One vendor request without data, host to device.
struct VendorRequest {
  std::uint8_t requestType;
  std::uint8_t request;
  std::uint16_t value;
  bool operator==(const VendorRequest&) const = default;
};

// How one kind of USB chip that a telephone may carry is known and driven:
// the IDs it answers at, the answers to the chip maker's part-number request
// by which this kind is told from others at the same IDs, and the requests
// that open it (the host may send), close it and flush it (drop what is
// queued both ways). A telephone with other IDs, or another chip, is one
// more row of kTelephoneChips.
struct TelephoneChip {
  std::uint16_t vendorId;
  std::uint16_t productId;
  std::string_view kind;  // as a person reads it, in the doctor's report
  std::uint8_t lowestPart;
  std::uint8_t highestPart;
  std::span<const VendorRequest> open;
  std::span<const VendorRequest> close;
  std::span<const VendorRequest> flush;
};

// The chip maker's part-number request: vendor, device to host, one byte.
inline constexpr std::uint8_t kPartNumberRequestType = 0xC0;
inline constexpr std::uint8_t kPartNumberRequest = 0xFF;
inline constexpr std::uint16_t kPartNumberValue = 0x370B;

std::span<const TelephoneChip> TelephoneChips();

// Every row at these IDs; empty when no telephone has them.
std::vector<const TelephoneChip*> ChipsWithIds(std::uint16_t vendorId, std::uint16_t productId);

// The row whose part numbers take `part` among `candidates`; none when the
// part number is unknown or there was no answer (a STALL, say).
const TelephoneChip* ChipOfPart(const std::vector<const TelephoneChip*>& candidates,
                                std::optional<std::uint8_t> part);

}  // namespace parlomax::usb
