#pragma once

#include "phone/TelephoneModel.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace parlomax::testing {

// A telephone on an emulated USB bus: umockdev shows libusb a device with the
// telephone's IDs and descriptors, and this class answers the usbfs requests
// libusb makes of it from a TelephoneModel — bulk OUT commands, bulk IN
// replies as a byte stream, and the chip's vendor control requests.
// Works only inside umockdev-wrapper.
class UsbTelephone {
 public:
  explicit UsbTelephone(std::shared_ptr<phone::TelephoneModel> model);
  ~UsbTelephone();

  UsbTelephone(const UsbTelephone&) = delete;
  UsbTelephone& operator=(const UsbTelephone&) = delete;

  // The vendor control requests seen: (request, value).
  std::vector<std::pair<std::uint8_t, std::uint16_t>> ControlRequests();
  // Every bulk OUT transfer seen.
  std::vector<std::vector<std::uint8_t>> Commands();
  // Commands with this code get no reply at all.
  void IgnoreCommand(std::uint8_t code);
  // The next reply carries only its first `bytes` bytes.
  void ShortenNextReply(std::size_t bytes);
  // The `occurrence`-th command (from 1) with this code is answered `delay`
  // late; the replies after it come in order behind it.
  void DelayReply(std::uint8_t code, unsigned occurrence, std::chrono::milliseconds delay);
  // Pulls the cable: the device leaves the bus and fails every request.
  void Unplug();

  // For the request handler.
  bool HandleIoctl(UMockdevIoctlClient* client);

 private:
  struct Urb {
    UMockdevIoctlData* data;  // the URB as libusb submitted it
    std::uint8_t endpoint;
    int type;
    std::size_t length;
    std::vector<std::uint8_t> reply;
    int status = 0;
  };
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void FillWaitingReads();  // with mutex_ held
  void ReleaseDueReplies();  // with mutex_ held
  struct Reply {
    std::chrono::steady_clock::time_point due;
    std::vector<std::uint8_t> bytes;
  };
  struct Delay {
    std::uint8_t code;
    unsigned occurrence;
    std::chrono::milliseconds delay;
  };

  std::shared_ptr<phone::TelephoneModel> model_;
  UMockdevTestbed* testbed_ = nullptr;
  UMockdevIoctlBase* handler_ = nullptr;

  std::mutex mutex_;
  bool unplugged_ = false;
  std::deque<std::uint8_t> fifo_;  // reply bytes not yet read
  std::deque<Reply> inFlight_;     // replies the telephone has yet to send
  std::vector<Delay> delays_;
  unsigned seen_[256] = {};
  std::deque<Urb> waiting_;        // IN transfers waiting for bytes
  std::deque<Urb> done_;           // transfers ready to be reaped
  std::vector<std::pair<std::uint8_t, std::uint16_t>> controls_;
  std::vector<std::vector<std::uint8_t>> commands_;
  std::vector<std::uint8_t> ignored_;
  std::optional<std::size_t> shortNext_;
};

}  // namespace parlomax::testing
