#pragma once

#include <cstdint>
#include <string>

namespace parlomax::usb {

// Result of every operation of the device library: 0 is success, anything
// else a failure whose value only the backend understands.
using Status = std::int32_t;
inline constexpr Status kSuccess = 0;
inline constexpr Status kFailure = 1;
inline constexpr Status kNoDevice = 2;
inline constexpr Status kTimedOut = 3;
inline constexpr Status kInvalidHandle = 4;
// The telephone is there, but this user may not open it.
inline constexpr Status kAccessDenied = 5;
// The telephone is there, but another program holds it.
inline constexpr Status kBusy = 6;

// Opaque handle of an open telephone; 0 never names an open device.
using DeviceHandle = std::uint32_t;

// Where an open telephone sits and what speaks for it, as a person reads
// them: its place on the bus ("1-2.3") and its kind of chip.
struct DeviceSource {
  std::string place;
  std::string chip;
};

// The seven operations the program needs from whatever reaches the telephone
// (libusb, the emulator socket, or an in-process model in tests).
//
// Implementations must allow DeviceCount() from one thread while a Read() or
// Write() blocks on another: the connection watch keeps counting while a
// transfer job waits for a reply.
class DeviceLibrary {
 public:
  virtual ~DeviceLibrary() = default;

  virtual Status DeviceCount(std::uint32_t& count) = 0;
  virtual Status SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) = 0;
  virtual Status Open(std::uint32_t deviceNumber, DeviceHandle& handle) = 0;
  virtual Status Close(DeviceHandle handle) = 0;
  // `bytesRead` is what truly arrived: a reply shorter than `size` may
  // succeed, and its caller must see that it is short.
  virtual Status Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t size,
                      std::uint32_t& bytesRead) = 0;
  virtual Status Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t size,
                       std::uint32_t& bytesWritten) = 0;
  // The two selectors say which of the chip's buffers to purge; callers pass 0, 0.
  virtual Status Flush(DeviceHandle handle, std::uint8_t transmit, std::uint8_t receive) = 0;

  // Beside the seven: what is known of where an open telephone is, for the
  // records a copy leaves. Empty where the backend cannot tell.
  virtual DeviceSource Describe(DeviceHandle) { return {}; }
};

}  // namespace parlomax::usb
