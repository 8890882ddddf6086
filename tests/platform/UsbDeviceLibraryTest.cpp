// The libusb backend against a telephone on an emulated USB bus. Runs only
// inside umockdev-wrapper; skipped elsewhere.
#include <umockdev.h>  // before Qt: see UsbTelephone.cpp

#include "LateReplyChecks.h"
#include "RecordingMessageService.h"
#include "TempFolder.h"
#include "UsbLibraryFixture.h"
#include "device/PinLogin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace parlomax::usb {
namespace {

using Bytes = std::vector<std::uint8_t>;

class UsbDeviceLibraryTest : public testing::UsbLibraryFixture<::testing::Test> {
 protected:
  void SetUp() override { PlugInTelephone(); }

  DeviceHandle Open() {
    DeviceHandle handle = 0;
    EXPECT_EQ(library_->Open(0, handle), kSuccess);
    return handle;
  }
};

TEST_F(UsbDeviceLibraryTest, CountsOpensAndEnablesTheTelephone) {
  std::uint32_t count = 0;
  library_->DeviceCount(count);
  EXPECT_EQ(count, 1u);
  const DeviceHandle handle = Open();
  EXPECT_NE(handle, 0u);
  const auto controls = telephone_->ControlRequests();
  ASSERT_FALSE(controls.empty());
  EXPECT_EQ(controls.back(), (std::pair<std::uint8_t, std::uint16_t>{0x00, 0x0001}));
  EXPECT_EQ(library_->Close(handle), kSuccess);
  EXPECT_EQ(telephone_->ControlRequests().back(), (std::pair<std::uint8_t, std::uint16_t>{0x00, 0x0000}));
}

TEST_F(UsbDeviceLibraryTest, TheFourCommandsGoOutAndComeBackByteForByte) {
  const DeviceHandle handle = Open();
  Bytes reply;
  ASSERT_EQ(Exchange(handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kSuccess);
  EXPECT_EQ(reply, (Bytes{2, 0}));
  ASSERT_EQ(Exchange(handle, {2, 1, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess);
  const auto header = model_->Header(1);
  EXPECT_EQ(reply, Bytes(header.begin(), header.end()));
  const std::uint32_t start = catalogue::StartAddress(header);
  ASSERT_EQ(Exchange(handle,
                     {3, static_cast<std::uint8_t>(start), static_cast<std::uint8_t>(start >> 8), 0, 0, 0, 1, 0},
                     256, reply),
            kSuccess);
  const auto payload = model_->Payload(1);
  EXPECT_EQ(reply, Bytes(payload.begin(), payload.begin() + 256));
  ASSERT_EQ(Exchange(handle, {4, 0, 0, 0, 0, 0, 0, 0}, 4, reply), kSuccess);
  EXPECT_EQ(reply, (Bytes{3, 1, 4, 1}));
  EXPECT_EQ(telephone_->Commands().back(), (Bytes{4, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(UsbDeviceLibraryTest, AnUnansweredOrShortReplyTimesOut) {
  const DeviceHandle handle = Open();
  library_->SetTimeouts(300, 300);
  telephone_->IgnoreCommand(4);
  Bytes reply;
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(Exchange(handle, {4, 0, 0, 0, 0, 0, 0, 0}, 4, reply), kTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
  telephone_->ShortenNextReply(5);
  EXPECT_EQ(Exchange(handle, {2, 0, 0, 0, 0, 0, 0, 0}, 19, reply), kTimedOut);
  EXPECT_EQ(reply.size(), 5u) << "what arrived is counted honestly";
}

TEST_F(UsbDeviceLibraryTest, FlushPurgesTheChipAndDropsWhatArrivedUnread) {
  const DeviceHandle handle = Open();
  ASSERT_NO_FATAL_FAILURE(FlushWithHalfAReplyUnread(handle));
  EXPECT_EQ(telephone_->ControlRequests().back(), (std::pair<std::uint8_t, std::uint16_t>{0x12, 0x000F}));
  Bytes reply;
  ASSERT_EQ(Exchange(handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kSuccess);
  EXPECT_EQ(reply, (Bytes{2, 0}));  // the count, not the rest of the PIN
}

TEST_F(UsbDeviceLibraryTest, AnUnpluggedTelephoneFailsAndCountsNoMore) {
  const DeviceHandle handle = Open();
  telephone_->Unplug();
  Bytes reply;
  EXPECT_EQ(Exchange(handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kNoDevice);
  std::uint32_t count = 9;
  for (int i = 0; i < 100 && count != 0; ++i) {
    library_->DeviceCount(count);
    if (count) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(count, 0u);
}

// A telephone whose reply comes after the read gave up, but before the next
// command (the user is still reading the error message): that reply must not
// be taken for the next command's.
class LateUsbReplyTest : public UsbDeviceLibraryTest {
 protected:
  void SetUp() override {
    UsbDeviceLibraryTest::SetUp();
    if (IsSkipped()) return;
    model_ = testing::MakeTelephone({testing::MakeRecording(700, 1), testing::MakeRecording(600, 2),
                                     testing::MakeRecording(513, 3), testing::MakeRecording(300, 4)});
    telephone_.emplace(model_);
    link_.emplace(*library_, messages_);
    ASSERT_TRUE(link_->OpenFirstDevice());
    ASSERT_EQ(device::LogIn(*link_, QStringLiteral("9174"), {}), device::LoginOutcome::Accepted);
    library_->SetTimeouts(300, 300);
    messages_.TakeTimeToClose(std::chrono::milliseconds(500));
  }
  testing::RecordingMessageService messages_;
  std::optional<device::DeviceLink> link_;
};

TEST_F(LateUsbReplyTest, EveryLaterFileOfACopyIsExact) {
  telephone_->DelayReply(3, 2, std::chrono::milliseconds(600));  // recording 0, second chunk
  testing::TempFolder folder;
  testing::ExpectCopiesExactAfterALateReply(*link_, messages_, *model_, folder.Path(), 0);
  EXPECT_EQ(messages_.Texts(),
            (std::vector<QString>{"USB读数据错误", transfer::NotCopiedWholeText(1)}));
}

TEST_F(LateUsbReplyTest, EveryLaterRowOfTheListShowsItsOwnRecording) {
  telephone_->DelayReply(2, 2, std::chrono::milliseconds(600));  // recording 1's header
  testing::ExpectListRowsTrueAfterALateReply(*link_, *model_, 1);
}

TEST_F(LateUsbReplyTest, AReplyLaterThanTheNextCommandCostsThatCommandItsReplyOnly) {
  // Late beyond the read time-out and the quiet wait before the next command.
  library_->SetTimeouts(800, 800);
  telephone_->DelayReply(2, 2, std::chrono::milliseconds(1400));
  const DeviceHandle handle = link_->DeviceHandle();
  Bytes reply;
  ASSERT_EQ(Exchange(handle, {2, 0, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess);
  EXPECT_EQ(Exchange(handle, {2, 1, 0, 0, 0, 0, 0, 0}, 19, reply), kTimedOut);
  // The late reply arrives while this command is under way: refused.
  EXPECT_NE(Exchange(handle, {2, 2, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess);
  ASSERT_EQ(Exchange(handle, {2, 3, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess);
  const auto header = model_->Header(3);
  EXPECT_EQ(reply, Bytes(header.begin(), header.end()));
}

}  // namespace
}  // namespace parlomax::usb
