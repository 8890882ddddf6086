#include "phone/PhoneServer.h"

#include "platform/usb/EmulatorFolder.h"
#include "platform/usb/EmulatorGreeting.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace parlomax::phone {
namespace {

constexpr int kMaxTelephones = 99;
constexpr auto kSpinBeforeSleeping = std::chrono::microseconds(60);
// How often a busy telephone looks for newcomers to turn away, so that a
// second program hears "busy" at once even during a long read.
constexpr auto kDoorCheckEvery = std::chrono::milliseconds(10);

// True while the program at the other end of `connection` has neither
// closed it nor ended; commands it left unread do not keep it.
bool HostStillThere(int connection) {
  pollfd p{connection, POLLRDHUP, 0};
  if (::poll(&p, 1, 0) < 0) return true;
  return (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) == 0;
}

void Greet(int connection, std::uint8_t word) {
  ::send(connection, &word, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
}

std::runtime_error Failure(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

// The socket appears under its name only once it listens, so that nobody who
// sees it can be refused.
int ListenOn(const std::filesystem::path& path) {
  const std::string text = path.string();
  const std::string staging = text + ".new";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (staging.size() >= sizeof(address.sun_path)) {
    throw std::runtime_error("the socket path " + text + " is too long for a local socket");
  }
  std::memcpy(address.sun_path, staging.c_str(), staging.size() + 1);
  // Not blocking: newcomers are taken until none is left.
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) throw Failure("cannot make a socket");
  ::unlink(staging.c_str());  // left behind by an emulator that died
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(fd, 4) != 0 || ::rename(staging.c_str(), text.c_str()) != 0) {
    const auto error = Failure("cannot listen on " + text);
    ::unlink(staging.c_str());
    ::close(fd);
    throw error;
  }
  return fd;
}

}  // namespace

void EnsurePrivateFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    throw Failure("cannot make the folder " + folder.string());
  }
  if (!usb::IsPrivateFolder(folder)) {
    throw std::runtime_error(folder.string() +
                             " is not a private folder of yours; remove it or pass --folder");
  }
}

PhoneServer::PhoneServer(std::shared_ptr<TelephoneModel> model, FaultPlan faults,
                         const std::filesystem::path& folder)
    : model_(std::move(model)), faults_(std::move(faults)), folder_(folder) {
  EnsurePrivateFolder(folder_);
  for (int n = 1; n <= kMaxTelephones && number_ == 0; ++n) {
    const auto lockPath = usb::EmulatorLockPath(folder_, n);
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw Failure("cannot open " + lockPath.string());
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      number_ = n;
      lockFd_ = fd;
    } else {
      ::close(fd);
    }
  }
  if (number_ == 0) throw std::runtime_error("too many telephones are plugged in already");
  try {
    listenFd_ = ListenOn(SocketPath());
  } catch (...) {
    ::close(lockFd_);
    throw;
  }
  stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PhoneServer::~PhoneServer() {
  // The telephone stops counting before its host sees the link close, as a
  // telephone pulled off the cable vanishes from the bus as its transfers fail.
  ::unlink(SocketPath().c_str());
  ::close(listenFd_);
  ::unlink(usb::EmulatorLockPath(folder_, number_).c_str());
  ::close(lockFd_);
  if (connectionFd_ >= 0) ::close(connectionFd_);
  ::close(stopFd_);
}

std::filesystem::path PhoneServer::SocketPath() const {
  return usb::EmulatorSocketPath(folder_, number_);
}

void PhoneServer::Stop() {
  stopRequested_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(stopFd_, &one, sizeof(one));
}

PhoneServer::Step PhoneServer::Delay(int connection, std::uint32_t ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          until - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return Step::Continue;
    std::array<pollfd, 3> fds{
        {{stopFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}, {connection, POLLRDHUP, 0}}};
    if (::poll(fds.data(), fds.size(), static_cast<int>(left)) < 0) {
      if (errno == EINTR) continue;
      return Step::Stopped;
    }
    if (fds[0].revents) return Step::Stopped;
    // A host that went away while its reply was held back frees the telephone now.
    if (fds[2].revents) return Step::HostGone;
    if ((fds[1].revents & POLLIN) && !TurnAwayNewcomers(connection)) return Step::HostGone;
  }
}

void PhoneServer::Admit() {
  for (;;) {
    const int fresh = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fresh < 0) return;
    // Asked for each newcomer: the holder may have let go just before it came.
    if (connectionFd_ >= 0 && !HostStillThere(connectionFd_)) {
      ::close(connectionFd_);
      connectionFd_ = -1;
    }
    if (connectionFd_ < 0) {
      connectionFd_ = fresh;
      Greet(fresh, usb::kEmulatorYours);
    } else {
      Greet(fresh, usb::kEmulatorBusy);
      ::close(fresh);
    }
  }
}

bool PhoneServer::TurnAwayNewcomers(int connection) {
  for (;;) {
    // A newcomer after the holder let go is left waiting to be let in.
    if (!HostStillThere(connection)) return false;
    const int fresh = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fresh < 0) return true;
    Greet(fresh, usb::kEmulatorBusy);
    ::close(fresh);
  }
}

PhoneServer::End PhoneServer::Serve() {
  int& connection = connectionFd_;
  std::optional<End> end;
  while (!end) {
    std::array<pollfd, 3> fds{
        {{stopFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}, {connection, POLLIN, 0}}};
    if (::poll(fds.data(), connection >= 0 ? 3 : 2, -1) < 0) {
      if (errno == EINTR) continue;
      end = End::Stopped;
      break;
    }
    if (fds[0].revents) {
      end = End::Stopped;
      break;
    }
    if (connection >= 0 && fds[2].revents) {
      switch (AnswerBurst(connection)) {
        case Step::Continue:
        case Step::Idle:
          break;
        case Step::HostGone:  // the telephone is free for the next program
          ::close(connection);
          connection = -1;
          break;
        case Step::Stopped:
          end = End::Stopped;
          break;
        case Step::Vanished:
          end = End::Vanished;
          break;
      }
    }
    if (!end && (fds[1].revents & POLLIN)) Admit();
  }
  return *end;
}

PhoneServer::Step PhoneServer::AnswerBurst(int connection) {
  // A host reading a list sends its next command within microseconds of the
  // last reply; looking for it a moment before going back to sleep answers
  // it without a sleep and a wake-up on either side.
  auto until = std::chrono::steady_clock::now() + kSpinBeforeSleeping;
  auto doorCheck = std::chrono::steady_clock::now() + kDoorCheckEvery;
  for (;;) {
    if (stopRequested_) return Step::Stopped;
    if (std::chrono::steady_clock::now() >= doorCheck) {
      if (!TurnAwayNewcomers(connection)) return Step::HostGone;
      doorCheck = std::chrono::steady_clock::now() + kDoorCheckEvery;
    }
    const Step step = Answer(connection);
    if (step == Step::Idle) {
      if (std::chrono::steady_clock::now() >= until) return Step::Idle;
      continue;
    }
    if (step != Step::Continue) return step;
    until = std::chrono::steady_clock::now() + kSpinBeforeSleeping;
  }
}

PhoneServer::Step PhoneServer::Answer(int connection) {
  std::array<std::uint8_t, 64> message{};
  const ssize_t n = ::recv(connection, message.data(), message.size(), MSG_DONTWAIT);
  if (n < 0) return errno == EAGAIN || errno == EINTR ? Step::Idle : Step::HostGone;
  if (n == 0) return Step::HostGone;
  if (n != 8) return Step::Continue;  // not a command: the telephone ignores it
  const std::span<const std::uint8_t, 8> command(message.data(), 8);
  ++received_;
  const FaultAction action = faults_.Next(command[0]);
  const Step waited = action.delayMs > 0 ? Delay(connection, action.delayMs) : Step::Continue;
  if (waited != Step::Continue) return waited;
  if (action.reply) {
    if (auto reply = model_->Answer(command)) {
      if (action.truncateTo && *action.truncateTo < reply->size()) reply->resize(*action.truncateTo);
      if (!reply->empty()) ::send(connection, reply->data(), reply->size(), MSG_NOSIGNAL);
    }
  }
  faults_.CountAnswered();
  ++answered_;
  return faults_.ShouldVanish() ? Step::Vanished : Step::Continue;
}

}  // namespace parlomax::phone
