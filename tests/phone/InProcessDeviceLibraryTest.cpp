#include "phone/InProcessDeviceLibrary.h"

#include "TestTelephone.h"

#include <gtest/gtest.h>

namespace parlomax::phone {
namespace {

using Bytes = std::vector<std::uint8_t>;

class InProcessDeviceLibraryTest : public ::testing::Test {
 protected:
  InProcessDeviceLibraryTest() : library_(testing::MakeTelephone({testing::MakeRecording(50)})) {}

  usb::DeviceHandle Open() {
    usb::DeviceHandle handle = 0;
    EXPECT_EQ(library_.Open(0, handle), usb::kSuccess);
    return handle;
  }
  usb::Status Send(usb::DeviceHandle handle, Bytes frame) {
    std::uint32_t written = 0;
    return library_.Write(handle, frame.data(), static_cast<std::uint32_t>(frame.size()), written);
  }
  usb::Status Receive(usb::DeviceHandle handle, Bytes& reply, std::uint32_t size) {
    reply.assign(size, 0);
    std::uint32_t read = 0;
    const auto status = library_.Read(handle, reply.data(), size, read);
    reply.resize(read);
    return status;
  }

  InProcessDeviceLibrary library_;
};

TEST_F(InProcessDeviceLibraryTest, CountsOneTelephoneUntilUnplugged) {
  std::uint32_t count = 7;
  library_.DeviceCount(count);
  EXPECT_EQ(count, 1u);
  library_.Unplug();
  library_.DeviceCount(count);
  EXPECT_EQ(count, 0u);
  usb::DeviceHandle handle = 0;
  EXPECT_NE(library_.Open(0, handle), usb::kSuccess);
}

TEST_F(InProcessDeviceLibraryTest, AHandleDiesWithTheCableAndStaysDead) {
  const auto handle = Open();
  library_.Unplug();
  library_.PlugIn();
  Bytes reply;
  EXPECT_NE(Send(handle, {1, 0, 0, 0, 0, 0, 0, 0}), usb::kSuccess);
  const auto fresh = Open();
  EXPECT_NE(fresh, handle);
  EXPECT_EQ(Send(fresh, {1, 0, 0, 0, 0, 0, 0, 0}), usb::kSuccess);
  EXPECT_EQ(Receive(fresh, reply, 2), usb::kSuccess);
  EXPECT_EQ(reply, (Bytes{1, 0}));
}

TEST_F(InProcessDeviceLibraryTest, FlushDropsTheUnreadReply) {
  const auto handle = Open();
  ASSERT_EQ(Send(handle, {4, 0, 0, 0, 0, 0, 0, 0}), usb::kSuccess);
  ASSERT_EQ(library_.Flush(handle, 0, 0), usb::kSuccess);
  Bytes reply;
  EXPECT_EQ(Receive(handle, reply, 4), usb::kTimedOut);
}

TEST_F(InProcessDeviceLibraryTest, FaultSwitchesActOnceOrForAGivenCommand) {
  const auto handle = Open();
  Bytes reply;
  library_.FailNextWrite();
  EXPECT_NE(Send(handle, {4, 0, 0, 0, 0, 0, 0, 0}), usb::kSuccess);
  EXPECT_EQ(Send(handle, {4, 0, 0, 0, 0, 0, 0, 0}), usb::kSuccess);
  library_.FailNextRead();
  EXPECT_NE(Receive(handle, reply, 4), usb::kSuccess);

  library_.ShortenNextReply(3);
  ASSERT_EQ(Send(handle, {2, 0, 0, 0, 0, 0, 0, 0}), usb::kSuccess);
  EXPECT_EQ(Receive(handle, reply, 19), usb::kSuccess);
  EXPECT_EQ(reply.size(), 3u);

  library_.FailCommand(3);
  EXPECT_NE(Send(handle, {3, 0, 0, 0, 0, 1, 0, 0}), usb::kSuccess);
  EXPECT_NE(Send(handle, {3, 0, 0, 0, 0, 1, 0, 0}), usb::kSuccess);
  EXPECT_EQ(Send(handle, {1, 0, 0, 0, 0, 0, 0, 0}), usb::kSuccess);
}

TEST_F(InProcessDeviceLibraryTest, AnUnknownCommandGetsNoReply) {
  const auto handle = Open();
  ASSERT_EQ(Send(handle, {7, 0, 0, 0, 0, 0, 0, 0}), usb::kSuccess);
  Bytes reply;
  EXPECT_EQ(Receive(handle, reply, 1), usb::kTimedOut);
}

}  // namespace
}  // namespace parlomax::phone
