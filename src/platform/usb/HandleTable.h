#pragma once

#include "platform/usb/DeviceLibrary.h"

#include <map>
#include <memory>
#include <mutex>

namespace parlomax::usb {

// The open devices of a backend by the handles given out for them. Safe to
// use from several threads; an item taken out stays alive for whoever still
// holds it, so a close never pulls a device from under a transfer.
template <typename Item>
class HandleTable {
 public:
  DeviceHandle Add(std::shared_ptr<Item> item) {
    std::lock_guard lock(mutex_);
    const DeviceHandle handle = next_++;
    if (next_ == 0) next_ = 1;  // 0 never names an open device
    items_[handle] = std::move(item);
    return handle;
  }
  std::shared_ptr<Item> Find(DeviceHandle handle) const {
    std::lock_guard lock(mutex_);
    const auto it = items_.find(handle);
    return it == items_.end() ? nullptr : it->second;
  }
  std::shared_ptr<Item> Take(DeviceHandle handle) {
    std::lock_guard lock(mutex_);
    const auto it = items_.find(handle);
    if (it == items_.end()) return nullptr;
    auto item = std::move(it->second);
    items_.erase(it);
    return item;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    items_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::map<DeviceHandle, std::shared_ptr<Item>> items_;
  DeviceHandle next_ = 1;
};

}  // namespace parlomax::usb
