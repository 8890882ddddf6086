#pragma once

#include "platform/usb/UsbDeviceLibrary.h"

#include "TestTelephone.h"
#include "UsbTelephone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace parlomax::testing {

// The libusb backend and a telephone with two short recordings on an
// emulated USB bus, for a fixture built on `GTestBase`. Outside
// umockdev-wrapper there is no such bus and the test is skipped.
template <typename GTestBase>
class UsbLibraryFixture : public GTestBase {
 protected:
  void PlugInTelephone(UsbChip chip = {}) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "umockdev")) {
      GTEST_SKIP() << "not running inside umockdev-wrapper";
    }
    model_ = MakeTelephone({MakeRecording(300, 1), MakeRecording(700, 2)}, {3, 1, 4, 1});
    telephone_.emplace(model_, chip);
    library_.emplace();
  }
  usb::Status Exchange(usb::DeviceHandle handle, std::vector<std::uint8_t> command,
                       std::uint32_t size, std::vector<std::uint8_t>& reply) {
    return ExchangeWith(*library_, handle, std::move(command), size, reply);
  }

  // The PIN asked for and half its reply read, then a flush: the rest of
  // that reply must not become the next command's.
  void FlushWithHalfAReplyUnread(usb::DeviceHandle handle) {
    std::uint32_t n = 0;
    const std::vector<std::uint8_t> pin{4, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(library_->Write(handle, pin.data(), 8, n), usb::kSuccess);
    std::vector<std::uint8_t> two(2);
    ASSERT_EQ(library_->Read(handle, two.data(), 2, n), usb::kSuccess);
    ASSERT_EQ(library_->Flush(handle, 0, 0), usb::kSuccess);
  }

  std::shared_ptr<phone::TelephoneModel> model_;
  std::optional<UsbTelephone> telephone_;
  std::optional<usb::UsbDeviceLibrary> library_;
};

}  // namespace parlomax::testing
