#include "device/PinLogin.h"

#include "QtPrinters.h"
#include "RecordingMessageService.h"
#include "TestTelephone.h"
#include "device/DeviceLink.h"

#include <gtest/gtest.h>

namespace parlomax::device {
namespace {

using phone::LibraryCall;

class PinLoginTest : public ::testing::Test {
 protected:
  PinLoginTest()
      : library_(testing::MakeTelephone({testing::MakeRecording(10)}, {0, 9, 1, 7})),
        link_(library_, messages_) {
    link_.OpenFirstDevice();
    library_.ClearCalls();
  }
  // Logs in with `typed`, noting whether the login still stood when the refusal was told.
  LoginOutcome Enter(const QString& typed) {
    return LogIn(link_, typed, [this] { toldWhileLoggedIn_.push_back(link_.LoggedIn()); });
  }

  testing::RecordingMessageService messages_;
  phone::InProcessDeviceLibrary library_;
  DeviceLink link_;
  std::vector<bool> toldWhileLoggedIn_;
};

TEST_F(PinLoginTest, FlushesThenReadsThePinAndAcceptsTheTelephonesOwn) {
  EXPECT_EQ(Enter(QStringLiteral("0917")), LoginOutcome::Accepted);
  EXPECT_TRUE(link_.LoggedIn());
  const auto calls = library_.CallsBesidesCount();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].op, LibraryCall::Op::Flush);
  ASSERT_EQ(calls[1].op, LibraryCall::Op::Write);
  EXPECT_EQ(calls[1].bytes[0], 4);
  EXPECT_EQ(calls[2].op, LibraryCall::Op::Read);
  EXPECT_EQ(calls[2].size, 4u);
  EXPECT_TRUE(toldWhileLoggedIn_.empty());
}

TEST_F(PinLoginTest, ARefusalIsToldWhileAnEarlierLoginStandsAndThenEndsIt) {
  ASSERT_EQ(Enter(QStringLiteral("0917")), LoginOutcome::Accepted);
  EXPECT_EQ(Enter(QStringLiteral("9174")), LoginOutcome::Refused);
  EXPECT_EQ(toldWhileLoggedIn_, std::vector<bool>{true});
  EXPECT_FALSE(link_.LoggedIn());
  EXPECT_TRUE(messages_.Messages().empty()) << "the caller tells the user, not the link";
}

TEST_F(PinLoginTest, TheTextMustBeFourCharactersLongAsWellAsTheNumber) {
  EXPECT_EQ(Enter(QStringLiteral(" 917")), LoginOutcome::Accepted);
  EXPECT_EQ(Enter(QStringLiteral("917")), LoginOutcome::Refused);
  EXPECT_EQ(Enter(QStringLiteral("917x")), LoginOutcome::Accepted);
}

TEST_F(PinLoginTest, AFailedExchangeIsReportedAndLeavesTheLoginAsItWas) {
  ASSERT_EQ(Enter(QStringLiteral("0917")), LoginOutcome::Accepted);
  library_.FailNextWrite();
  EXPECT_EQ(Enter(QStringLiteral("1111")), LoginOutcome::ExchangeFailed);
  library_.ShortenNextReply(2);
  EXPECT_EQ(Enter(QStringLiteral("0900")), LoginOutcome::ExchangeFailed);
  EXPECT_TRUE(link_.LoggedIn());
  EXPECT_TRUE(toldWhileLoggedIn_.empty());
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"USB写命令错误", "USB读数据错误"}));
}

}  // namespace
}  // namespace parlomax::device
