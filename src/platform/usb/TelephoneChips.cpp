#include "platform/usb/TelephoneChips.h"

#include <algorithm>
#include <array>

namespace parlomax::usb {
namespace {

// A microcontroller running the chip maker's direct-access firmware: one
// vendor request whose value says open, close or flush. It answers the
// part-number request with 0x80 or above, and STALLs every other request.
constexpr std::array<VendorRequest, 1> kFirmwareOpen{{{0x40, 0x02, 0x0002}}};
constexpr std::array<VendorRequest, 1> kFirmwareClose{{{0x40, 0x02, 0x0004}}};
constexpr std::array<VendorRequest, 1> kFirmwareFlush{{{0x40, 0x02, 0x0001}}};

// The maker's USB-to-UART bridge in direct-access mode: the interface
// enabled and disabled with request 0x00, both directions purged with
// request 0x12. Its part numbers lie below 0x80.
constexpr std::array<VendorRequest, 1> kBridgeOpen{{{0x41, 0x00, 0x0001}}};
constexpr std::array<VendorRequest, 1> kBridgeClose{{{0x41, 0x00, 0x0000}}};
constexpr std::array<VendorRequest, 1> kBridgeFlush{{{0x41, 0x12, 0x000F}}};

// The udev rule in packaging/udev names the same IDs.
constexpr std::array<TelephoneChip, 2> kTelephoneChips{{
    {0x10C4, 0xEA61, "单片机（直接访问固件）", 0x80, 0xFF, kFirmwareOpen, kFirmwareClose, kFirmwareFlush},
    {0x10C4, 0xEA61, "USB 转串口桥（直接访问模式）", 0x00, 0x7F, kBridgeOpen, kBridgeClose, kBridgeFlush},
}};

}  // namespace

std::span<const TelephoneChip> TelephoneChips() { return kTelephoneChips; }

std::vector<const TelephoneChip*> ChipsWithIds(std::uint16_t vendorId, std::uint16_t productId) {
  std::vector<const TelephoneChip*> chips;
  for (const TelephoneChip& chip : kTelephoneChips) {
    if (chip.vendorId == vendorId && chip.productId == productId) chips.push_back(&chip);
  }
  return chips;
}

const TelephoneChip* ChipOfPart(const std::vector<const TelephoneChip*>& candidates,
                                std::optional<std::uint8_t> part) {
  if (!part) return nullptr;
  const auto it = std::find_if(candidates.begin(), candidates.end(), [&](const TelephoneChip* chip) {
    return *part >= chip->lowestPart && *part <= chip->highestPart;
  });
  return it == candidates.end() ? nullptr : *it;
}

}  // namespace parlomax::usb
