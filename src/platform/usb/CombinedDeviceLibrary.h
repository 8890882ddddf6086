#pragma once

#include "platform/usb/DeviceLibrary.h"

#include <map>
#include <memory>
#include <mutex>
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

 private:
  struct Route {
    DeviceLibrary* backend = nullptr;
    DeviceHandle inner = 0;
  };
  bool Find(DeviceHandle handle, Route& route);

  // Backends are added before first use and never removed, so they are read
  // without the lock; the lock guards only the handle table, and is never
  // held across a backend call that may block.
  std::vector<std::unique_ptr<DeviceLibrary>> backends_;
  std::mutex mutex_;
  std::map<DeviceHandle, Route> routes_;
  DeviceHandle nextHandle_ = 1;
};

}  // namespace parlomax::usb
