#include "phone/TelephoneModel.h"

#include "QtPrinters.h"
#include "TestTelephone.h"

#include <gtest/gtest.h>

namespace parlomax::phone {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Frame = std::array<std::uint8_t, 8>;

Bytes Ask(const TelephoneModel& model, Frame frame) { return model.Answer(frame).value(); }

TEST(TelephoneModel, LaysOutTheDirectoryThenThePayloads) {
  const auto model = testing::MakeTelephone(
      {testing::MakeRecording(1000, 1), testing::MakeRecording(0, 2), testing::MakeRecording(5, 3)});
  ASSERT_EQ(model->Count(), 3);
  EXPECT_EQ(model->Memory().size(), 3u * 19 + 1005);
  // Each header sits at 19 * index and points at its payload.
  EXPECT_EQ(catalogue::StartAddress(model->Header(0)), 57u);
  EXPECT_EQ(catalogue::StartAddress(model->Header(1)), 1057u);
  EXPECT_EQ(catalogue::StartAddress(model->Header(2)), 1057u);
  EXPECT_EQ(catalogue::PayloadLength(model->Header(0)), 1000u);
  EXPECT_EQ(model->Payload(0), testing::MakeRecording(1000, 1).payload);
  EXPECT_EQ(model->Payload(2), testing::MakeRecording(5, 3).payload);
  EXPECT_TRUE(std::equal(model->Memory().begin() + 19, model->Memory().begin() + 38,
                         model->Header(1).begin()));
}

TEST(TelephoneModel, KeepsTheCallDetailsInTheHeader) {
  Recording r = testing::MakeRecording(10, 7);
  r.call.telephoneNumber = QStringLiteral("*21#");
  const auto model = testing::MakeTelephone({r});
  const auto fields = catalogue::DecodeRecordingHeader(model->Header(0));
  EXPECT_EQ(fields.callType, r.call.callType);
  EXPECT_EQ(fields.month, r.call.month);
  EXPECT_EQ(fields.day, r.call.day);
  EXPECT_EQ(fields.minute, r.call.minute);
  EXPECT_EQ(fields.telephoneNumber, "*21#");
}

TEST(TelephoneModel, AnswersTheFourCommandsByteForByte) {
  std::vector<Recording> recordings(259, testing::MakeRecording(0));
  recordings[258] = testing::MakeRecording(300, 5);
  const auto model = testing::MakeTelephone(recordings, {1, 2, 0, 9});

  EXPECT_EQ(Ask(*model, {1}), (Bytes{0x03, 0x01}));  // 259, low byte first
  const auto header = model->Header(258);
  EXPECT_EQ(Ask(*model, {2, 0x02, 0x01}), Bytes(header.begin(), header.end()));
  EXPECT_EQ(Ask(*model, {4}), (Bytes{1, 2, 0, 9}));

  const std::uint32_t start = catalogue::StartAddress(header);
  const Frame read{3, static_cast<std::uint8_t>(start), static_cast<std::uint8_t>(start >> 8),
                   static_cast<std::uint8_t>(start >> 16), static_cast<std::uint8_t>(start >> 24),
                   0x00, 0x01, 0};
  const auto chunk = Ask(*model, read);
  ASSERT_EQ(chunk.size(), 256u);
  EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), model->Payload(258).begin()));
}

TEST(TelephoneModel, OutOfRangeRequestsReadErasedOrEmptyMemory) {
  const auto model = testing::MakeTelephone({testing::MakeRecording(10)});
  EXPECT_EQ(Ask(*model, {2, 5, 0}), Bytes(19, 0xFF));
  // The last 4 bytes of memory, then 6 bytes past its end.
  const auto size = static_cast<std::uint32_t>(model->Memory().size());
  const auto tail = Ask(*model, {3, static_cast<std::uint8_t>(size - 4), 0, 0, 0, 10, 0, 0});
  EXPECT_EQ(tail, (Bytes{model->Memory()[size - 4], model->Memory()[size - 3],
                         model->Memory()[size - 2], model->Memory()[size - 1], 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(model->Answer(Frame{9}).has_value());
  EXPECT_FALSE(model->Answer(Frame{0}).has_value());
}

TEST(TelephoneModel, AnEmptyMarkRecordingHasNoPayload) {
  Recording r = testing::MakeRecording(0);
  r.markEmpty = true;
  const auto model = testing::MakeTelephone({r});
  const auto header = model->Header(0);
  EXPECT_EQ(Bytes(header.begin() + 15, header.end()), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_TRUE(model->Payload(0).empty());
}

TEST(TelephoneModel, SetHeaderStagesAnOddRecord) {
  auto model = testing::MakeTelephone({testing::MakeRecording(10)});
  catalogue::RecordingHeader erased;
  erased.fill(0xFF);
  model->SetHeader(0, erased);
  EXPECT_EQ(Ask(*model, {2, 0, 0}), Bytes(19, 0xFF));
  EXPECT_THROW(model->SetHeader(1, erased), std::out_of_range);
}

}  // namespace
}  // namespace parlomax::phone
