#pragma once

#include "app/CurrentJob.h"
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
// of its own, and carries what they report to the window's thread: the job
// started last is the current one (see CurrentJob). A job is forgotten, and
// its thread joined, once its thread has ended.
class JobHost {
 public:
  enum class Priority { Lowest, Normal };
  using JobId = CurrentJob::JobId;

  // What runs on a job's thread, together with everything it reports to;
  // all of it lives until that thread has ended.
  class Job {
   public:
    virtual ~Job() = default;
    virtual void Run(std::stop_token stop) = 0;
  };

  using Port = CurrentJob::Port;

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
  void Silence() { current_.Silence(); }
  // Neither what the current job still reports nor its end is shown.
  void Abandon() { current_.Abandon(); }
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
  CurrentJob current_;
};

}  // namespace parlomax::app
