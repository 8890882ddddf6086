#include "platform/shell/ThreadChannel.h"

#include <QSocketNotifier>

#include <cstdint>
#include <stdexcept>

#include <sys/eventfd.h>
#include <unistd.h>

namespace parlomax::shell {

ThreadChannel::ThreadChannel(QObject* parent)
    : QObject(parent), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (wakeFd_ < 0) throw std::runtime_error("无法建立线程间的通知（eventfd）");
  notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &ThreadChannel::RunPending);
}

ThreadChannel::~ThreadChannel() {
  delete notifier_;
  ::close(wakeFd_);
}

void ThreadChannel::Post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(work));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof(one));
}

void ThreadChannel::RunPending() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &count, sizeof(count));
  std::deque<std::function<void()>> work;
  {
    std::lock_guard lock(mutex_);
    work.swap(pending_);
  }
  for (auto& w : work) w();
}

}  // namespace parlomax::shell
