#include "phone/InProcessDeviceLibrary.h"

#include <algorithm>
#include <array>
#include <thread>

namespace parlomax::phone {

using Op = LibraryCall::Op;

InProcessDeviceLibrary::InProcessDeviceLibrary(std::shared_ptr<TelephoneModel> model)
    : model_(std::move(model)) {}

void InProcessDeviceLibrary::Unplug() {
  std::lock_guard lock(mutex_);
  plugged_ = false;
  live_.clear();
  pending_.clear();
}

void InProcessDeviceLibrary::PlugIn() {
  std::lock_guard lock(mutex_);
  plugged_ = true;
}

void InProcessDeviceLibrary::FailNextWrite() {
  std::lock_guard lock(mutex_);
  failNextWrite_ = true;
}

void InProcessDeviceLibrary::FailNextRead() {
  std::lock_guard lock(mutex_);
  failNextRead_ = true;
}

void InProcessDeviceLibrary::ShortenReplyAfter(unsigned commands, std::uint32_t bytes) {
  std::lock_guard lock(mutex_);
  commandsBeforeShortReply_ = commands;
  shortReply_ = bytes;
}

void InProcessDeviceLibrary::FailCommand(std::uint8_t code) {
  std::lock_guard lock(mutex_);
  failingCommands_.insert(code);
}

void InProcessDeviceLibrary::UnplugAfterWrites(unsigned writes) {
  std::lock_guard lock(mutex_);
  writesBeforeUnplug_ = writes;
}

void InProcessDeviceLibrary::FailReadAfter(unsigned reads) {
  std::lock_guard lock(mutex_);
  readsBeforeFailure_ = reads;
}

void InProcessDeviceLibrary::RefuseOpensWith(usb::Status status) {
  std::lock_guard lock(mutex_);
  openRefusal_ = status;
}

void InProcessDeviceLibrary::SlowReadsBy(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  readDelay_ = delay;
}

std::vector<LibraryCall> InProcessDeviceLibrary::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<LibraryCall> InProcessDeviceLibrary::CallsBesidesCount() const {
  std::lock_guard lock(mutex_);
  std::vector<LibraryCall> calls;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(calls),
               [](const LibraryCall& c) { return c.op != Op::Count; });
  return calls;
}

void InProcessDeviceLibrary::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::uint32_t InProcessDeviceLibrary::ReadTimeoutMs() const {
  std::lock_guard lock(mutex_);
  return readTimeoutMs_;
}

std::uint32_t InProcessDeviceLibrary::WriteTimeoutMs() const {
  std::lock_guard lock(mutex_);
  return writeTimeoutMs_;
}

bool InProcessDeviceLibrary::Usable(usb::DeviceHandle handle) const {
  return plugged_ && live_.count(handle) == 1;
}

usb::Status InProcessDeviceLibrary::DeviceCount(std::uint32_t& count) {
  std::lock_guard lock(mutex_);
  calls_.push_back({Op::Count});
  count = plugged_ ? 1 : 0;
  return usb::kSuccess;
}

usb::Status InProcessDeviceLibrary::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
  std::lock_guard lock(mutex_);
  calls_.push_back({Op::SetTimeouts, 0, {}, readMs});
  readTimeoutMs_ = readMs;
  writeTimeoutMs_ = writeMs;
  return usb::kSuccess;
}

usb::Status InProcessDeviceLibrary::Open(std::uint32_t deviceNumber, usb::DeviceHandle& handle) {
  std::lock_guard lock(mutex_);
  calls_.push_back({Op::Open});
  if (!plugged_ || deviceNumber != 0) return usb::kNoDevice;
  if (openRefusal_ != usb::kSuccess) return openRefusal_;
  handle = nextHandle_++;
  live_.insert(handle);
  pending_.clear();
  return usb::kSuccess;
}

usb::Status InProcessDeviceLibrary::Close(usb::DeviceHandle handle) {
  std::lock_guard lock(mutex_);
  calls_.push_back({Op::Close, handle});
  return live_.erase(handle) == 1 ? usb::kSuccess : usb::kInvalidHandle;
}

usb::Status InProcessDeviceLibrary::Write(usb::DeviceHandle handle, const std::uint8_t* buffer,
                                          std::uint32_t size, std::uint32_t& bytesWritten) {
  std::lock_guard lock(mutex_);
  calls_.push_back({Op::Write, handle, std::vector<std::uint8_t>(buffer, buffer + size)});
  bytesWritten = 0;
  if (writesBeforeUnplug_ && (*writesBeforeUnplug_)-- == 0) {
    writesBeforeUnplug_.reset();
    plugged_ = false;
    live_.clear();
    pending_.clear();
  }
  if (!Usable(handle)) return usb::kNoDevice;
  if (size != 8 || failNextWrite_ || failingCommands_.count(buffer[0]) == 1) {
    failNextWrite_ = false;
    return usb::kFailure;
  }
  std::array<std::uint8_t, 8> command;
  std::copy_n(buffer, 8, command.begin());
  const auto reply = model_->Answer(command);
  pending_ = reply.value_or(std::vector<std::uint8_t>{});
  if (shortReply_ && commandsBeforeShortReply_-- == 0) {
    if (pending_.size() > *shortReply_) pending_.resize(*shortReply_);
    shortReply_.reset();
  }
  bytesWritten = size;
  return usb::kSuccess;
}

usb::Status InProcessDeviceLibrary::Read(usb::DeviceHandle handle, std::uint8_t* buffer,
                                         std::uint32_t size, std::uint32_t& bytesRead) {
  std::chrono::milliseconds delay;
  {
    std::lock_guard lock(mutex_);
    delay = readDelay_;
  }
  // Outside the lock, so that the count answers meanwhile.
  if (delay.count() > 0) std::this_thread::sleep_for(delay);
  std::lock_guard lock(mutex_);
  calls_.push_back({Op::Read, handle, {}, size});
  bytesRead = 0;
  if (!Usable(handle)) return usb::kNoDevice;
  if (readsBeforeFailure_ && (*readsBeforeFailure_)-- == 0) {
    readsBeforeFailure_.reset();
    failNextRead_ = true;
  }
  if (failNextRead_) {
    failNextRead_ = false;
    pending_.clear();
    return usb::kFailure;
  }
  // Nothing was asked, or the telephone did not understand: a real read
  // would wait out its time-out.
  if (pending_.empty()) return usb::kTimedOut;
  const std::size_t n = std::min<std::size_t>(size, pending_.size());
  std::copy_n(pending_.begin(), n, buffer);
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
  bytesRead = static_cast<std::uint32_t>(n);
  return usb::kSuccess;
}

usb::Status InProcessDeviceLibrary::Flush(usb::DeviceHandle handle, std::uint8_t, std::uint8_t) {
  std::lock_guard lock(mutex_);
  calls_.push_back({Op::Flush, handle});
  if (!Usable(handle)) return usb::kNoDevice;
  pending_.clear();
  return usb::kSuccess;
}

}  // namespace parlomax::phone
