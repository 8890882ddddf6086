#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace parlomax::testing {

// Runs a job (anything with Run(std::stop_token)) on a thread of its own, as
// the window does, so that a test can ask it to stop or give up waiting.
template <typename Job>
class JobThread {
 public:
  explicit JobThread(Job& job)
      : thread_([this, &job](std::stop_token stop) {
          job.Run(std::move(stop));
          std::lock_guard lock(mutex_);
          ended_ = true;
          endedSignal_.notify_all();
        }) {}

  void RequestStop() { thread_.request_stop(); }
  // True when the job ended within `timeout`.
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return endedSignal_.wait_for(lock, timeout, [this] { return ended_; });
  }
  void Wait() { thread_.join(); }

 private:
  std::mutex mutex_;
  std::condition_variable endedSignal_;
  bool ended_ = false;
  std::jthread thread_;  // last: it starts once everything it uses exists
};

// Runs `job` to its end on a thread of its own.
template <typename Job>
void RunOnItsOwnThread(Job& job) {
  JobThread<Job>(job).Wait();
}

}  // namespace parlomax::testing
