#include "catalogue/RecordingHeader.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <array>

namespace parlomax::catalogue {
namespace {

RecordingHeader HeaderWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes,
                           std::uint8_t fill = 0) {
  RecordingHeader h;
  h.fill(fill);
  for (auto [offset, value] : bytes) h[offset] = value;
  return h;
}

RecordingHeader WithNumber(std::array<std::uint8_t, 6> number) {
  RecordingHeader h{};
  std::copy(number.begin(), number.end(), h.begin() + 5);
  return h;
}

using TypeMonthDayHourMinute = std::array<unsigned, 5>;
TypeMonthDayHourMinute TypeAndTime(const RecordingHeader& header) {
  const auto f = DecodeRecordingHeader(header);
  return {f.callType, f.month, f.day, f.hour, f.minute};
}

TEST(RecordingHeaderDecode, PacksDateTimeAndTypeIntoBytesTwoToFour) {
  EXPECT_EQ(TypeAndTime(HeaderWith({{2, 0x43}, {3, 0x8B}, {4, 0x9E}})),
            (TypeMonthDayHourMinute{1, 3, 17, 14, 30}));
}

TEST(RecordingHeaderDecode, IgnoresTheReservedBitsAndValidatesNothing) {
  // Bits 5-4 of byte 2 are reserved; every other bit set gives the largest values.
  EXPECT_EQ(TypeAndTime(HeaderWith({{2, 0xFF}, {3, 0xFF}, {4, 0xFF}})),
            (TypeMonthDayHourMinute{3, 15, 31, 31, 63}));
  EXPECT_EQ(DecodeRecordingHeader(HeaderWith({{2, 0x30}})).month, 0u);
}

TEST(RecordingHeaderDecode, ReadsAddressAndLengthBigEndian) {
  const auto h = HeaderWith(
      {{11, 0x01}, {12, 0x02}, {13, 0x03}, {14, 0x04}, {15, 0x00}, {16, 0x00}, {17, 0x2E}, {18, 0xE0}});
  const auto f = DecodeRecordingHeader(h);
  EXPECT_EQ(f.startAddress, 0x01020304u);
  EXPECT_EQ(f.payloadLength, 12000u);
  EXPECT_EQ(f.durationSeconds, 13u);
  EXPECT_EQ(StartAddress(HeaderWith({{11, 0}, {12, 0}, {13, 1}, {14, 2}})), 258u);
}

TEST(RecordingHeaderDecode, EmptyMarkerAndZeroLengthBothMeanNoSound) {
  const auto marked = DecodeRecordingHeader(HeaderWith({{15, 0xFF}, {16, 0xFF}, {17, 0xFF}, {18, 0xFF}}));
  EXPECT_EQ(marked.payloadLength, 0u);
  EXPECT_EQ(marked.durationSeconds, 0u);
  // One less than the marker is a real (if absurd) length.
  EXPECT_EQ(PayloadLength(HeaderWith({{15, 0xFF}, {16, 0xFF}, {17, 0xFF}, {18, 0xFE}})), 0xFFFFFFFEu);
}

TEST(RecordingHeaderDecode, DurationAddsOneSecondToEveryNonEmptyLength) {
  EXPECT_EQ(DurationSeconds(0), 0u);
  EXPECT_EQ(DurationSeconds(1), 1u);
  EXPECT_EQ(DurationSeconds(999), 1u);
  EXPECT_EQ(DurationSeconds(1000), 2u);
  EXPECT_EQ(DurationSeconds(59000), 60u);
}

TEST(RecordingHeaderNumber, StarHashAndEmptyDigits) {
  EXPECT_EQ(DecodeRecordingHeader(WithNumber({0x1A, 0xB2, 0xFF, 0xFF, 0xFF, 0xFF})).telephoneNumber,
            "1*#2");
  // Digits after the first empty one are not shown.
  EXPECT_EQ(DecodeRecordingHeader(WithNumber({0x12, 0xF3, 0x45, 0x67, 0x89, 0x01})).telephoneNumber,
            "12");
  EXPECT_EQ(DecodeRecordingHeader(WithNumber({0xF1, 0x23, 0x45, 0x67, 0x89, 0x01})).telephoneNumber,
            "");
  EXPECT_EQ(DecodeRecordingHeader(WithNumber({0x01, 0x23, 0x45, 0x67, 0x89, 0x01})).telephoneNumber,
            "012345678901");
}

TEST(RecordingHeaderNumber, UnassignedNibblesShowAsLettersWithoutCuttingTheNumber) {
  EXPECT_EQ(DecodeRecordingHeader(WithNumber({0x1C, 0xD2, 0xE3, 0xFF, 0xFF, 0xFF})).telephoneNumber,
            "1ab2c3");
}

TEST(RecordingHeaderEncode, RoundTripsEveryField) {
  RecordingFields fields;
  fields.callType = 2;
  fields.month = 12;
  fields.day = 31;
  fields.hour = 23;
  fields.minute = 59;
  fields.telephoneNumber = QStringLiteral("*86#10086a");
  fields.startAddress = 0xA1B2C3D4;
  fields.payloadLength = 3725000;
  fields.durationSeconds = DurationSeconds(fields.payloadLength);
  const auto header = EncodeRecordingHeader(fields);
  EXPECT_EQ(DecodeRecordingHeader(header), fields);
  EXPECT_EQ(header[0], 0);
  EXPECT_EQ(header[1], 0);
}

TEST(RecordingHeaderEncode, KeepsTwelveDigitsAndFillsTheRestWithEmptyNibbles) {
  RecordingFields fields;
  fields.telephoneNumber = QStringLiteral("0123-4567 8901 23");
  const auto header = EncodeRecordingHeader(fields);
  EXPECT_EQ(DecodeRecordingHeader(header).telephoneNumber, "012345678901");

  fields.telephoneNumber = QStringLiteral("110");
  const auto shortNumber = EncodeRecordingHeader(fields);
  EXPECT_EQ(shortNumber[5], 0x11);
  EXPECT_EQ(shortNumber[6], 0x0F);
  EXPECT_EQ(shortNumber[7], 0xFF);
  EXPECT_EQ(shortNumber[10], 0xFF);
}

}  // namespace
}  // namespace parlomax::catalogue
