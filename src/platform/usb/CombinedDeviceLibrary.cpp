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
    std::lock_guard lock(mutex_);
    handle = nextHandle_++;
    if (nextHandle_ == 0) nextHandle_ = 1;
    routes_[handle] = Route{backend.get(), inner};
    return kSuccess;
  }
  return kNoDevice;
}

bool CombinedDeviceLibrary::Find(DeviceHandle handle, Route& route) {
  std::lock_guard lock(mutex_);
  const auto it = routes_.find(handle);
  if (it == routes_.end()) return false;
  route = it->second;
  return true;
}

Status CombinedDeviceLibrary::Close(DeviceHandle handle) {
  Route route;
  {
    std::lock_guard lock(mutex_);
    const auto it = routes_.find(handle);
    if (it == routes_.end()) return kInvalidHandle;
    route = it->second;
    routes_.erase(it);
  }
  return route.backend->Close(route.inner);
}

Status CombinedDeviceLibrary::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t size,
                                   std::uint32_t& bytesRead) {
  bytesRead = 0;
  Route route;
  if (!Find(handle, route)) return kInvalidHandle;
  return route.backend->Read(route.inner, buffer, size, bytesRead);
}

Status CombinedDeviceLibrary::Write(DeviceHandle handle, const std::uint8_t* buffer,
                                    std::uint32_t size, std::uint32_t& bytesWritten) {
  bytesWritten = 0;
  Route route;
  if (!Find(handle, route)) return kInvalidHandle;
  return route.backend->Write(route.inner, buffer, size, bytesWritten);
}

Status CombinedDeviceLibrary::Flush(DeviceHandle handle, std::uint8_t transmit,
                                    std::uint8_t receive) {
  Route route;
  if (!Find(handle, route)) return kInvalidHandle;
  return route.backend->Flush(route.inner, transmit, receive);
}

}  // namespace parlomax::usb
