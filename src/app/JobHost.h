#pragma once

#include "platform/shell/ThreadChannel.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace parlomax::app {

// Runs the window's background jobs (copies, conversions), each on a thread
// of its own, and carries what they report to the window's thread.
//
// Every job gets a number. The job started last is the current one: its
// reports are applied on the window's thread, until the window silences it
// (a stop, a reset); its end is applied as long as no later job has
// started, so a stopped job that is still finishing its last exchange can
// never undo the window of the job after it. A job is forgotten, and its
// thread joined, once its thread has ended.
class JobHost {
 public:
  enum class Priority { Lowest, Normal };
  using JobId = std::uint64_t;

  // What runs on a job's thread, together with everything it reports to;
  // all of it lives until that thread has ended.
  class Job {
   public:
    virtual ~Job() = default;
    virtual void Run(std::stop_token stop) = 0;
  };

  // A job's way to the window's thread, bound to its number. Usable from
  // any thread; never waits for the window.
  class Port {
   public:
    // Applied while the job is current and not silenced.
    void Post(std::function<void()> change) const;
    // The job's end: applied while no later job has started.
    void PostEnd(std::function<void()> change) const;

   private:
    friend class JobHost;
    Port(JobHost& host, JobId job) : host_(&host), job_(job) {}
    JobHost* host_;
    JobId job_;
  };

  // `threadName` names the jobs' threads (at most 15 characters), so that a
  // debugger, `top -H` or a test can tell them apart.
  JobHost(shell::ThreadChannel& channel, std::string threadName);
  // Asks every job to stop and waits for each.
  ~JobHost();

  JobHost(const JobHost&) = delete;
  JobHost& operator=(const JobHost&) = delete;

  // Makes the job from its port and starts it as the current job; on the
  // window's thread.
  JobId Start(Priority priority, const std::function<std::unique_ptr<Job>(Port)>& make);
  // What the current job still reports is no longer shown; its end still is.
  void Silence() { silenced_ = true; }
  // Asks `job`, if its thread still runs, to stop, and waits at most
  // `grace` for it to end.
  void Stop(JobId job, std::chrono::milliseconds grace);
  // Asks every job to stop and waits for each, however long it takes.
  void StopAll();

 private:
  struct Running;
  void Forget(JobId job);
  Running* Find(JobId job);

  shell::ThreadChannel& channel_;
  const std::string threadName_;
  // Touched on the window's thread only.
  std::vector<std::unique_ptr<Running>> running_;
  JobId latest_ = 0;
  bool silenced_ = false;
};

}  // namespace parlomax::app
