#include "platform/usb/UsbDeviceLibrary.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <vector>

namespace parlomax::usb {
namespace {

// The telephone's chip: a USB-to-bulk bridge under the chip maker's default
// IDs. Its interface is enabled and disabled with a vendor request of value 1
// and 0, and purged with one that clears both directions. The udev rule in
// packaging/udev names the same IDs.
constexpr BridgeChip kTelephoneChips[] = {
    {0x10C4, 0xEA61, 0x41, 0x00, 0x0001, 0x0000, 0x12, 0x000F},
};

constexpr int kInterface = 0;
constexpr unsigned kControlTimeoutMs = 1000;

const BridgeChip* ChipOf(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != 0) return nullptr;
  for (const BridgeChip& chip : kTelephoneChips) {
    if (chip.vendorId == descriptor.idVendor && chip.productId == descriptor.idProduct) return &chip;
  }
  return nullptr;
}

// Where a device sits: its bus, then the ports on the way to it.
std::vector<std::uint8_t> Place(libusb_device* device) {
  std::vector<std::uint8_t> place{libusb_get_bus_number(device)};
  std::array<std::uint8_t, 8> ports{};
  const int n = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
  if (n > 0) place.insert(place.end(), ports.begin(), ports.begin() + n);
  place.push_back(libusb_get_device_address(device));
  return place;
}

Status StatusOf(int libusbError) {
  switch (libusbError) {
    case LIBUSB_SUCCESS:
      return kSuccess;
    case LIBUSB_ERROR_NO_DEVICE:
      return kNoDevice;
    case LIBUSB_ERROR_TIMEOUT:
      return kTimedOut;
    default:
      return kFailure;
  }
}

// The telephones attached now, in a stable order; each is referenced.
class TelephoneList {
 public:
  explicit TelephoneList(libusb_context* context) {
    if (context == nullptr) return;
    const ssize_t n = libusb_get_device_list(context, &all_);
    for (ssize_t i = 0; i < n; ++i) {
      if (ChipOf(all_[i])) telephones_.push_back(all_[i]);
    }
    std::sort(telephones_.begin(), telephones_.end(),
              [](libusb_device* a, libusb_device* b) { return Place(a) < Place(b); });
  }
  ~TelephoneList() {
    if (all_) libusb_free_device_list(all_, 1);
  }
  TelephoneList(const TelephoneList&) = delete;
  TelephoneList& operator=(const TelephoneList&) = delete;

  const std::vector<libusb_device*>& Telephones() const { return telephones_; }

 private:
  libusb_device** all_ = nullptr;
  std::vector<libusb_device*> telephones_;
};

}  // namespace

// One open telephone. Its transfers are serialised; bytes that arrived
// beyond what a read asked for wait for the next read.
struct UsbDeviceLibrary::Telephone {
  ~Telephone() {
    if (claimed) libusb_release_interface(handle, kInterface);
    if (handle) libusb_close(handle);
  }
  bool Control(std::uint8_t request, std::uint16_t value) {
    return libusb_control_transfer(handle, chip->requestType, request, value, kInterface, nullptr, 0,
                                   kControlTimeoutMs) >= 0;
  }

  libusb_device_handle* handle = nullptr;
  const BridgeChip* chip = nullptr;
  std::uint8_t endpointIn = 0;
  std::uint8_t endpointOut = 0;
  std::uint16_t packetSize = 64;
  bool claimed = false;
  std::vector<std::uint8_t> pending;
  std::mutex io;
};

UsbDeviceLibrary::UsbDeviceLibrary() {
  if (libusb_init(&context_) != 0) context_ = nullptr;  // no USB here: no telephone either
}

UsbDeviceLibrary::~UsbDeviceLibrary() {
  open_.Clear();
  if (context_) libusb_exit(context_);
}

Status UsbDeviceLibrary::DeviceCount(std::uint32_t& count) {
  count = static_cast<std::uint32_t>(TelephoneList(context_).Telephones().size());
  return kSuccess;
}

Status UsbDeviceLibrary::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
  readTimeoutMs_ = readMs;
  writeTimeoutMs_ = writeMs;
  return kSuccess;
}

Status UsbDeviceLibrary::Open(std::uint32_t deviceNumber, DeviceHandle& handle) {
  const TelephoneList list(context_);
  if (deviceNumber >= list.Telephones().size()) return kNoDevice;
  libusb_device* device = list.Telephones()[deviceNumber];
  auto telephone = std::make_shared<Telephone>();
  telephone->chip = ChipOf(device);
  if (const int r = libusb_open(device, &telephone->handle); r != 0) {
    telephone->handle = nullptr;
    return StatusOf(r);
  }
  libusb_set_auto_detach_kernel_driver(telephone->handle, 1);
  if (const int r = libusb_claim_interface(telephone->handle, kInterface); r != 0) return StatusOf(r);
  telephone->claimed = true;

  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0) return kFailure;
  for (int a = 0; a < config->interface[kInterface].num_altsetting && a < 1; ++a) {
    const libusb_interface_descriptor& setting = config->interface[kInterface].altsetting[a];
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& ep = setting.endpoint[e];
      if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
        telephone->endpointIn = ep.bEndpointAddress;
        telephone->packetSize = std::max<std::uint16_t>(ep.wMaxPacketSize & 0x7FF, 1);
      } else {
        telephone->endpointOut = ep.bEndpointAddress;
      }
    }
  }
  libusb_free_config_descriptor(config);
  if (telephone->endpointIn == 0 || telephone->endpointOut == 0) return kFailure;
  if (!telephone->Control(telephone->chip->enableRequest, telephone->chip->enableValue)) return kFailure;

  handle = open_.Add(std::move(telephone));
  return kSuccess;
}

Status UsbDeviceLibrary::Close(DeviceHandle handle) {
  const auto telephone = open_.Take(handle);
  if (!telephone) return kInvalidHandle;
  std::lock_guard io(telephone->io);
  telephone->Control(telephone->chip->enableRequest, telephone->chip->disableValue);
  if (telephone->claimed) libusb_release_interface(telephone->handle, kInterface);
  telephone->claimed = false;
  return kSuccess;  // the handle itself is closed with the last reference
}

Status UsbDeviceLibrary::Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t size,
                               std::uint32_t& bytesWritten) {
  bytesWritten = 0;
  const auto telephone = open_.Find(handle);
  if (!telephone) return kInvalidHandle;
  std::lock_guard io(telephone->io);
  int written = 0;
  const int r = libusb_bulk_transfer(telephone->handle, telephone->endpointOut,
                                     const_cast<std::uint8_t*>(buffer), static_cast<int>(size),
                                     &written, writeTimeoutMs_.load());
  bytesWritten = static_cast<std::uint32_t>(std::max(written, 0));
  if (r != 0) return StatusOf(r);
  return bytesWritten == size ? kSuccess : kFailure;
}

Status UsbDeviceLibrary::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t size,
                              std::uint32_t& bytesRead) {
  bytesRead = 0;
  const auto telephone = open_.Find(handle);
  if (!telephone) return kInvalidHandle;
  std::lock_guard io(telephone->io);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_.load());
  std::vector<std::uint8_t>& pending = telephone->pending;
  std::vector<std::uint8_t> packets;
  while (pending.size() < size) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return kTimedOut;
    // Whole packets only: a device may always send a full one, and the
    // bytes past what was asked for are kept for the next read.
    const std::size_t packet = telephone->packetSize;
    const std::size_t want = ((size - pending.size() + packet - 1) / packet) * packet;
    packets.resize(want);
    int got = 0;
    const int r = libusb_bulk_transfer(telephone->handle, telephone->endpointIn, packets.data(),
                                       static_cast<int>(want), &got, static_cast<unsigned>(left));
    if (got > 0) pending.insert(pending.end(), packets.begin(), packets.begin() + got);
    if (r != 0 && r != LIBUSB_ERROR_TIMEOUT) return StatusOf(r);
    if (r == LIBUSB_ERROR_TIMEOUT && pending.size() < size) return kTimedOut;
  }
  std::copy_n(pending.begin(), size, buffer);
  pending.erase(pending.begin(), pending.begin() + size);
  bytesRead = size;
  return kSuccess;
}

Status UsbDeviceLibrary::Flush(DeviceHandle handle, std::uint8_t, std::uint8_t) {
  const auto telephone = open_.Find(handle);
  if (!telephone) return kInvalidHandle;
  std::lock_guard io(telephone->io);
  const bool purged = telephone->Control(telephone->chip->purgeRequest, telephone->chip->purgeValue);
  telephone->pending.clear();
  return purged ? kSuccess : kFailure;
}

}  // namespace parlomax::usb
