#include "platform/usb/CombinedDeviceLibrary.h"

namespace parlomax::usb {

void CombinedDeviceLibrary::AddBackend(std::unique_ptr<DeviceLibrary> backend) {
  backends_.push_back(std::move(backend));
}

Status CombinedDeviceLibrary::DeviceCount(std::uint32_t& count) {
  count = 0;
  for (auto& backend : backends_) {
    std::uint32_t n = 0;
    if (backend->DeviceCount(n) == kSuccess) count += n;
  }
  return kSuccess;
}

Status CombinedDeviceLibrary::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
  Status result = kSuccess;
  for (auto& backend : backends_) {
    if (backend->SetTimeouts(readMs, writeMs) != kSuccess) result = kFailure;
  }
  return result;
}

Status CombinedDeviceLibrary::Open(std::uint32_t deviceNumber, DeviceHandle& handle) {
  for (auto& backend : backends_) {
    std::uint32_t n = 0;
    if (backend->DeviceCount(n) != kSuccess) n = 0;
    if (deviceNumber >= n) {
      deviceNumber -= n;
      continue;
    }
    DeviceHandle inner = 0;
    const Status status = backend->Open(deviceNumber, inner);
    if (status != kSuccess) return status;
    handle = routes_.Add(std::make_shared<Route>(Route{backend.get(), inner}));
    return kSuccess;
  }
  return kNoDevice;
}

Status CombinedDeviceLibrary::Close(DeviceHandle handle) {
  const auto route = routes_.Take(handle);
  if (!route) return kInvalidHandle;
  return route->backend->Close(route->inner);
}

Status CombinedDeviceLibrary::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t size,
                                   std::uint32_t& bytesRead) {
  bytesRead = 0;
  const auto route = routes_.Find(handle);
  if (!route) return kInvalidHandle;
  return route->backend->Read(route->inner, buffer, size, bytesRead);
}

Status CombinedDeviceLibrary::Write(DeviceHandle handle, const std::uint8_t* buffer,
                                    std::uint32_t size, std::uint32_t& bytesWritten) {
  bytesWritten = 0;
  const auto route = routes_.Find(handle);
  if (!route) return kInvalidHandle;
  return route->backend->Write(route->inner, buffer, size, bytesWritten);
}

Status CombinedDeviceLibrary::Flush(DeviceHandle handle, std::uint8_t transmit,
                                    std::uint8_t receive) {
  const auto route = routes_.Find(handle);
  if (!route) return kInvalidHandle;
  return route->backend->Flush(route->inner, transmit, receive);
}

DeviceSource CombinedDeviceLibrary::Describe(DeviceHandle handle) {
  const auto route = routes_.Find(handle);
  return route ? route->backend->Describe(route->inner) : DeviceSource{};
}

}  // namespace parlomax::usb
