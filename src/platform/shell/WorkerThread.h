#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace parlomax::shell {

// A job on a thread of its own: started once, asked to stop, and waited for
// by whoever must (a window never outlives its jobs' threads). A stop is a
// request that the job notices at its next check.
//
// A derived class must call StopAndWait() in its own destructor: the thread
// runs the derived class's Execute(), which must not outlive it.
class WorkerThread {
 public:
  enum class Priority { Lowest, Normal };

  WorkerThread() = default;
  virtual ~WorkerThread();

  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // `finished` runs on the job's thread as the very last thing it does.
  void Start(Priority priority, std::function<void()> finished = {});
  void RequestStop() { stopRequested_ = true; }
  bool StopRequested() const { return stopRequested_; }
  // Waits at most `timeout` for the job to end; true when it has.
  bool WaitFor(std::chrono::milliseconds timeout);
  // Waits for the job's thread, however long it takes.
  void Wait();
  void StopAndWait() {
    RequestStop();
    Wait();
  }

 protected:
  // The job's body, run on its thread.
  virtual void Execute() = 0;

 private:
  std::atomic<bool> stopRequested_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool finished_ = false;
};

}  // namespace parlomax::shell
