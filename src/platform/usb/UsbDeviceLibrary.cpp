#include "platform/usb/UsbDeviceLibrary.h"

#include "platform/usb/OpenedUsbTelephone.h"

#include <libusb.h>

namespace parlomax::usb {

UsbDeviceLibrary::UsbDeviceLibrary() {
  if (libusb_init(&context_) != 0) context_ = nullptr;  // no USB here: no telephone either
}

UsbDeviceLibrary::~UsbDeviceLibrary() {
  open_.Clear();
  if (context_) libusb_exit(context_);
}

Status UsbDeviceLibrary::DeviceCount(std::uint32_t& count) {
  count = static_cast<std::uint32_t>(TelephoneList(context_).Devices().size());
  return kSuccess;
}

Status UsbDeviceLibrary::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
  readTimeoutMs_ = readMs;
  writeTimeoutMs_ = writeMs;
  return kSuccess;
}

std::vector<AttachedUsbTelephone> UsbDeviceLibrary::Attached() { return TelephoneList(context_).Describe(); }

Status UsbDeviceLibrary::Open(std::uint32_t deviceNumber, DeviceHandle& handle) {
  OpenReport report;
  return OpenAndReport(deviceNumber, handle, report);
}

Status UsbDeviceLibrary::OpenAndReport(std::uint32_t deviceNumber, DeviceHandle& handle, OpenReport& report) {
  const TelephoneList list(context_);
  if (deviceNumber >= list.Devices().size()) return report.status = kNoDevice;
  auto telephone = std::make_shared<OpenedUsbTelephone>();
  report = telephone->Open(list.Devices()[deviceNumber]);
  if (report.status == kSuccess) handle = open_.Add(std::move(telephone));
  return report.status;
}

Status UsbDeviceLibrary::Close(DeviceHandle handle) {
  const auto telephone = open_.Take(handle);
  if (!telephone) return kInvalidHandle;
  telephone->Close();
  return kSuccess;  // the device itself is closed with the last reference
}

Status UsbDeviceLibrary::Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t size,
                               std::uint32_t& bytesWritten) {
  bytesWritten = 0;
  const auto telephone = open_.Find(handle);
  if (!telephone) return kInvalidHandle;
  return telephone->Write(buffer, size, writeTimeoutMs_, readTimeoutMs_, bytesWritten);
}

Status UsbDeviceLibrary::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t size,
                              std::uint32_t& bytesRead) {
  bytesRead = 0;
  const auto telephone = open_.Find(handle);
  if (!telephone) return kInvalidHandle;
  return telephone->Read(buffer, size, readTimeoutMs_, bytesRead);
}

DeviceSource UsbDeviceLibrary::Describe(DeviceHandle handle) {
  const auto telephone = open_.Find(handle);
  return telephone ? telephone->Source() : DeviceSource{};
}

Status UsbDeviceLibrary::Flush(DeviceHandle handle, std::uint8_t, std::uint8_t) {
  const auto telephone = open_.Find(handle);
  if (!telephone) return kInvalidHandle;
  return telephone->Flush();
}

}  // namespace parlomax::usb
