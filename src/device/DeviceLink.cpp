#include "device/DeviceLink.h"

#include <algorithm>
#include <thread>

namespace parlomax::device {

DeviceLink::DeviceLink(usb::DeviceLibrary& library, shell::MessageService& messages)
    : library_(library), messages_(messages) {}

void DeviceLink::TelephoneLost() {
  deviceAttached_ = false;
  deviceOpen_ = false;
  loggedIn_ = false;
}

void DeviceLink::StartAfresh() {
  loggedIn_ = false;
  deviceOpen_ = false;
}

std::uint32_t DeviceLink::CountDevices() {
  std::uint32_t count = 0;
  library_.DeviceCount(count);
  return count;
}

bool DeviceLink::OpenFirstDevice(usb::Status* why) { return OpenDevice(0, why); }

bool DeviceLink::OpenDevice(std::uint32_t deviceNumber, usb::Status* why) {
  std::lock_guard lock(exchangeMutex_);
  library_.SetTimeouts(kDeviceTimeoutMs, kDeviceTimeoutMs);
  usb::DeviceHandle handle = 0;
  const usb::Status status = library_.Open(deviceNumber, handle);
  if (why) *why = status;
  if (status != usb::kSuccess) return false;
  deviceHandle_ = handle;
  deviceOpen_ = true;
  return true;
}

void DeviceLink::Flush() {
  std::lock_guard lock(exchangeMutex_);
  library_.Flush(deviceHandle_, 0, 0);
}

void DeviceLink::Release() {
  std::lock_guard lock(exchangeMutex_);
  deviceOpen_ = false;
  loggedIn_ = false;
  const usb::DeviceHandle handle = deviceHandle_.exchange(0);
  if (handle == 0) return;
  library_.Flush(handle, 0, 0);
  library_.Close(handle);
}

void DeviceLink::CloseAtExit() {
  std::lock_guard lock(exchangeMutex_);
  const usb::DeviceHandle handle = deviceHandle_;
  if (handle == 0) return;
  library_.Flush(handle, 0, 0);
  library_.Close(handle);
}

bool DeviceLink::Exchange(const Command& command, FramePreparation preparation,
                          std::span<std::uint8_t> reply,
                          std::chrono::milliseconds pauseBeforeReply,
                          const std::function<void()>& afterWrite) {
  Outcome outcome;
  {
    std::lock_guard lock(exchangeMutex_);
    outcome = ExchangeLocked(command, preparation, reply, pauseBeforeReply, afterWrite);
  }
  // Outside the lock: the box may stay open for as long as the user likes.
  switch (outcome) {
    case Outcome::Done:
      return true;
    case Outcome::WriteFailed:
      messages_.Warn(kWriteFailedMessage);
      return false;
    case Outcome::ReadFailed:
      messages_.Warn(kReadFailedMessage);
      return false;
  }
  return false;
}

DeviceLink::Outcome DeviceLink::ExchangeLocked(const Command& command,
                                               FramePreparation preparation,
                                               std::span<std::uint8_t> reply,
                                               std::chrono::milliseconds pauseBeforeReply,
                                               const std::function<void()>& afterWrite) {
  if (SendCommand(command, preparation) != usb::kSuccess) return Outcome::WriteFailed;
  if (afterWrite) afterWrite();
  if (pauseBeforeReply.count() > 0) std::this_thread::sleep_for(pauseBeforeReply);
  if (ReadReply(command) != usb::kSuccess) return Outcome::ReadFailed;
  const std::span<const std::uint8_t> received =
      command.RepliesIntoPayloadBuffer() ? std::span<const std::uint8_t>(PayloadBuffer)
                                         : std::span<const std::uint8_t>(CommandFrame);
  const std::size_t n = std::min<std::size_t>({reply.size(), command.ReplySize(), received.size()});
  std::copy_n(received.begin(), n, reply.begin());
  return Outcome::Done;
}

usb::Status DeviceLink::SendCommand(const Command& command, FramePreparation preparation) {
  if (preparation == FramePreparation::ClearWholeFrame) CommandFrame.fill(0);
  PlaceCommand(command, CommandFrame);
  std::uint32_t written = 0;
  return library_.Write(deviceHandle_, CommandFrame.data(), kCommandSize, written);
}

usb::Status DeviceLink::ReadReply(const Command& command) {
  std::uint32_t read = 0;
  std::uint32_t size = command.ReplySize();
  usb::Status status;
  if (command.RepliesIntoPayloadBuffer()) {
    PayloadBuffer.fill(0);
    size = std::min<std::uint32_t>(size, kPayloadBufferSize);
    status = library_.Read(deviceHandle_, PayloadBuffer.data(), size, read);
  } else {
    CommandFrame.fill(0);
    status = library_.Read(deviceHandle_, CommandFrame.data(), size, read);
  }
  // A reply cut short is not the reply: zeros in place of its missing bytes
  // would pass for a PIN, a count, a header or sound.
  if (status == usb::kSuccess && read != size) return usb::kFailure;
  return status;
}

}  // namespace parlomax::device
