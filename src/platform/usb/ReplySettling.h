#pragma once

#include <chrono>
#include <functional>

namespace parlomax::usb {

// How long the pipe must stay silent before whatever a failed exchange left
// on its way is taken to have all arrived.
inline constexpr std::chrono::milliseconds kQuietPeriod{300};

// What keeps the bytes of one command's reply from reaching another
// command's read, the same on every backend. After a failed read the
// telephone may still be sending that reply: before the next command the
// pipe is read and thrown away until it has been quiet for a while, and the
// first reply after that may still be the late one, so it counts only when
// nothing else follows it. The backend holds its own lock around each call.
class ReplySettling {
 public:
  // Reads whatever arrives within the window and throws it away; false when
  // nothing arrived or the pipe failed.
  using DropWhatArrives = std::function<bool(std::chrono::milliseconds window)>;
  // Whether anything arrives within the window.
  using SomethingArrives = std::function<bool(std::chrono::milliseconds window)>;

  // A read failed: nothing it got counts, and the next command waits.
  void ReadFailed();
  // More arrived than the reply: the next command waits in case more of it
  // is on its way, but the reply itself stood.
  void MoreThanTheReplyArrived();

  // Whether the next command must wait for the pipe to fall quiet first.
  bool Unsettled() const { return unsettled_; }
  // Drops what arrives until nothing has for kQuietPeriod, never for longer
  // than `limit` (a read's own time-out).
  void Settle(std::chrono::milliseconds limit, const DropWhatArrives& drop);
  // Whether a reply that arrived whole is this command's: false when it is
  // the first after settling and something follows it within kQuietPeriod.
  bool ReplyStands(const SomethingArrives& follows);

 private:
  bool unsettled_ = false;
  bool checkNextReply_ = false;
};

}  // namespace parlomax::usb
