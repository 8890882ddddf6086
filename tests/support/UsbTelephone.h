#pragma once

#include "phone/TelephoneModel.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace parlomax::testing {

// Whether this test runs inside umockdev-wrapper, whose emulated USB bus the
// telephone sits on.
inline bool InsideUmockdev() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::strstr(preload, "umockdev");
}

// Which chip the telephone carries behind its IDs, and how it takes the
// chip maker's part-number request.
struct UsbChip {
  enum class Kind {
    Bridge,    // the USB-to-UART bridge in direct-access mode
    Firmware,  // a microcontroller running the maker's direct-access firmware
  };
  Kind kind = Kind::Bridge;
  // STALLs the part-number request too, as if it were neither kind.
  bool stallsPartNumber = false;
};

// Every way a telephone's chip may meet the host, for tests that run
// against each; named for the test's name, printed for its parameter.
inline const UsbChip kEveryUsbChip[] = {
    {UsbChip::Kind::Bridge, false}, {UsbChip::Kind::Firmware, false},
    {UsbChip::Kind::Firmware, true}, {UsbChip::Kind::Bridge, true}};
template <typename Info>
std::string UsbChipName(const Info& info) {
  return std::string(info.param.kind == UsbChip::Kind::Bridge ? "Bridge" : "Firmware") +
         (info.param.stallsPartNumber ? "StallingThePartNumber" : "");
}
inline void PrintTo(const UsbChip& chip, std::ostream* out) {
  *out << (chip.kind == UsbChip::Kind::Bridge ? "bridge" : "firmware")
       << (chip.stallsPartNumber ? ", stalling the part number" : "");
}

// One command and its reply through a device library; the reply is cut to
// what arrived.
template <typename Library, typename Handle>
int ExchangeWith(Library& library, Handle handle, std::vector<std::uint8_t> command, std::uint32_t size,
                 std::vector<std::uint8_t>& reply) {
  std::uint32_t n = 0;
  if (const int s = library.Write(handle, command.data(), 8, n); s != 0) return s;
  reply.assign(size, 0);
  const int s = library.Read(handle, reply.data(), size, n);
  reply.resize(n);
  return s;
}

// A telephone on an emulated USB bus: umockdev shows libusb a device with the
// telephone's IDs and descriptors, and this class answers the usbfs requests
// libusb makes of it from a TelephoneModel — bulk OUT commands, bulk IN
// replies as a byte stream, and the chip's vendor control requests as that
// kind of chip answers them: its own requests taken, a STALL for every
// other, and no data either way until it has been opened.
// Works only inside umockdev-wrapper.
class UsbTelephone {
 public:
  explicit UsbTelephone(std::shared_ptr<phone::TelephoneModel> model, UsbChip chip = {});
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
  // The next bulk transfer on `endpoint` is STALLed, and so is every one
  // after it until the host clears the halt.
  void StallEndpoint(std::uint8_t endpoint);
  // The endpoints whose halt the host cleared, in order.
  std::vector<std::uint8_t> ClearedHalts();
  // Another program holds the interface: every claim of it is refused busy.
  void HoldElsewhere();
  // Whether the chip is open now: it takes commands and sends replies.
  bool IsOpen();

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
  // A vendor request as this kind of chip takes it; the URB's status and
  // reply are set. With mutex_ held.
  void Control(const std::uint8_t* setup, Urb& urb);
  void Command(const std::vector<std::uint8_t>& command);  // with mutex_ held
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
  const UsbChip chip_;
  UMockdevTestbed* testbed_ = nullptr;
  UMockdevIoctlBase* handler_ = nullptr;

  std::mutex mutex_;
  bool unplugged_ = false;
  std::deque<std::uint8_t> fifo_;  // reply bytes not yet read
  std::deque<Reply> inFlight_;     // replies the telephone has yet to send
  std::vector<Delay> delays_;
  unsigned seen_[256] = {};
  bool open_ = false;
  bool heldElsewhere_ = false;
  std::vector<std::uint8_t> halted_;       // endpoints STALLing until cleared
  std::vector<std::uint8_t> toStall_;      // endpoints whose next transfer halts them
  std::vector<std::uint8_t> clearedHalts_;
  std::deque<Urb> waiting_;        // IN transfers waiting for bytes, OUT ones waiting for the open
  std::deque<Urb> done_;           // transfers ready to be reaped
  std::vector<std::pair<std::uint8_t, std::uint16_t>> controls_;
  std::vector<std::vector<std::uint8_t>> commands_;
  std::vector<std::uint8_t> ignored_;
  std::optional<std::size_t> shortNext_;
};

}  // namespace parlomax::testing
