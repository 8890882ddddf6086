#include "platform/usb/UsbDiscovery.h"

#include "platform/usb/TelephoneChips.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <tuple>

namespace parlomax::usb {
namespace {

bool HasTelephoneIds(libusb_device* device, libusb_device_descriptor& descriptor) {
  return libusb_get_device_descriptor(device, &descriptor) == 0 &&
         !ChipsWithIds(descriptor.idVendor, descriptor.idProduct).empty();
}

}  // namespace

bool UsbPlace::operator<(const UsbPlace& other) const {
  return std::tie(bus, ports, address) < std::tie(other.bus, other.ports, other.address);
}

UsbPlace PlaceOf(libusb_device* device) {
  UsbPlace place;
  place.bus = libusb_get_bus_number(device);
  std::array<std::uint8_t, 8> ports{};
  const int n = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
  if (n > 0) place.ports.assign(ports.begin(), ports.begin() + n);
  place.address = libusb_get_device_address(device);
  return place;
}

std::string PlaceText(const UsbPlace& place) {
  std::string text = std::to_string(place.bus);
  text += '-';
  for (std::size_t i = 0; i < place.ports.size(); ++i) {
    if (i > 0) text += '.';
    text += std::to_string(place.ports[i]);
  }
  if (place.ports.empty()) text += '0';
  return text;
}

std::string KernelDriverOfFirstInterface(const UsbPlace& place) {
  // The first configuration's first interface: "1-1.4:1.0".
  std::error_code ec;
  const auto driver = std::filesystem::read_symlink(
      std::filesystem::path("/sys/bus/usb/devices") / (PlaceText(place) + ":1.0") / "driver", ec);
  return ec ? std::string() : driver.filename().string();
}

TelephoneList::TelephoneList(libusb_context* context) {
  if (context == nullptr) return;
  const ssize_t n = libusb_get_device_list(context, &all_);
  for (ssize_t i = 0; i < n; ++i) {
    libusb_device_descriptor descriptor{};
    if (HasTelephoneIds(all_[i], descriptor)) telephones_.push_back(all_[i]);
  }
  std::sort(telephones_.begin(), telephones_.end(),
            [](libusb_device* a, libusb_device* b) { return PlaceOf(a) < PlaceOf(b); });
}

TelephoneList::~TelephoneList() {
  if (all_) libusb_free_device_list(all_, 1);
}

std::vector<AttachedUsbTelephone> TelephoneList::Describe() const {
  std::vector<AttachedUsbTelephone> attached;
  for (libusb_device* device : telephones_) {
    libusb_device_descriptor descriptor{};
    libusb_get_device_descriptor(device, &descriptor);
    AttachedUsbTelephone t;
    t.place = PlaceOf(device);
    t.vendorId = descriptor.idVendor;
    t.productId = descriptor.idProduct;
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", unsigned{t.place.bus}, unsigned{t.place.address});
    t.deviceNode = node;
    attached.push_back(std::move(t));
  }
  return attached;
}

}  // namespace parlomax::usb
