#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct libusb_context;
struct libusb_device;

namespace parlomax::usb {

// Where a device sits on the buses: what a person needs to find it again.
struct UsbPlace {
  std::uint8_t bus = 0;
  std::vector<std::uint8_t> ports;  // from the root hub down
  std::uint8_t address = 0;
  bool operator<(const UsbPlace& other) const;
};

// A device with a telephone's IDs, as the bus shows it before anyone opens it.
struct AttachedUsbTelephone {
  UsbPlace place;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string deviceNode;  // /dev/bus/usb/BBB/DDD
};

// The telephones attached now, in a stable order (by place); each device is
// referenced for as long as the list lives.
class TelephoneList {
 public:
  explicit TelephoneList(libusb_context* context);
  ~TelephoneList();
  TelephoneList(const TelephoneList&) = delete;
  TelephoneList& operator=(const TelephoneList&) = delete;

  const std::vector<libusb_device*>& Devices() const { return telephones_; }
  std::vector<AttachedUsbTelephone> Describe() const;

 private:
  libusb_device** all_ = nullptr;
  std::vector<libusb_device*> telephones_;
};

UsbPlace PlaceOf(libusb_device* device);

// "1-1.4": the bus and ports as Linux names the device in sysfs and its logs.
std::string PlaceText(const UsbPlace& place);

// The kernel driver that holds the device's first interface (a serial
// driver, say), or "" when none does.
std::string KernelDriverOfFirstInterface(const UsbPlace& place);

}  // namespace parlomax::usb
