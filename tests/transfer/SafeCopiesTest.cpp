#include "transfer/SafeCopies.h"

#include <gtest/gtest.h>

namespace parlomax::transfer {
namespace {

using catalogue::kRecordingHeaderSize;

catalogue::RecordingHeader Call(unsigned minute, std::uint32_t length, std::uint32_t address = 0,
                                const char* number = "13800138000") {
  catalogue::RecordingFields f;
  f.callType = 1;
  f.month = 3;
  f.day = 17;
  f.hour = 9;
  f.minute = minute;
  f.telephoneNumber = QString::fromLatin1(number);
  f.startAddress = address;
  f.payloadLength = length;
  return catalogue::EncodeRecordingHeader(f);
}

catalogue::DeviceListRow Row(std::uint16_t index, const catalogue::RecordingHeader& header) {
  return catalogue::MakeDeviceListRow(index, header);
}

HeldCopy Whole(std::string name, const catalogue::RecordingHeader& header) {
  return {std::move(name), header, kRecordingHeaderSize + catalogue::PayloadLength(header)};
}

std::string OwnName(const catalogue::DeviceListRow& row) { return row.fileName.toStdString(); }

TEST(SafeCopiesTest, AWholeCopyOfTheSameCallUnderAnyNameCountsAndNothingElseDoes) {
  const auto call = Call(5, 3000, 0x1000);
  const auto row = Row(0, call);
  struct Case {
    const char* what;
    std::vector<HeldCopy> copies;
    std::string safeAt;
  };
  const std::vector<Case> cases{
      {"its own name, whole", {Whole(OwnName(row), call)}, OwnName(row)},
      {"the telephone moved it in memory", {Whole("x.spx", Call(5, 3000, 0x9000))}, "x.spx"},
      {"cut one byte short", {{"x.spx", call, kRecordingHeaderSize + 2999}}, ""},
      {"longer than the call", {{"x.spx", call, kRecordingHeaderSize + 3001}}, ""},
      {"another number", {Whole("x.spx", Call(5, 3000, 0x1000, "13900139000"))}, ""},
      {"another minute", {Whole("x.spx", Call(6, 3000, 0x1000))}, ""},
      {"another length", {Whole("x.spx", Call(5, 3001, 0x1000))}, ""},
      {"a cut copy beside a whole one",
       {{"a.spx", call, kRecordingHeaderSize + 10}, Whole("b.spx", call)},
       "b.spx"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindSafeCopies({row}, c.copies), std::vector<std::string>{c.safeAt}) << c.what;
  }
}

TEST(SafeCopiesTest, RecordingsAlikeNeedAFileEachAndKeepTheirOwnNames) {
  // A redial of the same length in the same minute: two recordings, one call.
  const auto first = Row(0, Call(5, 3000, 0x1000));
  const auto redial = Row(1, Call(5, 3000, 0x2000));
  ASSERT_NE(OwnName(first), OwnName(redial));
  EXPECT_EQ(FindSafeCopies({first, redial}, {Whole(OwnName(redial), redial.header)}),
            (std::vector<std::string>{"", OwnName(redial)}));
  EXPECT_EQ(FindSafeCopies({first, redial},
                           {Whole("z-2.spx", first.header), Whole(OwnName(redial), redial.header)}),
            (std::vector<std::string>{"z-2.spx", OwnName(redial)}));
}

}  // namespace
}  // namespace parlomax::transfer
