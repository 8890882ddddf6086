#pragma once

#include "phone/TelephoneModel.h"
#include "platform/usb/DeviceLibrary.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace parlomax::phone {

// One call the program made on the library, as the library saw it.
struct LibraryCall {
  enum class Op { Count, SetTimeouts, Open, Close, Read, Write, Flush };

  LibraryCall(Op op, usb::DeviceHandle handle = 0, std::vector<std::uint8_t> bytes = {},
              std::uint32_t size = 0)
      : op(op), handle(handle), bytes(std::move(bytes)), size(size) {}

  Op op;
  usb::DeviceHandle handle = 0;
  std::vector<std::uint8_t> bytes;  // Write: what went out
  std::uint32_t size = 0;           // Read: bytes asked for; SetTimeouts: read time-out

  bool operator==(const LibraryCall&) const = default;
};

// A telephone on a cable, without a cable: the device library answered by a
// TelephoneModel in the same process, with switches that make it misbehave
// the way a real link does, and a record of every call made on it.
//
// A reply is there as soon as its command has been written, and every write
// drops what is left of the reply before, so no byte of one command's reply
// can reach another command's read; a shortened reply is delivered short.
class InProcessDeviceLibrary final : public usb::DeviceLibrary {
 public:
  explicit InProcessDeviceLibrary(std::shared_ptr<TelephoneModel> model);

  TelephoneModel& Model() { return *model_; }

  // Pulling the cable: no device is counted, and every handle opened so far
  // stays dead even after PlugIn().
  void Unplug();
  void PlugIn();
  void FailNextWrite();
  void FailNextRead();
  // The next reply delivers only its first `bytes` bytes, with success.
  void ShortenNextReply(std::uint32_t bytes) { ShortenReplyAfter(0, bytes); }
  // The same for the reply to the (n+1)-th command from now.
  void ShortenReplyAfter(unsigned commands, std::uint32_t bytes);
  // Every write of a command with this code fails from now on.
  void FailCommand(std::uint8_t code);
  // The cable comes out just before the (n+1)-th write from now.
  void UnplugAfterWrites(unsigned writes);
  // The (n+1)-th read from now fails.
  void FailReadAfter(unsigned reads);
  // Every read takes this long before it answers, like a slow telephone.
  void SlowReadsBy(std::chrono::milliseconds delay);
  // Every open fails with this status (kAccessDenied: a telephone this user
  // may not open); kSuccess lets opens through again.
  void RefuseOpensWith(usb::Status status);

  std::vector<LibraryCall> Calls() const;
  // The calls other than the device count, which the connection watch makes
  // all the time and which rarely matter to a test.
  std::vector<LibraryCall> CallsBesidesCount() const;
  void ClearCalls();
  std::uint32_t ReadTimeoutMs() const;
  std::uint32_t WriteTimeoutMs() const;

  usb::Status DeviceCount(std::uint32_t& count) override;
  usb::Status SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
  usb::Status Open(std::uint32_t deviceNumber, usb::DeviceHandle& handle) override;
  usb::Status Close(usb::DeviceHandle handle) override;
  usb::Status Read(usb::DeviceHandle handle, std::uint8_t* buffer, std::uint32_t size,
                   std::uint32_t& bytesRead) override;
  usb::Status Write(usb::DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t size,
                    std::uint32_t& bytesWritten) override;
  usb::Status Flush(usb::DeviceHandle handle, std::uint8_t transmit,
                    std::uint8_t receive) override;

 private:
  bool Usable(usb::DeviceHandle handle) const;  // with mutex_ held

  std::shared_ptr<TelephoneModel> model_;
  mutable std::mutex mutex_;
  bool plugged_ = true;
  std::set<usb::DeviceHandle> live_;
  // Handles start far from 0 so that a caller that ignores the handle it was
  // given is caught.
  usb::DeviceHandle nextHandle_ = 0x5100;
  std::uint32_t readTimeoutMs_ = 0;
  std::uint32_t writeTimeoutMs_ = 0;
  std::vector<std::uint8_t> pending_;  // the unread part of the last reply
  bool failNextWrite_ = false;
  bool failNextRead_ = false;
  usb::Status openRefusal_ = usb::kSuccess;
  std::optional<std::uint32_t> shortReply_;
  unsigned commandsBeforeShortReply_ = 0;
  std::set<std::uint8_t> failingCommands_;
  std::optional<unsigned> writesBeforeUnplug_;
  std::optional<unsigned> readsBeforeFailure_;
  std::chrono::milliseconds readDelay_{0};
  std::vector<LibraryCall> calls_;
};

}  // namespace parlomax::phone
