// umockdev (through glib) comes before anything of Qt's: glib names a
// field "signals", which Qt defines as a word of its own.
#include <umockdev.h>

#include "UsbTelephone.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <stdexcept>

namespace parlomax::testing {
namespace {

constexpr const char* kDeviceNode = "/dev/bus/usb/001/002";
constexpr const char* kSysPath = "/sys/devices/usb1/1-1";

// Device, configuration, interface (vendor-specific, two endpoints), bulk
// OUT 0x01 and bulk IN 0x81 of 64-byte packets; IDs 10c4:ea61.
constexpr const char* kDescription =
    "P: /devices/usb1/1-1\n"
    "N: bus/usb/001/002\n"
    "E: SUBSYSTEM=usb\n"
    "E: DEVTYPE=usb_device\n"
    "E: DEVNAME=/dev/bus/usb/001/002\n"
    "E: BUSNUM=001\n"
    "E: DEVNUM=002\n"
    "A: busnum=1\\n\n"
    "A: devnum=2\\n\n"
    "A: bConfigurationValue=1\\n\n"
    "A: speed=12\\n\n"
    "H: descriptors="
    "1201000200000040c41061ea000101020001"
    "090220000101008032"
    "0904000002ff000000"
    "07050102400000"
    "07058102400000\n";

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  return static_cast<UsbTelephone*>(self)->HandleIoctl(client);
}

void Complete(UMockdevIoctlClient* client, long result, int error) {
  umockdev_ioctl_client_complete(client, result, error);
}

}  // namespace

UsbTelephone::UsbTelephone(std::shared_ptr<phone::TelephoneModel> model, UsbChip chip)
    : model_(std::move(model)), chip_(chip) {
  testbed_ = umockdev_testbed_new();
  handler_ = umockdev_ioctl_base_new();
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
  if (!umockdev_testbed_attach_ioctl(testbed_, kDeviceNode, handler_, nullptr)) {
    throw std::runtime_error("umockdev cannot attach to the device node");
  }
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed_, kDescription, &error)) {
    const std::string message = error ? error->message : "unknown";
    g_clear_error(&error);
    throw std::runtime_error("umockdev cannot add the device: " + message);
  }
}

UsbTelephone::~UsbTelephone() {
  {
    std::lock_guard lock(mutex_);
    for (auto& urb : waiting_) g_object_unref(urb.data);
    for (auto& urb : done_) g_object_unref(urb.data);
    waiting_.clear();
    done_.clear();
  }
  g_object_unref(handler_);
  g_object_unref(testbed_);
}

std::vector<std::pair<std::uint8_t, std::uint16_t>> UsbTelephone::ControlRequests() {
  std::lock_guard lock(mutex_);
  return controls_;
}

std::vector<std::vector<std::uint8_t>> UsbTelephone::Commands() {
  std::lock_guard lock(mutex_);
  return commands_;
}

void UsbTelephone::IgnoreCommand(std::uint8_t code) {
  std::lock_guard lock(mutex_);
  ignored_.push_back(code);
}

void UsbTelephone::ShortenNextReply(std::size_t bytes) {
  std::lock_guard lock(mutex_);
  shortNext_ = bytes;
}

void UsbTelephone::DelayReply(std::uint8_t code, unsigned occurrence, std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  delays_.push_back({code, occurrence, delay});
}

void UsbTelephone::ReleaseDueReplies() {
  const auto now = std::chrono::steady_clock::now();
  while (!inFlight_.empty() && inFlight_.front().due <= now) {
    fifo_.insert(fifo_.end(), inFlight_.front().bytes.begin(), inFlight_.front().bytes.end());
    inFlight_.pop_front();
  }
}

void UsbTelephone::StallEndpoint(std::uint8_t endpoint) {
  std::lock_guard lock(mutex_);
  toStall_.push_back(endpoint);
}

std::vector<std::uint8_t> UsbTelephone::ClearedHalts() {
  std::lock_guard lock(mutex_);
  return clearedHalts_;
}

bool UsbTelephone::IsOpen() {
  std::lock_guard lock(mutex_);
  return open_;
}

void UsbTelephone::HoldElsewhere() {
  std::lock_guard lock(mutex_);
  heldElsewhere_ = true;
}

void UsbTelephone::Unplug() {
  {
    std::lock_guard lock(mutex_);
    unplugged_ = true;
    // Transfers still waiting end as they do when the device goes.
    while (!waiting_.empty()) {
      waiting_.front().status = -ENODEV;
      done_.push_back(std::move(waiting_.front()));
      waiting_.pop_front();
    }
  }
  umockdev_testbed_uevent(testbed_, kSysPath, "remove");
  umockdev_testbed_remove_device(testbed_, kSysPath);
}

bool UsbTelephone::HandleIoctl(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  switch (request) {
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      Reap(client, arg);
      return true;
    default:
      break;
  }
  {
    std::lock_guard lock(mutex_);
    if (unplugged_) {
      Complete(client, -1, ENODEV);
      return true;
    }
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
      const std::uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                  USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      std::memcpy(caps->data, &value, sizeof(value));
      g_object_unref(caps);
      Complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_GETDRIVER:
      Complete(client, -1, ENODATA);  // no kernel driver holds the interface
      return true;
    case USBDEVFS_CLEAR_HALT: {
      UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
      const auto endpoint = static_cast<std::uint8_t>(*reinterpret_cast<unsigned int*>(value->data));
      g_object_unref(value);
      std::lock_guard lock(mutex_);
      clearedHalts_.push_back(endpoint);
      std::erase(halted_, endpoint);
      Complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM: {
      std::lock_guard lock(mutex_);
      if (heldElsewhere_) {
        Complete(client, -1, EBUSY);
      } else {
        Complete(client, 0, 0);
      }
      return true;
    }
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_SETINTERFACE:
      Complete(client, 0, 0);
      return true;
    case USBDEVFS_SUBMITURB:
      Submit(client, arg);
      return true;
    case USBDEVFS_DISCARDURB: {
      std::lock_guard lock(mutex_);
      const auto address = *reinterpret_cast<gulong*>(arg->data);
      const auto it = std::find_if(waiting_.begin(), waiting_.end(),
                                   [&](const Urb& u) { return u.data->client_addr == address; });
      if (it == waiting_.end()) {
        Complete(client, -1, EINVAL);
        return true;
      }
      it->status = -ENOENT;
      done_.push_back(std::move(*it));
      waiting_.erase(it);
      Complete(client, 0, 0);
      return true;
    }
    default:
      return false;
  }
}

void UsbTelephone::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  auto* urb = reinterpret_cast<usbdevfs_urb*>(data->data);
  UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_urb, buffer),
                                                          static_cast<gsize>(urb->buffer_length), nullptr);
  const auto* bytes = static_cast<const std::uint8_t*>(urb->buffer);
  Urb submitted{data, urb->endpoint, urb->type, static_cast<std::size_t>(urb->buffer_length), {}, 0};

  std::lock_guard lock(mutex_);
  ReleaseDueReplies();
  const bool out = (urb->endpoint & 0x80) == 0;
  if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
    Control(bytes, submitted);
    done_.push_back(std::move(submitted));
  } else if (std::erase(toStall_, urb->endpoint) > 0 ||
             std::find(halted_.begin(), halted_.end(), urb->endpoint) != halted_.end()) {
    // The pipe is halted until the host clears it.
    if (std::find(halted_.begin(), halted_.end(), urb->endpoint) == halted_.end()) halted_.push_back(urb->endpoint);
    submitted.status = -EPIPE;
    submitted.length = 0;
    done_.push_back(std::move(submitted));
  } else if (out && !open_) {
    // Not taken until the chip is opened: the host's write times out.
    waiting_.push_back(std::move(submitted));
  } else if (out) {
    Command(std::vector<std::uint8_t>(bytes, bytes + urb->buffer_length));
    done_.push_back(std::move(submitted));
  } else {
    waiting_.push_back(std::move(submitted));
  }
  ReleaseDueReplies();
  FillWaitingReads();
  g_object_unref(buffer);
  Complete(client, 0, 0);
}

void UsbTelephone::Control(const std::uint8_t* setup, Urb& urb) {
  // The setup packet: request type, request, value, index, length.
  const std::uint8_t type = setup[0], request = setup[1];
  const auto value = static_cast<std::uint16_t>(setup[2] | setup[3] << 8);
  controls_.emplace_back(request, value);
  const bool bridge = chip_.kind == UsbChip::Kind::Bridge;
  urb.status = 0;
  if (type == 0xC0 && request == 0xFF && value == 0x370B) {
    if (chip_.stallsPartNumber) {
      urb.status = -EPIPE;
    } else {
      urb.reply = {static_cast<std::uint8_t>(bridge ? 0x02 : 0x80)};
    }
  } else if (bridge && (type == 0x41 || type == 0x40) && request == 0x00) {
    open_ = value != 0;  // interface enabled (1, or 0xFFFF) or disabled (0)
  } else if (bridge && (type == 0x41 || type == 0x40) && request == 0x12) {
    fifo_.clear();  // purge
  } else if (!bridge && type == 0x40 && request == 0x02 && (value == 1 || value == 2 || value == 4)) {
    if (value == 2) open_ = true;
    if (value == 4) open_ = false;
    if (value == 1) fifo_.clear();  // flush both ways
  } else {
    urb.status = -EPIPE;  // not a request this chip knows
  }
}

void UsbTelephone::Command(const std::vector<std::uint8_t>& command) {
  commands_.push_back(command);
  if (command.size() != 8 || std::find(ignored_.begin(), ignored_.end(), command[0]) != ignored_.end()) return;
  std::array<std::uint8_t, 8> frame;
  std::copy(command.begin(), command.end(), frame.begin());
  const unsigned occurrence = ++seen_[command[0]];
  auto reply = model_->Answer(frame);
  if (!reply) return;
  if (shortNext_) reply->resize(std::min(reply->size(), *shortNext_));
  shortNext_.reset();
  auto due = std::chrono::steady_clock::now();
  for (const Delay& d : delays_) {
    if (d.code == command[0] && d.occurrence == occurrence) due += d.delay;
  }
  // The telephone answers in order: nothing overtakes a late reply.
  if (!inFlight_.empty()) due = std::max(due, inFlight_.back().due);
  inFlight_.push_back({due, std::move(*reply)});
}

void UsbTelephone::FillWaitingReads() {
  // An opened chip's IN transfers take the reply bytes in order; a closed
  // one sends nothing.
  for (auto it = waiting_.begin(); open_ && it != waiting_.end() && !fifo_.empty();) {
    if ((it->endpoint & 0x80) == 0) {
      ++it;
      continue;
    }
    Urb urb = std::move(*it);
    it = waiting_.erase(it);
    const std::size_t n = std::min(urb.length, fifo_.size());
    urb.reply.assign(fifo_.begin(), fifo_.begin() + static_cast<std::ptrdiff_t>(n));
    fifo_.erase(fifo_.begin(), fifo_.begin() + static_cast<std::ptrdiff_t>(n));
    done_.push_back(std::move(urb));
  }
}

void UsbTelephone::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  std::unique_lock lock(mutex_);
  ReleaseDueReplies();
  FillWaitingReads();
  if (done_.empty()) {
    lock.unlock();
    Complete(client, -1, EAGAIN);
    return;
  }
  Urb urb = std::move(done_.front());
  done_.pop_front();
  lock.unlock();
  auto* raw = reinterpret_cast<usbdevfs_urb*>(urb.data->data);
  raw->status = urb.status;
  if (urb.type == USBDEVFS_URB_TYPE_CONTROL) {
    // What a device-to-host request answers follows its setup packet.
    raw->actual_length = static_cast<int>(urb.reply.size());
    std::memcpy(static_cast<std::uint8_t*>(raw->buffer) + 8, urb.reply.data(), urb.reply.size());
  } else if ((urb.endpoint & 0x80) != 0) {
    raw->actual_length = static_cast<int>(urb.reply.size());
    std::memcpy(raw->buffer, urb.reply.data(), urb.reply.size());
  } else {
    raw->actual_length = static_cast<int>(urb.length);
  }
  UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
  umockdev_ioctl_data_set_ptr(pointer, 0, urb.data);
  g_object_unref(pointer);
  g_object_unref(urb.data);
  Complete(client, 0, 0);
}

}  // namespace parlomax::testing
