#include "transfer/StorageSingleThreadUnit.h"
#include "transfer/StorageThreadUnit.h"

#include "QtPrinters.h"
#include "TelephoneOnLink.h"
#include "RecordingTransferView.h"
#include "JobThread.h"
#include "TempFolder.h"
#include "TestTelephone.h"
#include "WaitUntil.h"
#include "catalogue/RecordingTexts.h"
#include "device/DeviceLink.h"
#include "platform/files/WriteFaults.h"

#include <gtest/gtest.h>

namespace parlomax::transfer {
namespace {

using phone::LibraryCall;

class CopyJobsTest : public testing::TelephoneOnLink {
 protected:
  JobSetup MakeSetup() {
    return JobSetup{*link_, messages_, view_, folder_.Path() / "", std::chrono::milliseconds(0)};
  }
  // Runs a job to its end on its own thread.
  void Run(CopyJob& job) { testing::RunOnItsOwnThread(job); }
  std::vector<std::string> FilesMade() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder_.Path())) {
      // The ledger's own files have tests of their own.
      if (e.path().filename() == kLedgerFolderName || e.path().filename() == kSumsFileName)
        continue;
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string FileName(std::uint16_t index, std::uint32_t number) {
    return catalogue::RecordingFileName(library_->Model().Header(index), number).toStdString();
  }

  // Some jobs here copy every one of 65535 recordings.
  testing::TempFolder folder_{testing::TempFolder::InMemoryBase()};
  testing::RecordingTransferView view_;
};

std::vector<phone::Recording> Recordings(unsigned n, std::size_t size) {
  std::vector<phone::Recording> recordings;
  for (unsigned i = 0; i < n; ++i) recordings.push_back(testing::MakeRecording(size, i));
  return recordings;
}

TEST_F(CopyJobsTest, TheAllJobCopiesEveryRecordingAndSaysSoAtTheEnd) {
  Plug(Recordings(3, 700));
  TStorgeThread job(MakeSetup());
  Run(job);
  EXPECT_EQ(FilesMade(), (std::vector<std::string>{FileName(0, 1), FileName(1, 2), FileName(2, 3)}));
  EXPECT_EQ(view_.Texts(), (std::vector<QString>{"上传进度：正在上传第1个文件", "上传进度：正在上传第2个文件",
                                                 "上传进度：正在上传第3个文件"}));
  EXPECT_EQ(view_.OverallBars().back(), (testing::RecordingTransferView::Bar{3, 3}));
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"全部文件上传结束"});
  ASSERT_EQ(view_.Ends().size(), 1u);
  EXPECT_FALSE(view_.Ends()[0].stopped);
}

TEST_F(CopyJobsTest, AFailedChunkMovesOnAndTheClosingMessageCountsWhatIsNotWhole) {
  struct Case {
    unsigned recordings;
    int failReadAfter;  // -1: none
    std::vector<QString> messages;
  };
  // Reads: the count, then per recording its header and three chunks.
  for (const Case& c :
       {Case{3, 3, {"USB读数据错误", NotCopiedWholeText(1)}},  // the first recording is cut
        Case{2, 7, {"USB读数据错误", NotCopiedWholeText(1)}},  // the last one is
        Case{2, -1, {"全部文件上传结束"}}}) {
    testing::TempFolder folder(testing::TempFolder::InMemoryBase());
    Plug(Recordings(c.recordings, 700));
    messages_.Clear();
    if (c.failReadAfter >= 0) library_->FailReadAfter(c.failReadAfter);
    JobSetup setup = MakeSetup();
    setup.saveFolder = folder.Path() / "";
    TStorgeThread job(std::move(setup));
    Run(job);
    EXPECT_EQ(messages_.Texts(), c.messages) << c.failReadAfter;
    EXPECT_EQ(view_.OverallBars().back(), (testing::RecordingTransferView::Bar{c.recordings, c.recordings}));
    EXPECT_FALSE(view_.Ends().back().stopped);
    EXPECT_EQ(std::filesystem::file_size(folder / FileName(1, 2)),
              19u + (c.failReadAfter == 7 ? 256u : 700u));
    if (c.failReadAfter == 3) {
      EXPECT_EQ(std::filesystem::file_size(folder / FileName(0, 1)), 19u + 256u);
    }
  }
}

TEST_F(CopyJobsTest, AFullDiskEndsTheJobAsAStopWouldWithOneMessage) {
  Plug(Recordings(6, 5000));
  // The first recording fits; the second does not.
  files::FailWritesAfter(19 + 5000 + 3000, ENOSPC);
  TStorgeThread job(MakeSetup());
  Run(job);
  files::StopFailingWrites();
  ASSERT_EQ(messages_.Texts().size(), 1u) << "no completion message, no box per recording";
  EXPECT_EQ(messages_.Texts()[0],
            QStringLiteral("写入 %1 失败：磁盘空间不足").arg(QString::fromStdString((folder_ / FileName(1, 2)).string())));
  ASSERT_EQ(view_.Ends().size(), 1u);
  EXPECT_TRUE(view_.Ends()[0].stopped);
  // No recording after the one the disk refused was even asked for.
  EXPECT_EQ(CommandsSent(2).size(), 2u);
  EXPECT_EQ(std::filesystem::file_size(folder_ / FileName(0, 1)), 19u + 5000u);
  EXPECT_LE(std::filesystem::file_size(folder_ / FileName(1, 2)), 19u + 3000u) << "kept as what it holds";
}

TEST_F(CopyJobsTest, AnUnreadableCountGivesUpTheTelephoneWithoutTheEndSteps) {
  Plug(Recordings(2, 10));
  library_->FailNextRead();
  TStorgeThread job(MakeSetup());
  Run(job);
  EXPECT_EQ(view_.TelephoneFailures(), 1);
  EXPECT_TRUE(view_.Ends().empty());
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB读数据错误"});
  EXPECT_TRUE(FilesMade().empty());
}

TEST_F(CopyJobsTest, ALockedTelephoneGetsNoCommandAtAll) {
  Plug(Recordings(2, 10));
  link_->LogOut();
  TStorgeThread all(MakeSetup());
  Run(all);
  TStorageSingleThread selected(MakeSetup(), {0});
  Run(selected);
  EXPECT_TRUE(library_->CallsBesidesCount().empty());
  EXPECT_TRUE(view_.Ends().empty());
}

TEST_F(CopyJobsTest, TheSelectedJobCountsSelectionsButNamesFilesAfterTheRecordings) {
  Plug(Recordings(8, 300));
  TStorageSingleThread job(MakeSetup(), {3, 7});
  Run(job);
  EXPECT_EQ(FilesMade(), (std::vector<std::string>{FileName(3, 4), FileName(7, 8)}));
  EXPECT_EQ(view_.Texts(), (std::vector<QString>{"上传进度：正在上传选择的第1个文件",
                                                 "上传进度：正在上传选择的第2个文件"}));
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"所选择的文件上传结束"});
  // It flushes before its first command.
  EXPECT_EQ(library_->CallsBesidesCount()[0].op, LibraryCall::Op::Flush);
}

TEST_F(CopyJobsTest, AStoppedJobEndsWithoutItsCompletionMessage) {
  Plug(Recordings(50, 3000));
  library_->SlowReadsBy(std::chrono::milliseconds(2));
  TStorgeThread job(MakeSetup());
  testing::JobThread running(job);
  ASSERT_TRUE(testing::WaitUntil([&] { return view_.Texts().size() >= 2; }));
  running.RequestStop();
  running.Wait();
  EXPECT_LT(FilesMade().size(), 50u);
  EXPECT_TRUE(messages_.Texts().empty());
  ASSERT_EQ(view_.Ends().size(), 1u);
  EXPECT_TRUE(view_.Ends()[0].stopped);
}

TEST_F(CopyJobsTest, ATelephoneWithNothingOnItIsDoneAtOnce) {
  Plug({});
  TStorgeThread job(MakeSetup());
  Run(job);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"全部文件上传结束"});
  EXPECT_EQ(view_.Ends().size(), 1u);
}

TEST_F(CopyJobsTest, TheAllJobNeverAsksForRecording65534) {
  Plug(std::vector<phone::Recording>(65535, testing::MakeRecording(0)));
  TStorgeThread job(MakeSetup());
  Run(job);
  const auto headers = CommandsSent(2);
  const bool asked65534 = std::any_of(headers.begin(), headers.end(),
                                      [](const auto& c) { return c[1] == 0xFE && c[2] == 0xFF; });
  EXPECT_EQ(headers.size(), 65534u);
  EXPECT_FALSE(asked65534);
  // The overall bar stops one step short of its maximum.
  EXPECT_EQ(view_.OverallBars().back(), (testing::RecordingTransferView::Bar{65534, 65535}));
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"全部文件上传结束"});
}

}  // namespace
}  // namespace parlomax::transfer
