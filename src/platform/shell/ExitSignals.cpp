#include "platform/shell/ExitSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdint>
#include <stdexcept>

#include <sys/eventfd.h>
#include <unistd.h>

namespace parlomax::shell {
namespace {

int wakeFd = -1;
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only what is safe inside a signal handler: a write to a descriptor.
void OnSignal(int) {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(wakeFd, &one, sizeof(one));
}

}  // namespace

ExitSignals::ExitSignals(std::function<void()> onExit) : onExit_(std::move(onExit)) {
  wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0) throw std::runtime_error("无法建立退出信号的通知（eventfd）");
  notifier_ = new QSocketNotifier(wakeFd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t ignored = ::read(wakeFd, &count, sizeof(count));
    if (onExit_) onExit_();
  });
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : kSignals) ::sigaction(s, &action, nullptr);
}

ExitSignals::~ExitSignals() {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  for (int s : kSignals) ::sigaction(s, &fallback, nullptr);
  delete notifier_;
  ::close(wakeFd);
  wakeFd = -1;
}

}  // namespace parlomax::shell
