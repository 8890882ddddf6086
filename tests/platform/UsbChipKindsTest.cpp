// The libusb backend against each kind of chip a telephone may carry at its
// IDs, on an emulated USB bus. Runs only inside umockdev-wrapper.
#include <umockdev.h>  // before Qt: see UsbTelephone.cpp

#include "UsbLibraryFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace parlomax::usb {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Request = std::pair<std::uint8_t, std::uint16_t>;
using Kind = testing::UsbChip::Kind;

const Request kPartNumber{0xFF, 0x370B};
const Request kFirmwareOpen{0x02, 0x0002}, kFirmwareClose{0x02, 0x0004}, kFirmwareFlush{0x02, 0x0001};
const Request kBridgeOpen{0x00, 0x0001}, kBridgeClose{0x00, 0x0000}, kBridgeFlush{0x12, 0x000F};

class UsbChipKindsTest : public testing::UsbLibraryFixture<::testing::TestWithParam<testing::UsbChip>> {
 protected:
  void SetUp() override {
    PlugInTelephone(GetParam());
    if (IsSkipped()) return;
    library_->SetTimeouts(500, 500);
  }
  bool Firmware() const { return GetParam().kind == Kind::Firmware; }
  bool Known() const { return !GetParam().stallsPartNumber; }
  Request Own(const Request& firmware, const Request& bridge) const { return Firmware() ? firmware : bridge; }
  Request Other(const Request& firmware, const Request& bridge) const { return Firmware() ? bridge : firmware; }
  bool Sent(const Request& request) {
    const auto controls = telephone_->ControlRequests();
    return std::find(controls.begin(), controls.end(), request) != controls.end();
  }
};

TEST_P(UsbChipKindsTest, OpensByItsKindAndAStallIsNeverAFailure) {
  DeviceHandle handle = 0;
  OpenReport report;
  ASSERT_EQ(library_->OpenAndReport(0, handle, report), kSuccess);
  EXPECT_TRUE(telephone_->IsOpen());
  EXPECT_EQ(telephone_->ControlRequests().front(), kPartNumber) << "the kind is asked first";
  EXPECT_TRUE(Sent(Own(kFirmwareOpen, kBridgeOpen)));
  // A chip that said what it is gets its own open only; one that did not,
  // every kind's, and the one it does not know it STALLs.
  EXPECT_EQ(Sent(Other(kFirmwareOpen, kBridgeOpen)), !Known());
  if (Known()) {
    ASSERT_NE(report.chip, nullptr);
    EXPECT_EQ(report.chip->open[0].request, Own(kFirmwareOpen, kBridgeOpen).first);
    EXPECT_EQ(*report.partNumber >= 0x80, Firmware());
  } else {
    EXPECT_EQ(report.chip, nullptr);
    EXPECT_EQ(report.partNumberAnswer, RequestAnswer::Stalled);
    ASSERT_EQ(report.opens.size(), 2u);
    for (const auto& [request, answer] : report.opens) {
      const bool own = Request{request.request, request.value} == Own(kFirmwareOpen, kBridgeOpen);
      EXPECT_EQ(answer, own ? RequestAnswer::Accepted : RequestAnswer::Stalled);
    }
  }
  // Both pipes cleared of a halt before the first transfer.
  const auto cleared = telephone_->ClearedHalts();
  EXPECT_NE(std::find(cleared.begin(), cleared.end(), 0x01), cleared.end());
  EXPECT_NE(std::find(cleared.begin(), cleared.end(), 0x81), cleared.end());

  Bytes reply;
  ASSERT_EQ(Exchange(handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kSuccess);
  EXPECT_EQ(reply, (Bytes{2, 0}));
  ASSERT_EQ(Exchange(handle, {4, 0, 0, 0, 0, 0, 0, 0}, 4, reply), kSuccess);
  EXPECT_EQ(reply, (Bytes{3, 1, 4, 1}));

  EXPECT_EQ(library_->Close(handle), kSuccess);
  EXPECT_FALSE(telephone_->IsOpen());
  EXPECT_EQ(telephone_->ControlRequests().back(),
            Known() ? Own(kFirmwareClose, kBridgeClose) : kBridgeClose);
  EXPECT_TRUE(Sent(Own(kFirmwareClose, kBridgeClose)));
}

TEST_P(UsbChipKindsTest, AFlushIsTheKindsFlushAndDropsWhatArrivedUnread) {
  DeviceHandle handle = 0;
  ASSERT_EQ(library_->Open(0, handle), kSuccess);
  ASSERT_NO_FATAL_FAILURE(FlushWithHalfAReplyUnread(handle));
  EXPECT_TRUE(Sent(Own(kFirmwareFlush, kBridgeFlush)));
  EXPECT_EQ(Sent(Other(kFirmwareFlush, kBridgeFlush)), !Known());
  Bytes reply;
  ASSERT_EQ(Exchange(handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kSuccess);
  EXPECT_EQ(reply, (Bytes{2, 0})) << "the count, not the rest of the PIN";
}

TEST_P(UsbChipKindsTest, AHaltedPipeIsClearedAndOnlyThatTransferFails) {
  DeviceHandle handle = 0;
  ASSERT_EQ(library_->Open(0, handle), kSuccess);
  Bytes reply;
  for (const std::uint8_t endpoint : {std::uint8_t{0x81}, std::uint8_t{0x01}}) {
    const auto clearedBefore = telephone_->ClearedHalts().size();
    telephone_->StallEndpoint(endpoint);
    EXPECT_NE(Exchange(handle, {1, 0, 0, 0, 0, 0, 0, 0}, 2, reply), kSuccess) << int(endpoint);
    const auto cleared = telephone_->ClearedHalts();
    ASSERT_GT(cleared.size(), clearedBefore);
    EXPECT_EQ(cleared.back(), endpoint);
    // The link is not wedged: the next exchange is whole.
    ASSERT_EQ(Exchange(handle, {2, 1, 0, 0, 0, 0, 0, 0}, 19, reply), kSuccess) << int(endpoint);
    const auto header = model_->Header(1);
    EXPECT_EQ(reply, Bytes(header.begin(), header.end()));
  }
}

INSTANTIATE_TEST_SUITE_P(EachKind, UsbChipKindsTest, ::testing::ValuesIn(testing::kEveryUsbChip),
                         testing::UsbChipName<::testing::TestParamInfo<testing::UsbChip>>);

}  // namespace
}  // namespace parlomax::usb
