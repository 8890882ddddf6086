#include "transfer/CopyJob.h"

#include "platform/shell/MessageService.h"

#include <sys/resource.h>
#include <unistd.h>

namespace parlomax::transfer {
namespace {

// The lowest priority an ordinary user can give a thread on Linux is the
// highest niceness; a normal thread keeps what it inherited.
void ApplyPriority(CopyJob::Priority priority) {
  if (priority == CopyJob::Priority::Lowest) ::setpriority(PRIO_PROCESS, ::gettid(), 19);
}

}  // namespace

CopyJob::CopyJob(JobSetup setup) : setup_(std::move(setup)) {}

CopyJob::~CopyJob() {
  RequestStop();
  Wait();
}

void CopyJob::Start(Priority priority, std::function<void()> finished) {
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

bool CopyJob::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return ended_.wait_for(lock, timeout, [this] { return finished_; });
}

void CopyJob::Wait() {
  if (thread_.joinable()) thread_.join();
}

CopyContext CopyJob::Context() {
  return CopyContext{setup_.link, setup_.messages, setup_.view, writer_, setup_.saveFolder,
                     [this] { return StopRequested(); }, setup_.headerPause};
}

void CopyJob::EndJob(JobKind kind, bool complete, const QString& completionMessage) {
  if (complete && state_.LastRecordingComplete()) setup_.messages.Warn(completionMessage);
  setup_.view.EndJob(kind, setup_.generation, StopRequested());
}

}  // namespace parlomax::transfer
