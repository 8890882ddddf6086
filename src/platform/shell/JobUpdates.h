#pragma once

#include "platform/shell/ThreadChannel.h"

#include <cstdint>
#include <functional>

namespace parlomax::shell {

// The window changes of one kind of work (copying, playback, conversion),
// each bound to the job that asked for it. The window numbers its jobs; a
// change is applied on the window's thread only while its job is still the
// current one there, so a job that was stopped, reset, or followed by
// another can no longer touch what the window shows.
class JobUpdates {
 public:
  explicit JobUpdates(ThreadChannel& channel) : channel_(channel) {}

  JobUpdates(const JobUpdates&) = delete;
  JobUpdates& operator=(const JobUpdates&) = delete;

  // On the window's thread: a new job becomes the current one.
  std::uint64_t Begin() { return current_ = ++latest_; }
  // On the window's thread: no job is current any more.
  void Retire() { current_ = 0; }
  bool IsCurrent(std::uint64_t job) const { return job != 0 && job == current_; }
  // The job started last, current or not.
  bool IsLatest(std::uint64_t job) const { return job == latest_; }

  // From any thread; returns at once.
  void Post(std::uint64_t job, std::function<void()> change) {
    channel_.Post([this, job, change = std::move(change)] {
      if (IsCurrent(job)) change();
    });
  }
  // A change that does not depend on the job being current (its end, say),
  // in the same order as the job's other changes.
  void PostAlways(std::function<void()> change) { channel_.Post(std::move(change)); }

 private:
  ThreadChannel& channel_;
  // Touched on the window's thread only.
  std::uint64_t latest_ = 0;
  std::uint64_t current_ = 0;
};

}  // namespace parlomax::shell
