#include "platform/shell/WorkerThread.h"

#include <sys/resource.h>
#include <unistd.h>

namespace parlomax::shell {
namespace {

// The lowest priority an ordinary user can give a thread on Linux is the
// highest niceness; a normal thread keeps what it inherited.
void ApplyPriority(WorkerThread::Priority priority) {
  if (priority == WorkerThread::Priority::Lowest) ::setpriority(PRIO_PROCESS, ::gettid(), 19);
}

}  // namespace

WorkerThread::~WorkerThread() { StopAndWait(); }

void WorkerThread::Start(Priority priority, std::function<void()> finished) {
  thread_ = std::thread([this, priority, finished = std::move(finished)] {
    ApplyPriority(priority);
    Execute();
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    ended_.notify_all();
    if (finished) finished();
  });
}

bool WorkerThread::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return ended_.wait_for(lock, timeout, [this] { return finished_; });
}

void WorkerThread::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace parlomax::shell
