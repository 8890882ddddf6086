#pragma once

#include "platform/shell/ThreadChannel.h"

#include <cstdint>
#include <functional>

namespace parlomax::app {

// Which of one feature's jobs (a copy, a conversion, a playback) the window
// shows, and the way each of them hands its changes to the window's thread.
//
// The job begun last is the current one: its changes are applied on the
// window's thread until the window silences it (a stop); its end is
// applied as long as no later job has begun and the window has not
// abandoned it. So a stopped job that is still finishing its last step can
// never undo the window of the job after it, nor a doomed one the window's
// reset.
class CurrentJob {
 public:
  using JobId = std::uint64_t;

  // One job's way to the window's thread, bound to its number. Usable from
  // any thread; never waits for the window.
  class Port {
   public:
    // Applied while the job is current and not silenced.
    void Post(std::function<void()> change) const;
    // The job's end: applied while no later job has begun and the job has
    // not been abandoned.
    void PostEnd(std::function<void()> change) const;
    JobId Id() const { return job_; }

   private:
    friend class CurrentJob;
    Port(CurrentJob& owner, JobId job) : owner_(&owner), job_(job) {}
    CurrentJob* owner_;
    JobId job_;
  };

  explicit CurrentJob(shell::ThreadChannel& channel) : channel_(channel) {}
  CurrentJob(const CurrentJob&) = delete;
  CurrentJob& operator=(const CurrentJob&) = delete;

  // On the window's thread: a new job becomes the current one.
  Port Begin() {
    silenced_ = false;
    return Port(*this, ++latest_);
  }
  // On the window's thread: what the current job still reports is no longer
  // shown; its end still is.
  void Silence() { silenced_ = true; }
  // On the window's thread: the current job is given up (what it worked
  // with has gone), so neither what it still reports nor its end is shown;
  // the window has already been put back.
  void Abandon() {
    silenced_ = true;
    ++latest_;
  }

 private:
  shell::ThreadChannel& channel_;
  // Touched on the window's thread only.
  JobId latest_ = 0;
  bool silenced_ = false;
};

inline void CurrentJob::Port::Post(std::function<void()> change) const {
  owner_->channel_.Post([owner = owner_, job = job_, change = std::move(change)] {
    if (owner->latest_ == job && !owner->silenced_) change();
  });
}

inline void CurrentJob::Port::PostEnd(std::function<void()> change) const {
  owner_->channel_.Post([owner = owner_, job = job_, change = std::move(change)] {
    if (owner->latest_ == job) change();
  });
}

}  // namespace parlomax::app
