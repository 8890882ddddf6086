#include "platform/usb/ReplySettling.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace parlomax::usb {
namespace {

using namespace std::chrono_literals;
using Windows = std::vector<std::chrono::milliseconds>;

// A pipe on which `arrivals` more things arrive, each noted with the window
// it was waited for in.
struct FakePipe {
  explicit FakePipe(int arrivals = 0) : arrivals(arrivals) {}
  int arrivals;
  Windows windows;
  ReplySettling::DropWhatArrives Drop() {
    return [this](std::chrono::milliseconds window) {
      windows.push_back(window);
      return arrivals-- > 0;
    };
  }
};

TEST(ReplySettling, NothingWaitsOrIsCheckedBeforeAReadFails) {
  ReplySettling settling;
  EXPECT_FALSE(settling.Unsettled());
  bool asked = false;
  EXPECT_TRUE(settling.ReplyStands([&](std::chrono::milliseconds) { return asked = true; }));
  EXPECT_FALSE(asked);
}

TEST(ReplySettling, AfterAFailedReadDrainsUntilAQuietPeriodPassesWithNothing) {
  ReplySettling settling;
  settling.ReadFailed();
  ASSERT_TRUE(settling.Unsettled());
  FakePipe pipe(3);
  settling.Settle(10s, pipe.Drop());
  EXPECT_EQ(pipe.windows, (Windows{kQuietPeriod, kQuietPeriod, kQuietPeriod, kQuietPeriod}));
  EXPECT_EQ(kQuietPeriod, 300ms);
  EXPECT_FALSE(settling.Unsettled());
}

TEST(ReplySettling, NeverDrainsLongerThanTheLimit) {
  ReplySettling settling;
  settling.ReadFailed();
  Windows windows;
  const auto before = std::chrono::steady_clock::now();
  settling.Settle(60ms, [&](std::chrono::milliseconds window) {
    windows.push_back(window);
    std::this_thread::sleep_for(10ms);  // something arrives all the time
    return true;
  });
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
  ASSERT_FALSE(windows.empty());
  for (const auto window : windows) EXPECT_LE(window, 60ms);
  EXPECT_FALSE(settling.Unsettled());
}

TEST(ReplySettling, OnlyTheFirstReplyAfterSettlingIsCheckedForAnotherBehindIt) {
  ReplySettling settling;
  settling.ReadFailed();
  FakePipe quiet;
  settling.Settle(10s, quiet.Drop());
  Windows asked;
  const auto follows = [&](std::chrono::milliseconds window) {
    asked.push_back(window);
    return true;
  };
  EXPECT_FALSE(settling.ReplyStands(follows));
  EXPECT_TRUE(settling.ReplyStands(follows));
  EXPECT_EQ(asked, Windows{kQuietPeriod});

  settling.ReadFailed();
  settling.Settle(10s, quiet.Drop());
  EXPECT_TRUE(settling.ReplyStands([](std::chrono::milliseconds) { return false; }));
}

TEST(ReplySettling, AReadThatFailsAfterSettlingIsNotCheckedButSettledAgain) {
  ReplySettling settling;
  settling.ReadFailed();
  FakePipe quiet;
  settling.Settle(10s, quiet.Drop());
  settling.ReadFailed();
  EXPECT_TRUE(settling.Unsettled());
  EXPECT_TRUE(settling.ReplyStands([](std::chrono::milliseconds) { return true; }));
}

TEST(ReplySettling, MoreThanTheReplySettlesBeforeTheNextCommandButTheReplyStood) {
  ReplySettling settling;
  settling.MoreThanTheReplyArrived();
  EXPECT_TRUE(settling.Unsettled());
  EXPECT_TRUE(settling.ReplyStands([](std::chrono::milliseconds) { return true; }));
}

}  // namespace
}  // namespace parlomax::usb
