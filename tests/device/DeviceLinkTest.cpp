#include "device/DeviceLink.h"

#include "QtPrinters.h"
#include "RecordingMessageService.h"
#include "TestTelephone.h"
#include "device/PinLogin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace parlomax::device {
namespace {

using phone::LibraryCall;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

class DeviceLinkTest : public ::testing::Test {
 protected:
  DeviceLinkTest()
      : library_(testing::MakeTelephone({testing::MakeRecording(600, 1),
                                         testing::MakeRecording(300, 2)})),
        link_(library_, messages_) {}

  // The bytes of every write, in order.
  std::vector<Bytes> Writes() const {
    std::vector<Bytes> writes;
    for (const auto& call : library_.Calls()) {
      if (call.op == LibraryCall::Op::Write) writes.push_back(call.bytes);
    }
    return writes;
  }

  std::size_t CountOf(LibraryCall::Op op) const {
    std::size_t n = 0;
    for (const auto& call : library_.Calls()) n += call.op == op;
    return n;
  }

  void Open() {
    ASSERT_TRUE(link_.OpenFirstDevice());
    library_.ClearCalls();
  }

  testing::RecordingMessageService messages_;
  phone::InProcessDeviceLibrary library_;
  DeviceLink link_;
};

TEST_F(DeviceLinkTest, OpenSetsTenSecondTimeoutsFirstAndKeepsTheHandle) {
  EXPECT_EQ(link_.DeviceHandle(), 0u);
  ASSERT_TRUE(link_.OpenFirstDevice());
  const auto calls = library_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].op, LibraryCall::Op::SetTimeouts);
  EXPECT_EQ(calls[1].op, LibraryCall::Op::Open);
  EXPECT_EQ(library_.ReadTimeoutMs(), 10000u);
  EXPECT_EQ(library_.WriteTimeoutMs(), 10000u);
  EXPECT_NE(link_.DeviceHandle(), 0u);
  EXPECT_TRUE(link_.DeviceOpen());
}

TEST_F(DeviceLinkTest, AFailedOpenIsSilentAndChangesNothing) {
  library_.Unplug();
  EXPECT_FALSE(link_.OpenFirstDevice());
  EXPECT_EQ(link_.DeviceHandle(), 0u);
  EXPECT_FALSE(link_.DeviceOpen());
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(DeviceLinkTest, CommandFramesGoOutByteForByte) {
  Open();
  std::array<std::uint8_t, 256> reply{};
  // The copy jobs' style: the whole frame is zeroed, so the unused bytes are 0.
  ASSERT_TRUE(link_.Exchange(Command::ReadHeader(300), FramePreparation::ClearWholeFrame, reply));
  ASSERT_TRUE(
      link_.Exchange(Command::ReadMemory(4096, 256), FramePreparation::ClearWholeFrame, reply));
  ASSERT_TRUE(link_.Exchange(Command::ReadMemory(4096 + 256, 1), FramePreparation::ClearWholeFrame,
                             reply));
  ASSERT_TRUE(link_.Exchange(Command::ReadMemory(0x12345678, 255),
                             FramePreparation::ClearWholeFrame, reply));
  ASSERT_TRUE(link_.Exchange(Command::ReadCount(), FramePreparation::ClearWholeFrame, reply));
  ASSERT_TRUE(link_.Exchange(Command::ReadPin(), FramePreparation::ClearWholeFrame, reply));
  EXPECT_EQ(Writes(), (std::vector<Bytes>{
                          {0x02, 0x2C, 0x01, 0, 0, 0, 0, 0},
                          {0x03, 0x00, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00},
                          {0x03, 0x00, 0x11, 0x00, 0x00, 0x01, 0x00, 0x00},
                          {0x03, 0x78, 0x56, 0x34, 0x12, 0xFF, 0x00, 0x00},
                          {0x01, 0, 0, 0, 0, 0, 0, 0},
                          {0x04, 0, 0, 0, 0, 0, 0, 0},
                      }));
}

TEST_F(DeviceLinkTest, TheListStyleLeavesTheLastReplyInTheUnusedBytes) {
  Open();
  std::array<std::uint8_t, 19> header{};
  ASSERT_TRUE(link_.Exchange(Command::ReadHeader(0), FramePreparation::KeepOtherBytes, header));
  ASSERT_TRUE(link_.Exchange(Command::ReadHeader(1), FramePreparation::KeepOtherBytes, header));
  const auto first = library_.Model().Header(0);
  const auto writes = Writes();
  ASSERT_EQ(writes.size(), 2u);
  // Bytes 0-2 are the command; 3-7 still hold the first header's bytes 3-7.
  EXPECT_EQ(writes[1], (Bytes{0x02, 0x01, 0x00, first[3], first[4], first[5], first[6], first[7]}));
  EXPECT_EQ(header, library_.Model().Header(1));
}

TEST_F(DeviceLinkTest, RepliesArriveInTheCallersBuffer) {
  Open();
  std::array<std::uint8_t, 2> count{};
  ASSERT_TRUE(link_.Exchange(Command::ReadCount(), FramePreparation::KeepOtherBytes, count));
  EXPECT_EQ(count, (std::array<std::uint8_t, 2>{2, 0}));

  std::array<std::uint8_t, 4> pin{};
  ASSERT_TRUE(link_.Exchange(Command::ReadPin(), FramePreparation::KeepOtherBytes, pin));
  EXPECT_EQ(pin, (std::array<std::uint8_t, 4>{9, 1, 7, 4}));

  const auto payload = library_.Model().Payload(1);
  const std::uint32_t start = catalogue::StartAddress(library_.Model().Header(1));
  std::vector<std::uint8_t> chunk(256, 0xEE);
  ASSERT_TRUE(
      link_.Exchange(Command::ReadMemory(start, 256), FramePreparation::ClearWholeFrame, chunk));
  EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), payload.begin()));
}

TEST_F(DeviceLinkTest, AReplyShorterThanItsCommandsIsAFailedReadForEveryCommand) {
  Open();
  // Zeros in place of the missing bytes would pass for a count, a header,
  // sound or a PIN: each command's short reply fails as a read does.
  struct Case {
    Command command;
    std::size_t size;
  };
  for (const Case& c : {Case{Command::ReadCount(), 2}, Case{Command::ReadHeader(1), 19},
                        Case{Command::ReadMemory(0, 100), 100}, Case{Command::ReadPin(), 4}}) {
    messages_.Clear();
    std::vector<std::uint8_t> reply(c.size, 0xEE);
    library_.ShortenNextReply(static_cast<std::uint32_t>(c.size - 1));
    EXPECT_FALSE(link_.Exchange(c.command, FramePreparation::ClearWholeFrame, reply)) << int(c.command.code);
    EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB读数据错误"}) << int(c.command.code);
    EXPECT_TRUE(std::all_of(reply.begin(), reply.end(), [](auto b) { return b == 0xEE; }))
        << "nothing of a short reply reaches its caller";
    // The next exchange is whole again.
    messages_.Clear();
    EXPECT_TRUE(link_.Exchange(c.command, FramePreparation::ClearWholeFrame, reply));
    EXPECT_TRUE(messages_.Messages().empty());
  }
}

TEST_F(DeviceLinkTest, AFailedWriteIsReportedAndNothingIsRead) {
  Open();
  library_.FailNextWrite();
  std::array<std::uint8_t, 2> reply{0xAA, 0xBB};
  EXPECT_FALSE(link_.Exchange(Command::ReadCount(), FramePreparation::KeepOtherBytes, reply));
  EXPECT_EQ(CountOf(LibraryCall::Op::Read), 0u);
  EXPECT_EQ(reply, (std::array<std::uint8_t, 2>{0xAA, 0xBB}));
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0],
            (testing::RecordingMessageService::Message{"Waring", "USB写命令错误",
                                                       shell::MessageIcon::Warning}));
}

TEST_F(DeviceLinkTest, AFailedReadIsReported) {
  Open();
  library_.FailNextRead();
  std::array<std::uint8_t, 4> reply{};
  EXPECT_FALSE(link_.Exchange(Command::ReadPin(), FramePreparation::KeepOtherBytes, reply));
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"USB读数据错误"}));
}

TEST_F(DeviceLinkTest, AnUnpluggedTelephoneFailsAtTheWrite) {
  Open();
  library_.Unplug();
  std::array<std::uint8_t, 2> reply{};
  EXPECT_FALSE(link_.Exchange(Command::ReadCount(), FramePreparation::KeepOtherBytes, reply));
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"USB写命令错误"}));
  EXPECT_EQ(link_.CountDevices(), 0u);
}

TEST_F(DeviceLinkTest, PausesBeforeReadingWhenAsked) {
  Open();
  std::array<std::uint8_t, 19> header{};
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(
      link_.Exchange(Command::ReadHeader(0), FramePreparation::ClearWholeFrame, header, 100ms));
  EXPECT_GE(std::chrono::steady_clock::now() - before, 100ms);
}

TEST_F(DeviceLinkTest, CloseAtExitLeavesANeverOpenedLibraryAlone) {
  link_.CloseAtExit();
  EXPECT_TRUE(library_.CallsBesidesCount().empty());
}

TEST_F(DeviceLinkTest, CloseAtExitFlushesAndClosesTheLastHandleEvenAfterAnUnplug) {
  ASSERT_TRUE(link_.OpenFirstDevice());
  library_.Unplug();
  library_.PlugIn();
  ASSERT_TRUE(link_.OpenFirstDevice());  // a second open after plugging in again
  const usb::DeviceHandle last = link_.DeviceHandle();
  library_.ClearCalls();
  link_.CloseAtExit();
  EXPECT_EQ(library_.CallsBesidesCount(),
            (std::vector<LibraryCall>{{LibraryCall::Op::Flush, last},
                                      {LibraryCall::Op::Close, last}}));
}

TEST_F(DeviceLinkTest, ALostTelephoneEndsTheOpenAndTheLoginButItsHandleIsStillClosedAtExit) {
  Open();
  ASSERT_EQ(LogIn(link_, QStringLiteral("9174"), {}), LoginOutcome::Accepted);
  link_.TelephoneSeen();
  const usb::DeviceHandle handle = link_.DeviceHandle();
  link_.TelephoneLost();
  EXPECT_FALSE(link_.DeviceAttached());
  EXPECT_FALSE(link_.DeviceOpen());
  EXPECT_FALSE(link_.LoggedIn());
  EXPECT_EQ(link_.DeviceHandle(), handle);
  library_.ClearCalls();
  link_.CloseAtExit();
  EXPECT_EQ(library_.CallsBesidesCount(),
            (std::vector<LibraryCall>{{LibraryCall::Op::Flush, handle}, {LibraryCall::Op::Close, handle}}));
}

TEST_F(DeviceLinkTest, StartingAfreshEndsTheOpenAndTheLoginButKeepsWhatTheWatchSaw) {
  Open();
  ASSERT_EQ(LogIn(link_, QStringLiteral("9174"), {}), LoginOutcome::Accepted);
  link_.TelephoneSeen();
  link_.StartAfresh();
  EXPECT_TRUE(link_.DeviceAttached());
  EXPECT_FALSE(link_.DeviceOpen());
  EXPECT_FALSE(link_.LoggedIn());
  link_.TelephoneLost();
  link_.StartAfresh();
  EXPECT_FALSE(link_.DeviceAttached());
}

TEST_F(DeviceLinkTest, ExchangesFromTwoThreadsNeverMixTheirReplies) {
  Open();
  const auto header0 = library_.Model().Header(0);
  const auto header1 = library_.Model().Header(1);
  std::atomic<int> wrong{0};
  auto worker = [&](std::uint16_t index, const catalogue::RecordingHeader& expected) {
    for (int i = 0; i < 300; ++i) {
      std::array<std::uint8_t, 19> header{};
      if (!link_.Exchange(Command::ReadHeader(index), FramePreparation::ClearWholeFrame, header) ||
          header != expected) {
        ++wrong;
      }
    }
  };
  std::thread a(worker, 0, header0);
  std::thread b(worker, 1, header1);
  a.join();
  b.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace parlomax::device
