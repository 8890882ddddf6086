#pragma once

#include "RecordingMessageService.h"
#include "TestTelephone.h"
#include "device/DeviceLink.h"
#include "device/PinLogin.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace parlomax::testing {

// An in-process telephone, opened on a device link and logged in, with the
// messages of the link recorded. The calls of the login are left out of the
// calls the test looks at.
class TelephoneOnLink : public ::testing::Test {
 protected:
  void Plug(std::vector<phone::Recording> recordings) {
    library_.emplace(MakeTelephone(std::move(recordings)));
    link_.emplace(*library_, messages_);
    ASSERT_TRUE(link_->OpenFirstDevice());
    ASSERT_EQ(device::LogIn(*link_, QStringLiteral("9174"), {}), device::LoginOutcome::Accepted);
    library_->ClearCalls();
  }
  // The bytes of every command written with `code`, in order.
  std::vector<std::vector<std::uint8_t>> CommandsSent(std::uint8_t code) const {
    std::vector<std::vector<std::uint8_t>> sent;
    for (const auto& c : library_->Calls()) {
      if (c.op == phone::LibraryCall::Op::Write && c.bytes[0] == code) sent.push_back(c.bytes);
    }
    return sent;
  }

  RecordingMessageService messages_;
  std::optional<phone::InProcessDeviceLibrary> library_;
  std::optional<device::DeviceLink> link_;
};

}  // namespace parlomax::testing
