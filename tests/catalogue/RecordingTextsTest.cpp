#include "catalogue/RecordingTexts.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace parlomax::catalogue {
namespace {

RecordingHeader HeaderWithLength(std::uint32_t length) {
  RecordingFields f;
  f.payloadLength = length;
  return EncodeRecordingHeader(f);
}

RecordingHeader MarchSeventeenth() {
  RecordingHeader h{};
  h[2] = 0x43;
  h[3] = 0x8B;
  h[4] = 0x9E;
  return h;
}

struct LengthCase {
  std::uint32_t length;
  const char* size;
  const char* duration;
};

class SizeAndDurationTexts : public ::testing::TestWithParam<LengthCase> {};

TEST_P(SizeAndDurationTexts, FollowThePayloadLength) {
  const auto texts = RecordingColumnTexts(HeaderWithLength(GetParam().length));
  EXPECT_EQ(texts.size, QString::fromUtf8(GetParam().size));
  EXPECT_EQ(texts.duration, QString::fromUtf8(GetParam().duration));
}

INSTANTIATE_TEST_SUITE_P(
    PayloadLengths, SizeAndDurationTexts,
    ::testing::Values(LengthCase{0, "0K", "0 秒"}, LengthCase{999, "1K", "1 秒"},
                      LengthCase{1000, "1K", "2 秒"}, LengthCase{1024, "2K", "2 秒"},
                      LengthCase{12000, "12K", "13 秒"}, LengthCase{58999, "58K", "59 秒"},
                      LengthCase{59000, "58K", "1 分0 秒"}, LengthCase{61000, "60K", "1 分2 秒"},
                      LengthCase{3599000, "3515K", "1 时0 分0 秒"},
                      LengthCase{3725000, "3638K", "1 时2 分6 秒"},
                      LengthCase{kEmptyPayloadMarker, "0K", "0 秒"},
                      // The largest real length: 4194304K and 1193 hours.
                      LengthCase{0xFFFFFFFEu, "4194304K", "1193 时2 分48 秒"}));

TEST(RecordingColumnTexts, TimeTypeAndNumberOfARecord) {
  auto header = MarchSeventeenth();
  header[5] = 0x1A;
  header[6] = 0xB2;
  std::fill(header.begin() + 7, header.begin() + 11, 0xFF);
  const auto texts = RecordingColumnTexts(header);
  EXPECT_EQ(texts.time, QStringLiteral(" 03月17日 14:30 "));
  EXPECT_EQ(texts.type, QStringLiteral("去电"));
  EXPECT_EQ(texts.telephoneNumber, QStringLiteral("1*#2"));
}

TEST(RecordingColumnTexts, AnErasedRecordShowsItsRawValues) {
  RecordingHeader erased;
  erased.fill(0xFF);
  const auto texts = RecordingColumnTexts(erased);
  EXPECT_EQ(texts, (ColumnTexts{QString(), QStringLiteral(" 15月31日 31:63 "),
                                QStringLiteral("录音"), QStringLiteral("0K"),
                                QStringLiteral("0 秒")}));
  EXPECT_EQ(RecordingFileName(erased, 1), QStringLiteral("15313163_0001.spx"));
}

TEST(RecordingColumnTexts, CallTypeTexts) {
  EXPECT_EQ(CallTypeText(0), QStringLiteral("来电"));
  EXPECT_EQ(CallTypeText(1), QStringLiteral("去电"));
  EXPECT_EQ(CallTypeText(2), QStringLiteral("录音"));
  EXPECT_EQ(CallTypeText(3), QStringLiteral("录音"));
}

TEST(RecordingFileName, IsDateTimeAndRecordNumberOfAtLeastFourDigits) {
  const auto header = MarchSeventeenth();
  EXPECT_EQ(RecordingFileName(header, 7), QStringLiteral("03171430_0007.spx"));
  EXPECT_EQ(RecordingFileName(header, 1), QStringLiteral("03171430_0001.spx"));
  EXPECT_EQ(RecordingFileName(header, 9999), QStringLiteral("03171430_9999.spx"));
  EXPECT_EQ(RecordingFileName(header, 12345), QStringLiteral("03171430_12345.spx"));
  EXPECT_EQ(RecordingFileName(header, 65535), QStringLiteral("03171430_65535.spx"));
}

}  // namespace
}  // namespace parlomax::catalogue
