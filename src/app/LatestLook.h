#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>
#include <vector>

namespace parlomax::shell {
class ThreadChannel;
}

namespace parlomax::app {

// Work on a thread of its own whose findings land on the window's thread
// only while it is the latest: a look started later, or a drop, makes
// everything an earlier one still hands over go nowhere. A dropped look is
// asked to stop and joined once it has ended, never waited for.
class LatestLook {
 public:
  // Hands `landing` to the window's thread, to run there if still latest.
  using Land = std::function<void(std::function<void()> landing)>;
  using Work = std::function<void(std::stop_token stop, const Land& land)>;

  explicit LatestLook(shell::ThreadChannel& channel) : channel_(channel) {}
  ~LatestLook();

  LatestLook(const LatestLook&) = delete;
  LatestLook& operator=(const LatestLook&) = delete;

  void Start(Work work);
  void Drop();

 private:
  struct Look {
    std::shared_ptr<std::atomic<bool>> current = std::make_shared<std::atomic<bool>>(true);
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
    std::jthread thread;
  };

  shell::ThreadChannel& channel_;
  std::vector<Look> looks_;
};

}  // namespace parlomax::app
