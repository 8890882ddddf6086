#pragma once

#include "platform/usb/DeviceLibrary.h"
#include "platform/usb/HandleTable.h"

#include <atomic>
#include <cstdint>
#include <memory>

struct libusb_context;

namespace parlomax::usb {

// How a telephone's USB chip is recognised and driven: its IDs, and the
// vendor requests that enable and disable its interface and purge its
// buffers. One line per chip or ID in kTelephoneChips.
struct BridgeChip {
  std::uint16_t vendorId;
  std::uint16_t productId;
  std::uint8_t requestType;       // vendor request to the interface, host to device
  std::uint8_t enableRequest;     // on open (value enableValue) and close (value disableValue)
  std::uint16_t enableValue;
  std::uint16_t disableValue;
  std::uint8_t purgeRequest;      // on flush
  std::uint16_t purgeValue;
};

// Telephones on the USB cable, through libusb: a vendor-specific interface 0
// with one bulk OUT pipe for the 8-byte commands and one bulk IN pipe for
// the replies, read as a stream of bytes.
//
// A read returns exactly the size asked for: a reply that comes short is
// waited for until the read time-out, and the read then fails. No byte of
// one command's reply is ever delivered to another command's read: a failed
// read drops what it gathered, and before the next command goes out the
// chip is purged and the pipe read until it stays quiet (at most a read
// time-out), so a reply that comes late is thrown away. If it comes later
// still, after the next command, that command's reply is refused (the read
// fails) rather than mistaken for it. Bytes beyond a reply are dropped.
class UsbDeviceLibrary final : public DeviceLibrary {
 public:
  UsbDeviceLibrary();
  ~UsbDeviceLibrary() override;

  UsbDeviceLibrary(const UsbDeviceLibrary&) = delete;
  UsbDeviceLibrary& operator=(const UsbDeviceLibrary&) = delete;

  Status DeviceCount(std::uint32_t& count) override;
  Status SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
  Status Open(std::uint32_t deviceNumber, DeviceHandle& handle) override;
  Status Close(DeviceHandle handle) override;
  Status Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t size,
              std::uint32_t& bytesRead) override;
  Status Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t size,
               std::uint32_t& bytesWritten) override;
  Status Flush(DeviceHandle handle, std::uint8_t transmit, std::uint8_t receive) override;

 private:
  struct Telephone;

  libusb_context* context_ = nullptr;
  std::atomic<std::uint32_t> readTimeoutMs_{5000};
  std::atomic<std::uint32_t> writeTimeoutMs_{5000};
  HandleTable<Telephone> open_;  // transfers run outside its lock
};

}  // namespace parlomax::usb
