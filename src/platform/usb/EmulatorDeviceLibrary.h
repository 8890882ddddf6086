#pragma once

#include "platform/usb/DeviceLibrary.h"
#include "platform/usb/EmulatorFolder.h"
#include "platform/usb/HandleTable.h"

#include <atomic>
#include <filesystem>
#include <memory>

namespace parlomax::usb {

// Telephones played by emulator programs on this machine: every running
// emulator counts as a telephone on the cable. Each command goes out as one
// message on the emulator's socket and each reply comes back as one, so a
// short reply arrives short, as on a USB bulk pipe.
class EmulatorDeviceLibrary final : public DeviceLibrary {
 public:
  explicit EmulatorDeviceLibrary(std::filesystem::path folder = DefaultEmulatorFolder());
  ~EmulatorDeviceLibrary() override;

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
  struct Connection;

  const std::filesystem::path folder_;
  std::atomic<std::uint32_t> readTimeoutMs_{5000};
  std::atomic<std::uint32_t> writeTimeoutMs_{5000};
  // Reads and writes run outside the table's lock, so that a count or
  // another handle never waits for a slow reply.
  HandleTable<Connection> connections_;
};

}  // namespace parlomax::usb
