#include "device/DeviceListReading.h"

#include "QtPrinters.h"
#include "TelephoneOnLink.h"
#include "TestTelephone.h"
#include "device/DeviceLink.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>

namespace parlomax::device {
namespace {

using catalogue::DeviceListRow;
using catalogue::DeviceListView;
using catalogue::RecordingColumnTexts;
using catalogue::RecordingFileName;

using phone::LibraryCall;

struct RowsSeen final : DeviceListView {
  std::vector<DeviceListRow> rows;
  int clears = 0;
  std::function<void(const DeviceListRow&)> afterAdd;
  void Clear() override {
    rows.clear();
    ++clears;
  }
  void AddRow(const DeviceListRow& row) override {
    rows.push_back(row);
    if (afterAdd) afterAdd(row);
  }
};

class DeviceListTest : public testing::TelephoneOnLink {
 protected:
  void Read() {
    ReadDeviceList(*link_, view_, [this] { return link_->CountDevices() == 0; });
  }
  std::vector<std::uint16_t> HeaderIndexesAsked() const {
    std::vector<std::uint16_t> indexes;
    for (const auto& c : CommandsSent(2)) indexes.push_back(static_cast<std::uint16_t>(c[1] | c[2] << 8));
    return indexes;
  }

  RowsSeen view_;
};

TEST_F(DeviceListTest, EveryRecordBecomesARowWithItsTexts) {
  Plug({testing::MakeRecording(1000, 1), testing::MakeRecording(0, 2), testing::MakeRecording(59000, 3)});
  Read();
  ASSERT_EQ(view_.rows.size(), 3u);
  for (std::uint16_t i = 0; i < 3; ++i) {
    const auto header = library_->Model().Header(i);
    const DeviceListRow& row = view_.rows[i];
    EXPECT_EQ(row.recordIndex, i);
    EXPECT_EQ(row.caption, QString::number(i + 1));
    EXPECT_EQ(row.fileName, RecordingFileName(header, i + 1));
    EXPECT_EQ(row.texts, RecordingColumnTexts(header));
  }
  EXPECT_EQ(view_.rows[2].texts.duration, "1 分0 秒");
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(DeviceListTest, ACountOfZeroEmptiesTheListAndAsksNothingMore) {
  Plug({});
  view_.rows.push_back({});
  Read();
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_EQ(view_.clears, 1);
  EXPECT_TRUE(HeaderIndexesAsked().empty());
}

TEST_F(DeviceListTest, TheCountIsLowByteFirst) {
  Plug(std::vector<phone::Recording>(259, testing::MakeRecording(0)));
  Read();
  EXPECT_EQ(view_.rows.size(), 259u);
  EXPECT_EQ(view_.rows.back().caption, "259");
}

TEST_F(DeviceListTest, Index65534IsNeverAskedFor) {
  Plug(std::vector<phone::Recording>(65535, testing::MakeRecording(0)));
  Read();
  const auto asked = HeaderIndexesAsked();
  EXPECT_EQ(asked.size(), 65534u);
  EXPECT_EQ(asked.back(), 65533);
  EXPECT_EQ(std::count(asked.begin(), asked.end(), 65534), 0);
  EXPECT_EQ(view_.rows.back().fileName.right(10), "_65534.spx");
}

TEST_F(DeviceListTest, AFailedRecordLeavesAGapButEveryRowKnowsItsRecording) {
  std::vector<phone::Recording> recordings;
  for (unsigned i = 0; i < 6; ++i) recordings.push_back(testing::MakeRecording(100, i));
  Plug(recordings);
  // The read of record 4 (index 3) fails.
  view_.afterAdd = [this](const DeviceListRow& row) {
    if (row.recordIndex == 2) library_->FailNextRead();
  };
  Read();

  std::vector<QString> captions;
  std::vector<std::uint16_t> indexes;
  for (const auto& row : view_.rows) {
    captions.push_back(row.caption);
    indexes.push_back(row.recordIndex);
  }
  EXPECT_EQ(captions, (std::vector<QString>{"1", "2", "3", "5", "6"}));
  EXPECT_EQ(indexes, (std::vector<std::uint16_t>{0, 1, 2, 4, 5}));
  EXPECT_EQ(view_.rows[3].fileName, RecordingFileName(library_->Model().Header(4), 5));
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB读数据错误"});
}

TEST_F(DeviceListTest, AShortHeaderIsARecordThatCouldNotBeReadNotARowOfZeros) {
  std::vector<phone::Recording> recordings;
  for (unsigned i = 0; i < 4; ++i) recordings.push_back(testing::MakeRecording(42000, i));
  Plug(recordings);
  // The count, two headers, then ten bytes of the third header.
  library_->ShortenReplyAfter(3, 10);
  Read();
  std::vector<std::uint16_t> indexes;
  for (const auto& row : view_.rows) indexes.push_back(row.recordIndex);
  EXPECT_EQ(indexes, (std::vector<std::uint16_t>{0, 1, 3}));
  for (const auto& row : view_.rows) EXPECT_EQ(row.texts, RecordingColumnTexts(library_->Model().Header(row.recordIndex)));
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB读数据错误"});

  // A short count: nothing listed as if the telephone were empty.
  messages_.Clear();
  library_->ShortenNextReply(1);
  Read();
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB读数据错误"});
}

TEST_F(DeviceListTest, ATelephonePulledOutMidwayCostsOneMessageNotOnePerRecord) {
  Plug(std::vector<phone::Recording>(500, testing::MakeRecording(10)));
  library_->UnplugAfterWrites(11);  // the count and ten headers go through
  Read();
  EXPECT_EQ(view_.rows.size(), 10u);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB写命令错误"});
  EXPECT_EQ(HeaderIndexesAsked().size(), 11u);
}

TEST_F(DeviceListTest, AFailedCountWriteKeepsTheListAndAFailedCountReadEmptiesIt) {
  Plug({testing::MakeRecording(10)});
  view_.rows.push_back({});
  library_->FailNextWrite();
  Read();
  EXPECT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.clears, 0);
  library_->FailNextRead();
  Read();
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"USB写命令错误", "USB读数据错误"}));
  EXPECT_TRUE(HeaderIndexesAsked().empty());
}

// What one reading came to, as data, for each way it can go: eight records,
// a fault, a stop after so many rows.
TEST_F(DeviceListTest, SaysHowFarItGotAndHowManyRowsAreMissing) {
  using End = DeviceListRead::End;
  using Fault = std::function<void(phone::InProcessDeviceLibrary&)>;
  struct Case {
    Fault fault;
    std::size_t stopAt;
    End end;
    std::optional<std::uint32_t> count;
    std::uint32_t rowsRead, rowsMissed;
  };
  const auto none = [](auto&) {};
  // The second header fails to come, the sixth comes short.
  const auto twoUnread = [](auto& l) {
    l.FailReadAfter(2);
    l.ShortenReplyAfter(6, 3);
  };
  for (const Case& c :
       {Case{none, 99, End::AllAsked, 8, 8, 0}, Case{twoUnread, 99, End::AllAsked, 8, 6, 2},
        Case{[](auto& l) { l.FailNextWrite(); }, 99, End::CountNotSent, {}, 0, 0},
        Case{[](auto& l) { l.FailNextRead(); }, 99, End::CountNotRead, {}, 0, 0},
        Case{[](auto& l) { l.UnplugAfterWrites(4); }, 99, End::TelephoneGone, 8, 3, 5},
        Case{none, 5, End::Stopped, 8, 5, 3}}) {
    Plug(std::vector<phone::Recording>(8, testing::MakeRecording(10)));
    view_.rows.clear();
    c.fault(*library_);
    const auto read = ReadDeviceList(
        *link_, view_, [this] { return link_->CountDevices() == 0; },
        [&] { return view_.rows.size() >= c.stopAt; });
    EXPECT_EQ(std::tie(read.end, read.count, read.rowsRead, read.rowsMissed),
              std::tie(c.end, c.count, c.rowsRead, c.rowsMissed));
    EXPECT_EQ(read.rowsRead, view_.rows.size());
    EXPECT_EQ(read.Complete(), c.end == End::AllAsked && c.rowsMissed == 0);
  }
}

}  // namespace
}  // namespace parlomax::device
