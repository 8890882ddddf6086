#pragma once

#include "cli/ExitStatus.h"
#include "cli/StatusLine.h"

#include <cstdint>
#include <optional>
#include <string>

namespace parlomax::usb {
class UsbDeviceLibrary;
}

namespace parlomax::cli {

// The USB place a --usb names: a place as the doctor prints it
// ("1-1.4"), or the device's sysfs path, with or without its leading "/"
// (/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1.4), whose last part is the
// place as the kernel names it. Nothing when it is neither.
std::optional<std::string> PlaceNamed(const std::string& typed);

// The device number (from 1) of the telephone at the place `typed` names:
// USB telephones come first, in the order of their places. Says why not
// and gives the status to end with when no telephone is there.
struct TelephoneAt {
  std::uint32_t number = 0;
  ExitStatus refused = kDone;
};
TelephoneAt FindTelephoneAt(usb::UsbDeviceLibrary* usb, const std::string& typed, StatusLine& out);

}  // namespace parlomax::cli
