#include "platform/usb/EmulatorDeviceLibrary.h"

#include "platform/usb/EmulatorGreeting.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace parlomax::usb {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSpinBeforeSleeping = std::chrono::microseconds(60);

// Waits until `fd` is ready for `events` or the deadline passes; false on
// time-out or error.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) return false;
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

int ConnectTo(const std::filesystem::path& socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = socketPath.string();
  if (path.size() >= sizeof(address.sun_path)) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The emulator's first word on a new connection: whether the telephone is
// ours or held by another program.
Status AwaitGreeting(int fd, Clock::time_point deadline) {
  if (!WaitFor(fd, POLLIN, deadline)) return kTimedOut;
  std::uint8_t word = 0;
  const ssize_t n = ::recv(fd, &word, 1, MSG_DONTWAIT | MSG_TRUNC);
  if (n == 0) return kNoDevice;
  if (n != 1) return kFailure;
  if (word == kEmulatorBusy) return kBusy;
  return word == kEmulatorYours ? kSuccess : kFailure;
}

}  // namespace

// One open telephone. The socket is closed when the last user lets go, so a
// Close() on one thread cannot pull the descriptor from under a read on
// another; it shuts the socket down instead, which ends that read at once.
struct EmulatorDeviceLibrary::Connection {
  explicit Connection(int fd) : fd(fd) {}
  DeviceSource source;  // set before the connection is shared
  ~Connection() { ::close(fd); }

  // With `io` held. Changing the socket's option costs a call, so it is
  // changed only when the wait differs from the last one by a fair margin.
  bool SetReceiveTimeout(long long ms) {
    if (receiveTimeoutMs >= 0 && ms <= receiveTimeoutMs && ms + 50 > receiveTimeoutMs) return true;
    timeval wait{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait)) != 0) return false;
    receiveTimeoutMs = ms;
    return true;
  }

  // With `io` held. A reply is one message: each one that arrives is
  // dropped whole.
  bool DropWhatArrives(std::chrono::milliseconds window) {
    if (!WaitFor(fd, POLLIN, Clock::now() + window)) return false;
    std::uint8_t scrap[512];
    return ::recv(fd, scrap, sizeof(scrap), MSG_DONTWAIT) != 0;  // 0: the emulator has gone
  }
  // A failed read: nothing it got may reach the caller or another read.
  Status Fail(Status status, std::uint8_t* buffer, std::uint32_t size) {
    std::fill_n(buffer, size, 0);
    settling.ReadFailed();
    return status;
  }

  const int fd;
  std::mutex io;
  long long receiveTimeoutMs = -1;
  ReplySettling settling;
};

EmulatorDeviceLibrary::EmulatorDeviceLibrary(std::filesystem::path folder)
    : folder_(std::move(folder)) {}

EmulatorDeviceLibrary::~EmulatorDeviceLibrary() = default;

Status EmulatorDeviceLibrary::DeviceCount(std::uint32_t& count) {
  count = static_cast<std::uint32_t>(RunningEmulators(folder_).size());
  return kSuccess;
}

Status EmulatorDeviceLibrary::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
  readTimeoutMs_ = readMs;
  writeTimeoutMs_ = writeMs;
  return kSuccess;
}

Status EmulatorDeviceLibrary::Open(std::uint32_t deviceNumber, DeviceHandle& handle) {
  const auto running = RunningEmulators(folder_);
  if (deviceNumber >= running.size()) return kNoDevice;
  const int fd = ConnectTo(EmulatorSocketPath(folder_, running[deviceNumber]));
  if (fd < 0) return kNoDevice;
  const Status greeted =
      AwaitGreeting(fd, Clock::now() + std::chrono::milliseconds(readTimeoutMs_.load()));
  if (greeted != kSuccess) {
    ::close(fd);
    return greeted;
  }
  auto connection = std::make_shared<Connection>(fd);
  connection->source = {EmulatorSocketPath(folder_, running[deviceNumber]).filename().string(),
                        "模拟电话"};
  handle = connections_.Add(std::move(connection));
  return kSuccess;
}

DeviceSource EmulatorDeviceLibrary::Describe(DeviceHandle handle) {
  const auto connection = connections_.Find(handle);
  return connection ? connection->source : DeviceSource{};
}

Status EmulatorDeviceLibrary::Close(DeviceHandle handle) {
  const auto connection = connections_.Take(handle);
  if (!connection) return kInvalidHandle;
  ::shutdown(connection->fd, SHUT_RDWR);
  return kSuccess;
}

Status EmulatorDeviceLibrary::Write(DeviceHandle handle, const std::uint8_t* buffer,
                                    std::uint32_t size, std::uint32_t& bytesWritten) {
  bytesWritten = 0;
  const auto connection = connections_.Find(handle);
  if (!connection) return kInvalidHandle;
  std::lock_guard io(connection->io);
  if (connection->settling.Unsettled()) {
    connection->settling.Settle(std::chrono::milliseconds(readTimeoutMs_.load()),
                                [&connection](std::chrono::milliseconds window) {
                                  return connection->DropWhatArrives(window);
                                });
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(writeTimeoutMs_.load());
  for (;;) {
    // A command nearly always fits at once; waiting is for a full queue only.
    const ssize_t n = ::send(connection->fd, buffer, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      bytesWritten = static_cast<std::uint32_t>(n);
      return static_cast<std::uint32_t>(n) == size ? kSuccess : kFailure;
    }
    if (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN) return kNoDevice;
    if (errno != EAGAIN && errno != EINTR) return kFailure;
    if (!WaitFor(connection->fd, POLLOUT, deadline)) return kTimedOut;
  }
}

Status EmulatorDeviceLibrary::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t size,
                                   std::uint32_t& bytesRead) {
  bytesRead = 0;
  const auto connection = connections_.Find(handle);
  if (!connection) return kInvalidHandle;
  std::lock_guard io(connection->io);
  const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_.load());
  const Status status = Receive(*connection, buffer, size, deadline, bytesRead);
  if (status != kSuccess) {
    bytesRead = 0;
    return connection->Fail(status, buffer, size);
  }
  // For the first reply after settling, another right behind it means that
  // this was the late reply of the failed command and this command's own
  // follows: refused.
  const bool stands = connection->settling.ReplyStands([&connection](std::chrono::milliseconds window) {
    return WaitFor(connection->fd, POLLIN, Clock::now() + window);
  });
  if (!stands) {
    bytesRead = 0;
    return connection->Fail(kFailure, buffer, size);
  }
  return kSuccess;
}

Status EmulatorDeviceLibrary::Receive(Connection& connection, std::uint8_t* buffer,
                                      std::uint32_t size, Clock::time_point deadline,
                                      std::uint32_t& bytesRead) {
  // A reply longer than asked for cannot be this command's.
  const auto received = [&](ssize_t n) {
    if (static_cast<std::size_t>(n) > size) return kFailure;
    bytesRead = static_cast<std::uint32_t>(n);
    return kSuccess;
  };
  // An emulator answers within microseconds. Asking again for a moment
  // before going to sleep saves the sleep and the wake-up, which cost more
  // than the whole exchange and would more than double the time to read a
  // long list; a reply that takes longer is waited for the ordinary way.
  const auto spinUntil = Clock::now() + kSpinBeforeSleeping;
  while (Clock::now() < spinUntil) {
    const ssize_t n = ::recv(connection.fd, buffer, size, MSG_DONTWAIT | MSG_TRUNC);
    if (n > 0) return received(n);
    if (n == 0) return kNoDevice;
    if (errno != EAGAIN && errno != EINTR) return kFailure;
  }
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !connection.SetReceiveTimeout(left)) return kTimedOut;
    // One blocking receive: a reply is one message, and the receive time-out
    // bounds the wait without a separate poll for every reply.
    const ssize_t n = ::recv(connection.fd, buffer, size, MSG_TRUNC);
    if (n > 0) return received(n);
    if (n == 0) return kNoDevice;  // the emulator has gone
    if (errno == EAGAIN || errno == EWOULDBLOCK) return kTimedOut;
    if (errno != EINTR) return kFailure;
  }
}

Status EmulatorDeviceLibrary::Flush(DeviceHandle handle, std::uint8_t, std::uint8_t) {
  const auto connection = connections_.Find(handle);
  if (!connection) return kInvalidHandle;
  std::lock_guard io(connection->io);
  std::uint8_t scrap[512];
  while (::recv(connection->fd, scrap, sizeof(scrap), MSG_DONTWAIT) > 0) {
  }
  return kSuccess;
}

}  // namespace parlomax::usb
