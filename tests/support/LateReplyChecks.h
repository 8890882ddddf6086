#pragma once

#include "FileBytes.h"
#include "JobThread.h"
#include "RecordingBytes.h"
#include "RecordingTransferView.h"
#include "catalogue/DeviceList.h"
#include "catalogue/RecordingTexts.h"
#include "device/DeviceLink.h"
#include "device/DeviceListReading.h"
#include "phone/TelephoneModel.h"
#include "transfer/StorageThreadUnit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace parlomax::testing {

// What a telephone's late reply may cost, checked the same way on every
// kind of link: the copy of all recordings and the list, with the exchange
// of recording `lateIndex` failed by the late reply.

// Copies every recording into `folder` with the all-recordings job; every
// file but the late one is whole and exact, and the late one holds a prefix.
inline void ExpectCopiesExactAfterALateReply(device::DeviceLink& link, shell::MessageService& messages,
                                             const phone::TelephoneModel& model,
                                             const std::filesystem::path& folder,
                                             std::uint16_t lateIndex) {
  RecordingTransferView view;
  transfer::TStorgeThread job({link, messages, view, folder / ""});
  JobThread running(job);
  // A header read from the wrong reply can promise gigabytes: give up on it.
  if (!running.WaitFor(std::chrono::seconds(20))) {
    ADD_FAILURE() << "the copy did not end";
    running.RequestStop();
  }
  running.Wait();
  for (std::uint16_t i = 0; i < model.Count(); ++i) {
    const auto name = catalogue::RecordingFileName(model.Header(i), i + 1u).toStdString();
    const auto copied = FileBytes(folder / name);
    const auto expected = RecordingBytes(model, i);
    if (i == lateIndex) {
      ASSERT_LT(copied.size(), expected.size());
      EXPECT_TRUE(std::equal(copied.begin(), copied.end(), expected.begin()));
    } else {
      EXPECT_EQ(copied, expected) << "recording " << i;
    }
  }
}

class CollectedRows final : public catalogue::DeviceListView {
 public:
  void Clear() override { rows.clear(); }
  void AddRow(const catalogue::DeviceListRow& row) override { rows.push_back(row); }
  std::vector<catalogue::DeviceListRow> rows;
};

// Reads the list; every row after the late one shows its own recording.
inline void ExpectListRowsTrueAfterALateReply(device::DeviceLink& link,
                                              const phone::TelephoneModel& model,
                                              std::uint16_t lateIndex) {
  CollectedRows list;
  device::ReadDeviceList(link, list, [] { return false; });
  std::vector<std::uint16_t> indexes;
  for (const auto& row : list.rows) {
    indexes.push_back(row.recordIndex);
    const auto expected = catalogue::MakeDeviceListRow(row.recordIndex, model.Header(row.recordIndex));
    EXPECT_TRUE(row.fileName == expected.fileName && row.texts == expected.texts)
        << "the row of recording " << row.recordIndex << " shows "
        << row.fileName.toStdString() << " " << row.texts.telephoneNumber.toStdString();
  }
  std::vector<std::uint16_t> wanted;
  for (std::uint16_t i = 0; i < model.Count(); ++i) {
    if (i != lateIndex) wanted.push_back(i);
  }
  EXPECT_EQ(indexes, wanted);
}

}  // namespace parlomax::testing
