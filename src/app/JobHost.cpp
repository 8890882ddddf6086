#include "app/JobHost.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace parlomax::app {
namespace {

// The lowest priority an ordinary user can give a thread on Linux is the
// highest niceness; a normal thread keeps what it inherited.
constexpr int kLowestPriorityNiceness = 19;

void ApplyPriority(JobHost::Priority priority) {
  if (priority == JobHost::Priority::Lowest) {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kLowestPriorityNiceness);
  }
}

}  // namespace

struct JobHost::Running {
  JobId id = 0;
  std::unique_ptr<Job> job;
  std::mutex mutex;
  std::condition_variable ended;
  bool finished = false;
  std::jthread thread;
};

JobHost::JobHost(shell::ThreadChannel& channel, std::string threadName)
    : channel_(channel), threadName_(std::move(threadName)), current_(channel) {}

JobHost::~JobHost() { StopAll(); }

JobHost::JobId JobHost::Start(Priority priority, const std::function<std::unique_ptr<Job>(Port)>& make) {
  const Port port = current_.Begin();
  const JobId id = port.Id();
  auto running = std::make_unique<Running>();
  running->id = id;
  running->job = make(port);
  Running* started = running.get();
  running->thread = std::jthread([this, started, priority](std::stop_token stop) {
    ApplyPriority(priority);
    started->job->Run(std::move(stop));
    {
      std::lock_guard lock(started->mutex);
      started->finished = true;
    }
    started->ended.notify_all();
    // The last thing the thread does: after this nothing of it is touched.
    channel_.Post([this, id = started->id] { Forget(id); });
  });
  ::pthread_setname_np(running->thread.native_handle(), threadName_.c_str());
  running_.push_back(std::move(running));
  return id;
}

JobHost::Running* JobHost::Find(JobId job) {
  const auto it = std::find_if(running_.begin(), running_.end(),
                               [job](const auto& running) { return running->id == job; });
  return it == running_.end() ? nullptr : it->get();
}

void JobHost::Stop(JobId job, std::chrono::milliseconds grace) {
  Running* running = Find(job);
  if (running == nullptr) return;
  running->thread.request_stop();
  std::unique_lock lock(running->mutex);
  running->ended.wait_for(lock, grace, [running] { return running->finished; });
}

void JobHost::StopAll() {
  for (auto& running : running_) running->thread.request_stop();
  // Each thread is joined as its record goes, before the job it runs.
  running_.clear();
}

void JobHost::Forget(JobId job) {
  std::erase_if(running_, [job](const auto& running) { return running->id == job; });
}

}  // namespace parlomax::app
