#pragma once

#include "platform/usb/DeviceLibrary.h"
#include "platform/usb/HandleTable.h"
#include "platform/usb/UsbDiscovery.h"
#include "platform/usb/UsbOpenReport.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct libusb_context;

namespace parlomax::usb {

class OpenedUsbTelephone;

// Telephones on the USB cable, through libusb: a vendor-specific interface 0
// with one bulk OUT pipe for the 8-byte commands and one bulk IN pipe for
// the replies, read as a stream of bytes. Either kind of chip a telephone
// may carry at its IDs is spoken (TelephoneChips); a chip that does not say
// which it is gets the opens of every kind, and a STALL is never a failure.
//
// A read returns exactly the size asked for: a reply that comes short is
// waited for until the read time-out, and the read then fails. No byte of
// one command's reply is ever delivered to another command's read: a failed
// read drops what it gathered, and before the next command goes out the
// chip is flushed and the pipe read until it stays quiet (at most a read
// time-out), so a reply that comes late is thrown away. If it comes later
// still, after the next command, that command's reply is refused (the read
// fails) rather than mistaken for it. Bytes beyond a reply are dropped. A
// pipe the chip halts is cleared again, and that transfer fails.
class UsbDeviceLibrary final : public DeviceLibrary {
 public:
  UsbDeviceLibrary();
  ~UsbDeviceLibrary() override;

  UsbDeviceLibrary(const UsbDeviceLibrary&) = delete;
  UsbDeviceLibrary& operator=(const UsbDeviceLibrary&) = delete;

  Status DeviceCount(std::uint32_t& count) override;
  Status SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
  // Fails only when the telephone has gone, may not be opened by this user
  // (kAccessDenied), its interface cannot be claimed, or it has no bulk pair.
  Status Open(std::uint32_t deviceNumber, DeviceHandle& handle) override;
  Status Close(DeviceHandle handle) override;
  Status Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t size,
              std::uint32_t& bytesRead) override;
  Status Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t size,
               std::uint32_t& bytesWritten) override;
  // The kind's flush, whatever the selectors say: the program always wants
  // both directions dropped.
  Status Flush(DeviceHandle handle, std::uint8_t transmit, std::uint8_t receive) override;
  DeviceSource Describe(DeviceHandle handle) override;

  // For a person finding out why a telephone does not answer: the devices
  // at a telephone's IDs as the bus shows them, and an open that tells how
  // each step went.
  std::vector<AttachedUsbTelephone> Attached();
  Status OpenAndReport(std::uint32_t deviceNumber, DeviceHandle& handle, OpenReport& report);

 private:
  libusb_context* context_ = nullptr;
  std::atomic<std::uint32_t> readTimeoutMs_{5000};
  std::atomic<std::uint32_t> writeTimeoutMs_{5000};
  HandleTable<OpenedUsbTelephone> open_;  // transfers run outside its lock
};

}  // namespace parlomax::usb
