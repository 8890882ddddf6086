#pragma once

#include "platform/usb/DeviceLibrary.h"
#include "platform/usb/ReplySettling.h"
#include "platform/usb/TelephoneChips.h"
#include "platform/usb/UsbOpenReport.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

struct libusb_device;
struct libusb_device_handle;

namespace parlomax::usb {

// One telephone opened on the cable: its interface claimed, its kind of chip
// known (or, when no kind answered, every kind at its IDs), its transfers
// serialised. Bytes that arrived beyond what a read asked for wait for the
// next read of the same reply.
class OpenedUsbTelephone {
 public:
  OpenedUsbTelephone() = default;
  ~OpenedUsbTelephone();
  OpenedUsbTelephone(const OpenedUsbTelephone&) = delete;
  OpenedUsbTelephone& operator=(const OpenedUsbTelephone&) = delete;

  // Opens `device`, claims its interface, finds its bulk pair and its kind,
  // sends that kind's open and clears both pipes of a halt. The report says
  // how each step went; its status is kSuccess only when the telephone may
  // now be used.
  OpenReport Open(libusb_device* device);
  // The kind's close, and the interface released.
  void Close();

  // Before a command follows a failed read, the pipe is let settle for at
  // most `settleMs`.
  Status Write(const std::uint8_t* buffer, std::uint32_t size, std::uint32_t timeoutMs, std::uint32_t settleMs,
               std::uint32_t& written);
  Status Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t timeoutMs, std::uint32_t& bytesRead);
  // The kind's flush, and what the host holds dropped.
  Status Flush();

  std::mutex io;  // held by each operation above

  // Set once by Open(), before anyone else can reach the telephone.
  const DeviceSource& Source() const { return source_; }

 private:
  using Requests = std::span<const VendorRequest> TelephoneChip::*;
  // Every request of that sort, for each kind this telephone may be; false
  // only when the telephone has gone.
  bool SendEach(Requests which, std::vector<std::pair<VendorRequest, RequestAnswer>>* answers = nullptr);
  // Asks the part number and keeps the kind it names; false when the
  // telephone has gone.
  bool Identify(OpenReport& report);
  bool FindBulkPair(libusb_device* device);
  int ReadPackets(std::size_t bytes, long long timeoutMs, std::vector<std::uint8_t>& into);
  bool SomethingArrives(std::chrono::milliseconds window);
  void Settle(std::chrono::milliseconds limit);
  Status Fail(Status status);
  // A pipe the chip halted (a STALL) is cleared, so that the next transfer
  // finds it working; the transfer itself has failed.
  int Unstalled(int result, std::uint8_t endpoint);

  libusb_device_handle* handle_ = nullptr;
  std::vector<const TelephoneChip*> chips_;
  std::uint8_t endpointIn_ = 0;
  std::uint8_t endpointOut_ = 0;
  std::uint16_t packetSize_ = 64;
  bool claimed_ = false;
  std::vector<std::uint8_t> pending_;  // what the read under way has gathered
  ReplySettling settling_;
  DeviceSource source_;
};

}  // namespace parlomax::usb
