#include "platform/usb/ReplySettling.h"

#include <algorithm>

namespace parlomax::usb {

void ReplySettling::ReadFailed() {
  unsettled_ = true;
  checkNextReply_ = false;
}

void ReplySettling::MoreThanTheReplyArrived() { unsettled_ = true; }

void ReplySettling::Settle(std::chrono::milliseconds limit, const DropWhatArrives& drop) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !drop(std::min(kQuietPeriod, left))) break;
  }
  unsettled_ = false;
  checkNextReply_ = true;
}

bool ReplySettling::ReplyStands(const SomethingArrives& follows) {
  if (!checkNextReply_) return true;
  checkNextReply_ = false;
  return !follows(kQuietPeriod);
}

}  // namespace parlomax::usb
