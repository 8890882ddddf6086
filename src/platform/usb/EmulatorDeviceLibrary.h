#pragma once

#include "platform/usb/DeviceLibrary.h"
#include "platform/usb/EmulatorFolder.h"
#include "platform/usb/HandleTable.h"
#include "platform/usb/ReplySettling.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>

namespace parlomax::usb {

// Telephones played by emulator programs on this machine: every running
// emulator counts as a telephone on the cable. Each command goes out as one
// message on the emulator's socket and each reply comes back as one, so a
// short reply arrives short, as on a USB bulk pipe, and the caller reads the
// missing bytes as zeros.
//
// No byte of one command's reply is ever delivered to another command's
// read: a reply longer than asked for is refused; after a failed read, the
// next command waits until the link stays quiet (at most a read time-out)
// and what arrives meanwhile is thrown away; a late reply that comes after
// the next command has gone out makes that command's read fail instead of
// being taken for its reply.
//
// As on the cable, a telephone is one program's at a time: Open() gives
// kBusy while another program holds it.
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
  DeviceSource Describe(DeviceHandle handle) override;

 private:
  struct Connection;
  // One reply message, waited for until `deadline`.
  static Status Receive(Connection& connection, std::uint8_t* buffer, std::uint32_t size,
                        std::chrono::steady_clock::time_point deadline, std::uint32_t& bytesRead);

  const std::filesystem::path folder_;
  std::atomic<std::uint32_t> readTimeoutMs_{5000};
  std::atomic<std::uint32_t> writeTimeoutMs_{5000};
  // Reads and writes run outside the table's lock, so that a count or
  // another handle never waits for a slow reply.
  HandleTable<Connection> connections_;
};

}  // namespace parlomax::usb
