#include "platform/usb/CombinedDeviceLibrary.h"

#include "TestTelephone.h"

#include <gtest/gtest.h>

namespace parlomax::usb {
namespace {

// Two in-process telephones with different PINs behind one library, so a
// reply shows which backend answered.
class CombinedDeviceLibraryTest : public ::testing::Test {
 protected:
  CombinedDeviceLibraryTest() {
    auto a = std::make_unique<phone::InProcessDeviceLibrary>(
        testing::MakeTelephone({}, {1, 1, 1, 1}));
    auto b = std::make_unique<phone::InProcessDeviceLibrary>(
        testing::MakeTelephone({}, {2, 2, 2, 2}));
    first_ = a.get();
    second_ = b.get();
    combined_.AddBackend(std::move(a));
    combined_.AddBackend(std::move(b));
  }

  std::uint8_t PinDigit(DeviceHandle handle) {
    const std::uint8_t command[8] = {4};
    std::uint32_t n = 0;
    EXPECT_EQ(combined_.Write(handle, command, 8, n), kSuccess);
    std::uint8_t reply[4] = {};
    EXPECT_EQ(combined_.Read(handle, reply, 4, n), kSuccess);
    return reply[0];
  }

  phone::InProcessDeviceLibrary* first_;
  phone::InProcessDeviceLibrary* second_;
  CombinedDeviceLibrary combined_;
};

TEST_F(CombinedDeviceLibraryTest, NumbersDevicesThroughTheBackendsInOrder) {
  std::uint32_t count = 0;
  combined_.DeviceCount(count);
  EXPECT_EQ(count, 2u);

  DeviceHandle h0 = 0, h1 = 0;
  ASSERT_EQ(combined_.Open(0, h0), kSuccess);
  ASSERT_EQ(combined_.Open(1, h1), kSuccess);
  EXPECT_NE(h0, 0u);
  EXPECT_NE(h0, h1);
  EXPECT_EQ(PinDigit(h0), 1);
  EXPECT_EQ(PinDigit(h1), 2);
  DeviceHandle none = 0;
  EXPECT_NE(combined_.Open(2, none), kSuccess);
}

TEST_F(CombinedDeviceLibraryTest, DeviceZeroIsTheFirstBackendThatHasOne) {
  first_->Unplug();
  std::uint32_t count = 0;
  combined_.DeviceCount(count);
  EXPECT_EQ(count, 1u);
  DeviceHandle h = 0;
  ASSERT_EQ(combined_.Open(0, h), kSuccess);
  EXPECT_EQ(PinDigit(h), 2);
}

TEST_F(CombinedDeviceLibraryTest, PassesTimeoutsToEveryBackendAndForgetsClosedHandles) {
  combined_.SetTimeouts(1234, 5678);
  EXPECT_EQ(first_->ReadTimeoutMs(), 1234u);
  EXPECT_EQ(second_->WriteTimeoutMs(), 5678u);

  DeviceHandle h = 0;
  ASSERT_EQ(combined_.Open(1, h), kSuccess);
  EXPECT_EQ(combined_.Flush(h, 0, 0), kSuccess);
  EXPECT_EQ(combined_.Close(h), kSuccess);
  EXPECT_EQ(combined_.Close(h), kInvalidHandle);
  std::uint32_t n = 0;
  std::uint8_t buffer[8] = {1};
  EXPECT_EQ(combined_.Write(h, buffer, 8, n), kInvalidHandle);
  EXPECT_EQ(combined_.Read(0, buffer, 8, n), kInvalidHandle);
}

TEST(CombinedDeviceLibraryEmpty, CountsNothingAndOpensNothing) {
  CombinedDeviceLibrary empty;
  std::uint32_t count = 5;
  empty.DeviceCount(count);
  EXPECT_EQ(count, 0u);
  DeviceHandle h = 0;
  EXPECT_NE(empty.Open(0, h), kSuccess);
}

}  // namespace
}  // namespace parlomax::usb
