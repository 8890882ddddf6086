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
// How long the IN pipe must stay silent before whatever a failed exchange
// left on its way is taken to have all arrived.
constexpr std::chrono::milliseconds kQuietPeriod{300};

using Clock = std::chrono::steady_clock;

long long MillisecondsUntil(Clock::time_point deadline) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

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
// beyond what a read asked for wait for the next read of the same reply.
struct UsbDeviceLibrary::Telephone {
  ~Telephone() {
    if (claimed) libusb_release_interface(handle, kInterface);
    if (handle) libusb_close(handle);
  }
  bool Control(std::uint8_t request, std::uint16_t value) {
    return libusb_control_transfer(handle, chip->requestType, request, value, kInterface, nullptr, 0,
                                   kControlTimeoutMs) >= 0;
  }

  // Reads whole packets from the IN pipe for at most `timeoutMs`; the bytes
  // go to the end of `into`. Gives libusb's result.
  int ReadPackets(std::size_t bytes, long long timeoutMs, std::vector<std::uint8_t>& into) {
    const std::size_t want = std::max<std::size_t>((bytes + packetSize - 1) / packetSize, 1) * packetSize;
    std::vector<std::uint8_t> packets(want);
    int got = 0;
    const int r = libusb_bulk_transfer(handle, endpointIn, packets.data(), static_cast<int>(want), &got,
                                       static_cast<unsigned>(std::max<long long>(timeoutMs, 1)));
    if (got > 0) into.insert(into.end(), packets.begin(), packets.begin() + got);
    return r;
  }
  // True when anything arrives on the IN pipe within `window`.
  bool SomethingArrives(std::chrono::milliseconds window) {
    std::vector<std::uint8_t> scrap;
    ReadPackets(packetSize, window.count(), scrap);
    return !scrap.empty();
  }
  // After a failed read the telephone may still be sending that reply. The
  // chip's buffers are purged, then the pipe is read and thrown away until it
  // has been quiet for a while (never longer than a read may wait), so that
  // the next command's read starts with the next command's reply.
  void Settle(std::chrono::milliseconds limit) {
    Control(chip->purgeRequest, chip->purgeValue);
    pending.clear();
    const auto deadline = Clock::now() + limit;
    while (MillisecondsUntil(deadline) > 0) {
      std::vector<std::uint8_t> scrap;
      const long long wait = std::min<long long>(kQuietPeriod.count(), MillisecondsUntil(deadline));
      const int r = ReadPackets(packetSize, wait, scrap);
      if (scrap.empty() || (r != 0 && r != LIBUSB_ERROR_TIMEOUT)) break;
    }
    unsettled = false;
    checkNextReply = true;
  }
  // A failed read: nothing it gathered may reach another read.
  Status Fail(Status status) {
    pending.clear();
    unsettled = true;
    checkNextReply = false;
    return status;
  }

  libusb_device_handle* handle = nullptr;
  const BridgeChip* chip = nullptr;
  std::uint8_t endpointIn = 0;
  std::uint8_t endpointOut = 0;
  std::uint16_t packetSize = 64;
  bool claimed = false;
  std::vector<std::uint8_t> pending;  // what the read under way has gathered
  // A read failed; the next command waits until the pipe is quiet.
  bool unsettled = false;
  // The first reply after settling may still be the late one: it counts
  // only when nothing else follows it.
  bool checkNextReply = false;
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
  if (telephone->unsettled) telephone->Settle(std::chrono::milliseconds(readTimeoutMs_.load()));
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
  const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_.load());
  std::vector<std::uint8_t>& pending = telephone->pending;
  // A reply that stops short fails at the time-out; what did arrive is
  // counted all the same, so that nobody takes the shortfall for nothing.
  const auto shortOf = [&](Status status) {
    bytesRead = static_cast<std::uint32_t>(std::min<std::size_t>(pending.size(), size));
    return telephone->Fail(status);
  };
  while (pending.size() < size) {
    const long long left = MillisecondsUntil(deadline);
    if (left <= 0) return shortOf(kTimedOut);
    // Whole packets only: a device may always send a full one.
    const int r = telephone->ReadPackets(size - pending.size(), left, pending);
    if (r != 0 && r != LIBUSB_ERROR_TIMEOUT) return shortOf(StatusOf(r));
    if (r == LIBUSB_ERROR_TIMEOUT && pending.size() < size) return shortOf(kTimedOut);
  }
  if (telephone->checkNextReply) {
    // Bytes beyond this reply mean that what was read was the late reply of
    // the failed command and this command's own is still coming: refused.
    telephone->checkNextReply = false;
    if (pending.size() > size || telephone->SomethingArrives(kQuietPeriod)) {
      return telephone->Fail(kFailure);
    }
  }
  std::copy_n(pending.begin(), size, buffer);
  bytesRead = size;
  // More than the reply is nobody's reply: it is dropped, and the pipe is
  // let settle before the next command in case more of it is on its way.
  if (pending.size() > size) telephone->unsettled = true;
  pending.clear();
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
