#include "platform/usb/OpenedUsbTelephone.h"

#include "platform/usb/UsbDiscovery.h"

#include <libusb.h>

#include <algorithm>

namespace parlomax::usb {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kInterface = 0;
constexpr unsigned kControlTimeoutMs = 1000;

long long MillisecondsUntil(Clock::time_point deadline) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

Status StatusOf(int libusbError) {
  switch (libusbError) {
    case LIBUSB_SUCCESS:
      return kSuccess;
    case LIBUSB_ERROR_NO_DEVICE:
      return kNoDevice;
    case LIBUSB_ERROR_TIMEOUT:
      return kTimedOut;
    case LIBUSB_ERROR_ACCESS:
      return kAccessDenied;
    case LIBUSB_ERROR_BUSY:
      return kBusy;
    default:
      return kFailure;
  }
}

RequestAnswer AnswerOf(int result) {
  if (result >= 0) return RequestAnswer::Accepted;
  return result == LIBUSB_ERROR_PIPE ? RequestAnswer::Stalled : RequestAnswer::Failed;
}

}  // namespace

OpenedUsbTelephone::~OpenedUsbTelephone() {
  if (claimed_) libusb_release_interface(handle_, kInterface);
  if (handle_) libusb_close(handle_);
}

OpenReport OpenedUsbTelephone::Open(libusb_device* device) {
  OpenReport report;
  libusb_device_descriptor descriptor{};
  libusb_get_device_descriptor(device, &descriptor);
  chips_ = ChipsWithIds(descriptor.idVendor, descriptor.idProduct);
  if (const int r = libusb_open(device, &handle_); r != 0) {
    handle_ = nullptr;
    report.status = StatusOf(r);
    return report;
  }
  // Linux's serial driver takes the bridge on plug-in; it gives it back.
  libusb_set_auto_detach_kernel_driver(handle_, 1);
  if (const int r = libusb_claim_interface(handle_, kInterface); r != 0) {
    report.status = StatusOf(r);
    return report;
  }
  claimed_ = true;
  if (!FindBulkPair(device)) {
    report.status = kFailure;
    return report;
  }
  if (!Identify(report) || !SendEach(&TelephoneChip::open, &report.opens)) {
    report.status = kNoDevice;
    return report;
  }
  // A halt left over from an earlier user would fail the first transfer.
  libusb_clear_halt(handle_, endpointOut_);
  libusb_clear_halt(handle_, endpointIn_);
  source_.place = PlaceText(PlaceOf(device));
  if (report.chip) source_.chip = std::string(report.chip->kind);
  report.status = kSuccess;
  return report;
}

bool OpenedUsbTelephone::Identify(OpenReport& report) {
  std::uint8_t part = 0;
  const int r = libusb_control_transfer(handle_, kPartNumberRequestType, kPartNumberRequest, kPartNumberValue, 0,
                                        &part, 1, kControlTimeoutMs);
  report.partNumberAnswer = r == 1 ? RequestAnswer::Accepted : AnswerOf(r < 0 ? r : LIBUSB_ERROR_OTHER);
  if (r == 1) report.partNumber = part;
  // One kind answers to the part number; otherwise it may be any of them.
  if (const TelephoneChip* chip = ChipOfPart(chips_, report.partNumber)) {
    chips_ = {chip};
    report.chip = chip;
  }
  return r != LIBUSB_ERROR_NO_DEVICE;
}

bool OpenedUsbTelephone::FindBulkPair(libusb_device* device) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0) return false;
  if (config->bNumInterfaces > kInterface && config->interface[kInterface].num_altsetting > 0) {
    const libusb_interface_descriptor& setting = config->interface[kInterface].altsetting[0];
    for (int e = 0; e < setting.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& ep = setting.endpoint[e];
      if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
        endpointIn_ = ep.bEndpointAddress;
        packetSize_ = std::max<std::uint16_t>(ep.wMaxPacketSize & 0x7FF, 1);
      } else {
        endpointOut_ = ep.bEndpointAddress;
      }
    }
  }
  libusb_free_config_descriptor(config);
  return endpointIn_ != 0 && endpointOut_ != 0;
}

bool OpenedUsbTelephone::SendEach(Requests which, std::vector<std::pair<VendorRequest, RequestAnswer>>* answers) {
  for (const TelephoneChip* chip : chips_) {
    for (const VendorRequest& request : chip->*which) {
      const int r = libusb_control_transfer(handle_, request.requestType, request.request, request.value, kInterface,
                                            nullptr, 0, kControlTimeoutMs);
      if (answers) answers->emplace_back(request, AnswerOf(r));
      // A STALL or any other refusal leaves the telephone usable; only one
      // that has left the bus is lost.
      if (r == LIBUSB_ERROR_NO_DEVICE) return false;
    }
  }
  return true;
}

void OpenedUsbTelephone::Close() {
  std::lock_guard lock(io);
  SendEach(&TelephoneChip::close);
  if (claimed_) libusb_release_interface(handle_, kInterface);
  claimed_ = false;
}

int OpenedUsbTelephone::Unstalled(int result, std::uint8_t endpoint) {
  if (result == LIBUSB_ERROR_PIPE) libusb_clear_halt(handle_, endpoint);
  return result;
}

int OpenedUsbTelephone::ReadPackets(std::size_t bytes, long long timeoutMs, std::vector<std::uint8_t>& into) {
  const std::size_t want = std::max<std::size_t>((bytes + packetSize_ - 1) / packetSize_, 1) * packetSize_;
  std::vector<std::uint8_t> packets(want);
  int got = 0;
  const int r = libusb_bulk_transfer(handle_, endpointIn_, packets.data(), static_cast<int>(want), &got,
                                     static_cast<unsigned>(std::max<long long>(timeoutMs, 1)));
  if (got > 0) into.insert(into.end(), packets.begin(), packets.begin() + got);
  return Unstalled(r, endpointIn_);
}

bool OpenedUsbTelephone::SomethingArrives(std::chrono::milliseconds window) {
  std::vector<std::uint8_t> scrap;
  ReadPackets(packetSize_, window.count(), scrap);
  return !scrap.empty();
}

void OpenedUsbTelephone::Settle(std::chrono::milliseconds limit) {
  // The chip drops what it holds before the pipe is drained.
  SendEach(&TelephoneChip::flush);
  pending_.clear();
  settling_.Settle(limit, [this](std::chrono::milliseconds window) {
    std::vector<std::uint8_t> scrap;
    const int r = ReadPackets(packetSize_, window.count(), scrap);
    return !scrap.empty() && (r == 0 || r == LIBUSB_ERROR_TIMEOUT);
  });
}

Status OpenedUsbTelephone::Fail(Status status) {
  pending_.clear();
  settling_.ReadFailed();
  return status;
}

Status OpenedUsbTelephone::Write(const std::uint8_t* buffer, std::uint32_t size, std::uint32_t timeoutMs,
                                 std::uint32_t settleMs, std::uint32_t& written) {
  std::lock_guard lock(io);
  if (settling_.Unsettled()) Settle(std::chrono::milliseconds(settleMs));
  int sent = 0;
  const int r = Unstalled(libusb_bulk_transfer(handle_, endpointOut_, const_cast<std::uint8_t*>(buffer),
                                               static_cast<int>(size), &sent, timeoutMs),
                          endpointOut_);
  written = static_cast<std::uint32_t>(std::max(sent, 0));
  if (r != 0) return StatusOf(r);
  return written == size ? kSuccess : kFailure;
}

Status OpenedUsbTelephone::Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t timeoutMs,
                                std::uint32_t& bytesRead) {
  std::lock_guard lock(io);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  // A reply that stops short fails at the time-out; what did arrive is
  // counted all the same, so that nobody takes the shortfall for nothing.
  const auto shortOf = [&](Status status) {
    bytesRead = static_cast<std::uint32_t>(std::min<std::size_t>(pending_.size(), size));
    return Fail(status);
  };
  while (pending_.size() < size) {
    const long long left = MillisecondsUntil(deadline);
    if (left <= 0) return shortOf(kTimedOut);
    // Whole packets only: a device may always send a full one.
    const int r = ReadPackets(size - pending_.size(), left, pending_);
    if (r != 0 && r != LIBUSB_ERROR_TIMEOUT) return shortOf(StatusOf(r));
    if (r == LIBUSB_ERROR_TIMEOUT && pending_.size() < size) return shortOf(kTimedOut);
  }
  // For the first reply after settling, bytes beyond it mean that what was
  // read was the late reply of the failed command and this command's own is
  // still coming: refused.
  const bool stands = settling_.ReplyStands(
      [&](std::chrono::milliseconds window) { return pending_.size() > size || SomethingArrives(window); });
  if (!stands) return Fail(kFailure);
  std::copy_n(pending_.begin(), size, buffer);
  bytesRead = size;
  // More than the reply is nobody's reply: it is dropped, and the pipe is
  // let settle before the next command in case more of it is on its way.
  if (pending_.size() > size) settling_.MoreThanTheReplyArrived();
  pending_.clear();
  return kSuccess;
}

Status OpenedUsbTelephone::Flush() {
  std::lock_guard lock(io);
  std::vector<std::pair<VendorRequest, RequestAnswer>> answers;
  const bool there = SendEach(&TelephoneChip::flush, &answers);
  pending_.clear();
  if (!there) return kNoDevice;
  const bool heard = std::any_of(answers.begin(), answers.end(),
                                 [](const auto& a) { return a.second == RequestAnswer::Accepted; });
  return heard ? kSuccess : kFailure;
}

}  // namespace parlomax::usb
