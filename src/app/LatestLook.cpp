#include "app/LatestLook.h"

#include "platform/shell/ThreadChannel.h"

namespace parlomax::app {

LatestLook::~LatestLook() { Drop(); }

void LatestLook::Drop() {
  for (auto& look : looks_) {
    *look.current = false;
    look.thread.request_stop();
  }
  std::erase_if(looks_, [](const Look& look) { return look.ended->load(); });
}

void LatestLook::Start(Work work) {
  Drop();
  Look& look = looks_.emplace_back();
  Land land = [&channel = channel_, current = look.current](std::function<void()> landing) {
    channel.Post([current, landing = std::move(landing)] {
      if (*current) landing();
    });
  };
  look.thread = std::jthread([work = std::move(work), land = std::move(land),
                              ended = look.ended](std::stop_token stop) {
    struct Ends {
      std::atomic<bool>& ended;
      ~Ends() { ended = true; }
    } ends{*ended};
    work(stop, land);
  });
}

}  // namespace parlomax::app
