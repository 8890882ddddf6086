#pragma once

#include "platform/usb/DeviceLibrary.h"
#include "platform/usb/HandleTable.h"

#include <memory>
#include <vector>

namespace parlomax::usb {

// Several backends seen as one library: device numbers run through the
// backends in the order they were added (real telephones first, then
// emulators), and each open gets a handle of its own that remembers which
// backend and which inner handle it stands for.
class CombinedDeviceLibrary final : public DeviceLibrary {
 public:
  void AddBackend(std::unique_ptr<DeviceLibrary> backend);

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
  struct Route {
    DeviceLibrary* backend = nullptr;
    DeviceHandle inner = 0;
  };

  // Backends are added before first use and never removed, so they are read
  // without a lock; the table's lock is never held across a backend call.
  std::vector<std::unique_ptr<DeviceLibrary>> backends_;
  HandleTable<Route> routes_;
};

}  // namespace parlomax::usb
