#include "transfer/CopyRecording.h"

#include "FileBytes.h"
#include "QtPrinters.h"
#include "TelephoneOnLink.h"
#include "RecordingTransferView.h"
#include "TempFolder.h"
#include "TestTelephone.h"
#include "catalogue/RecordingTexts.h"
#include "device/DeviceLink.h"
#include "platform/files/WriteFaults.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace parlomax::transfer {
namespace {

using Bytes = std::vector<std::uint8_t>;
using phone::LibraryCall;

class CopyRecordingTest : public testing::TelephoneOnLink {
 protected:
  CopyOutcome Copy(
      std::uint16_t index, std::uint32_t fileNumber,
      std::function<bool()> stop = [] { return false; }) {
    SaveFolder folder(folder_.Path() / "");
    CopyContext context{
        *link_, messages_, view_, writer_, folder, std::move(stop), std::chrono::milliseconds(0)};
    return CopyRecording(context, index, fileNumber, state_);
  }
  // The (address, length) of every memory read asked for.
  std::vector<std::pair<std::uint32_t, std::uint16_t>> MemoryReads() const {
    std::vector<std::pair<std::uint32_t, std::uint16_t>> reads;
    for (const auto& c : CommandsSent(3)) {
      reads.emplace_back(c[1] | c[2] << 8 | c[3] << 16 | std::uint32_t{c[4]} << 24,
                         static_cast<std::uint16_t>(c[5] | c[6] << 8));
    }
    return reads;
  }
  std::filesystem::path FileOf(std::uint16_t index, std::uint32_t number) {
    return folder_ / catalogue::RecordingFileName(library_->Model().Header(index), number).toStdString();
  }
  Bytes Expected(std::uint16_t index) {
    const auto header = library_->Model().Header(index);
    Bytes bytes(header.begin(), header.end());
    const auto payload = library_->Model().Payload(index);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
  }

  testing::TempFolder folder_;
  testing::RecordingTransferView view_;
  CopyState state_;
  FileWriter writer_;
};

TEST(FileWriter, KeepsEveryByteInOrderAcrossBlocksAndFiles) {
  testing::TempFolder folder;
  FileWriter writer;
  Bytes expected;
  ASSERT_TRUE(writer.Open(folder / "a"));
  for (int i = 0; i < 5000; ++i) {  // well over one block
    const Bytes piece(1 + i % 300, static_cast<std::uint8_t>(i));
    writer.Append(piece.data(), piece.size());
    expected.insert(expected.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(writer.Finish(files::Ending::Complete).placed, files::Placed::Target);
  EXPECT_EQ(testing::FileBytes(folder / "a"), expected);

  std::ofstream(folder / "b") << std::string(100, 'x');
  ASSERT_TRUE(writer.Open(folder / "b"));
  writer.Append(expected.data(), 3);
  EXPECT_EQ(writer.Finish(files::Ending::Complete).placed, files::Placed::Target);
  EXPECT_EQ(testing::FileBytes(folder / "b"), Bytes(expected.begin(), expected.begin() + 3));
  EXPECT_FALSE(writer.Open("/nonexistent/folder/c"));
  // Nothing is left under the hidden name a copy has while it is written.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);
}

TEST_F(CopyRecordingTest, AFileIsTheHeaderAsReceivedThenThePayload) {
  Plug({testing::MakeRecording(1000, 1), testing::MakeRecording(5000, 2)});
  EXPECT_EQ(Copy(1, 2), CopyOutcome::Copied);
  EXPECT_EQ(testing::FileBytes(FileOf(1, 2)), Expected(1));
  EXPECT_TRUE(state_.LastRecordingComplete());
  EXPECT_EQ(state_.packetCount, 20u);
  EXPECT_EQ(view_.RecordingBars().front(), (testing::RecordingTransferView::Bar{0, 20}));
  EXPECT_EQ(view_.RecordingBars().back(), (testing::RecordingTransferView::Bar{20, 20}));
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(CopyRecordingTest, EmptyRecordingsGiveTheHeaderAloneAndNoMemoryRead) {
  phone::Recording marked = testing::MakeRecording(0, 1);
  marked.markEmpty = true;
  Plug({testing::MakeRecording(0, 0), marked});
  for (std::uint16_t i = 0; i < 2; ++i) {
    EXPECT_EQ(Copy(i, i + 1), CopyOutcome::Copied);
    EXPECT_EQ(testing::FileBytes(FileOf(i, i + 1)).size(), 19u);
  }
  EXPECT_TRUE(MemoryReads().empty());
  EXPECT_EQ(view_.RecordingBars().back(), (testing::RecordingTransferView::Bar{0, 0}));
}

TEST_F(CopyRecordingTest, ChunksAreAtMost256BytesAtGrowingAddresses) {
  // The directory of three headers ends at 57; a first payload of 201 bytes
  // puts the second at 258 and the third at 514.
  Plug({testing::MakeRecording(201, 0), testing::MakeRecording(256, 1), testing::MakeRecording(257, 3)});
  const std::uint32_t a = catalogue::StartAddress(library_->Model().Header(1));
  const std::uint32_t b = catalogue::StartAddress(library_->Model().Header(2));
  ASSERT_EQ(b, 258u + 256u);
  ASSERT_EQ(Copy(1, 2), CopyOutcome::Copied);
  ASSERT_EQ(Copy(2, 3), CopyOutcome::Copied);
  EXPECT_EQ(MemoryReads(), (std::vector<std::pair<std::uint32_t, std::uint16_t>>{
                               {a, 256}, {b, 256}, {b + 256, 1}}));
  EXPECT_EQ(testing::FileBytes(FileOf(2, 3)), Expected(2));

  // Every command of a copy goes out with its unused bytes zero.
  for (const auto& c : library_->Calls()) {
    if (c.op != LibraryCall::Op::Write) continue;
    if (c.bytes[0] == 2) {
      EXPECT_EQ(Bytes(c.bytes.begin() + 3, c.bytes.end()), Bytes(5, 0));
    } else if (c.bytes[0] == 3) {
      EXPECT_EQ(c.bytes[7], 0);
    }
  }
}

TEST_F(CopyRecordingTest, TheSecondChunkOfARecordingAt258IsReadAt514) {
  Plug({testing::MakeRecording(220, 0), testing::MakeRecording(600, 1)});
  ASSERT_EQ(catalogue::StartAddress(library_->Model().Header(1)), 258u);
  ASSERT_EQ(Copy(1, 2), CopyOutcome::Copied);
  EXPECT_EQ(MemoryReads()[1].first, 514u);
}

// What stands in the folder decides where a copy goes: a file is written
// over only when it holds the same call (its sound may since have moved in
// the telephone's memory) and no more than the call.
TEST_F(CopyRecordingTest, ACopyNeverTakesThePlaceOfAnotherCall) {
  Plug({testing::MakeRecording(300, 4)});
  const Bytes whole = Expected(0);
  const std::string own = FileOf(0, 1).filename().string();
  const std::string stem = own.substr(0, own.size() - 4);
  Bytes moved = whole;  // the same call, when its sound lay elsewhere
  moved[14] ^= 0x40;
  Bytes other = whole;  // another call of the same length: a minute later
  other[4] = static_cast<std::uint8_t>(other[4] + 1);
  const Bytes cut(whole.begin(), whole.begin() + 119);
  Bytes longer = whole;
  longer.push_back(0);
  Bytes alike = whole;  // a call like it in every field: its redial, say
  alike.back() ^= 0xFF;
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, Bytes>>
        before;  // name, content; no content: a link to nothing
    std::string goesTo;
    // Put at the name the copy is headed for while it is under way, as
    // another program might.
    Bytes meanwhile = {};
  };
  const Case cases[] = {
      {"nothing there", {}, own},
      {"not a recording", {{own, Bytes(5000, 'x')}}, stem + "-2.spx"},
      {"its own cut copy", {{own, cut}}, own},
      {"its whole copy from before its sound moved", {{own, moved}}, own},
      {"another call", {{own, other}}, stem + "-2.spx"},
      {"more than the call", {{own, longer}}, stem + "-2.spx"},
      {"a link to nothing", {{own, {}}}, stem + "-2.spx"},
      {"two other calls", {{own, other}, {stem + "-2.spx", Bytes(10, 1)}}, stem + "-3.spx"},
      {"its copy under another name", {{own, other}, {"redial.spx", whole}}, "redial.spx"},
      {"its cut copy under another name", {{own, other}, {"redial.spx", cut}}, "redial.spx"},
      {"a call alike but for its sound", {{own, alike}}, stem + "-2.spx"},
      {"another call put there meanwhile", {}, stem + "-2.spx", other},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(folder_.Path());
    std::filesystem::create_directories(folder_.Path());
    for (const auto& [name, bytes] : c.before) {
      if (bytes.empty()) {
        std::filesystem::create_symlink(folder_ / "nowhere", folder_ / name);
      } else {
        testing::WriteFile(folder_ / name, bytes);
      }
    }
    ASSERT_EQ(Copy(0, 1,
                   [&] {
                     if (!c.meanwhile.empty() && !std::filesystem::exists(folder_ / own)) {
                       testing::WriteFile(folder_ / own, c.meanwhile);
                     }
                     return false;
                   }),
              CopyOutcome::Copied)
        << c.what;
    EXPECT_EQ(state_.savedAs, c.goesTo) << c.what;
    EXPECT_EQ(testing::FileBytes(folder_ / c.goesTo), whole) << c.what;
    for (const auto& [name, bytes] : c.before) {
      if (name == c.goesTo) continue;
      if (bytes.empty()) {
        EXPECT_TRUE(std::filesystem::is_symlink(folder_ / name)) << c.what;
      } else {
        EXPECT_EQ(testing::FileBytes(folder_ / name), bytes) << c.what << ": " << name;
      }
    }
    if (!c.meanwhile.empty()) {
      EXPECT_EQ(testing::FileBytes(folder_ / own), c.meanwhile) << c.what;
    }
  }
}

TEST_F(CopyRecordingTest, ACopyThatDoesNotCompleteLeavesTheEarlierFileAsItWas) {
  Plug({testing::MakeRecording(1000, 5), testing::MakeRecording(2000, 6)});
  ASSERT_EQ(Copy(0, 1), CopyOutcome::Copied);
  ASSERT_EQ(Copy(1, 2), CopyOutcome::Copied);
  const auto part = [](const std::filesystem::path& file) { return file.string() + ".part"; };
  std::ofstream(part(FileOf(0, 1))) << "an older part";

  library_->UnplugAfterWrites(3);  // the header and two chunks, then the cable comes out
  EXPECT_EQ(Copy(0, 1), CopyOutcome::PayloadFailed);
  library_->PlugIn();
  ASSERT_TRUE(link_->OpenFirstDevice());
  int chunksAllowed = 3;
  EXPECT_EQ(Copy(1, 2, [&] { return chunksAllowed-- <= 0; }), CopyOutcome::Copied);

  for (const auto& [index, received] : {std::pair{0, 512u}, std::pair{1, 768u}}) {
    const auto index16 = static_cast<std::uint16_t>(index);
    EXPECT_EQ(testing::FileBytes(FileOf(index16, index + 1)), Expected(index16));
    const Bytes expected = Expected(index16);
    EXPECT_EQ(testing::FileBytes(part(FileOf(index16, index + 1))),
              Bytes(expected.begin(), expected.begin() + 19 + received));
  }
  // Two recordings and what each interrupted copy received, and the
  // ledger's folder: nothing hidden.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 4 + 1);
}

TEST_F(CopyRecordingTest, AFailedChunkKeepsWhatArrivedAndSaysSo) {
  Plug({testing::MakeRecording(1000, 5)});
  // The header and two chunks arrive; then the cable comes out.
  library_->UnplugAfterWrites(3);
  EXPECT_EQ(Copy(0, 1), CopyOutcome::PayloadFailed);
  const Bytes expected = Expected(0);
  EXPECT_EQ(testing::FileBytes(FileOf(0, 1)), Bytes(expected.begin(), expected.begin() + 19 + 512));
  EXPECT_FALSE(state_.LastRecordingComplete());
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB写命令错误"});
}

TEST_F(CopyRecordingTest, AStopBetweenChunksKeepsTheHeaderAndTheChunksReceived) {
  Plug({testing::MakeRecording(2000, 6)});
  int chunksAllowed = 3;
  EXPECT_EQ(Copy(0, 1, [&] { return chunksAllowed-- <= 0; }), CopyOutcome::Copied);
  EXPECT_EQ(testing::FileBytes(FileOf(0, 1)).size(), 19u + 3 * 256);
  EXPECT_FALSE(state_.LastRecordingComplete());
}

TEST_F(CopyRecordingTest, AFileTheDiskDoesNotTakeIsNeverCopiedAndTheEarlierOneStays) {
  // Longer than the writer may fall behind (a few MB), so that the copy
  // cannot have read it all before the failure reaches it.
  Plug({testing::MakeRecording(12'000'000, 5), testing::MakeRecording(2000, 6)});
  ASSERT_EQ(Copy(0, 1), CopyOutcome::Copied);
  const Bytes good = testing::FileBytes(FileOf(0, 1));
  const std::size_t chunksBefore = CommandsSent(3).size();
  files::FailWritesAfter(100000, ENOSPC);
  EXPECT_EQ(Copy(0, 1), CopyOutcome::WriteFailed);
  files::StopFailingWrites();
  EXPECT_EQ(testing::FileBytes(FileOf(0, 1)), good);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{QStringLiteral("写入 %1 失败：磁盘空间不足")
                                                        .arg(QString::fromStdString(FileOf(0, 1).string()))});
  // The copy gave up soon after the disk did, instead of reading the rest.
  EXPECT_LT(CommandsSent(3).size() - chunksBefore, chunksBefore);

  // A file with no earlier one: what reached the disk, under its name.
  files::FailWritesAfter(1000, EDQUOT);
  EXPECT_EQ(Copy(1, 2), CopyOutcome::WriteFailed);
  files::StopFailingWrites();
  const Bytes expected = Expected(1);
  EXPECT_EQ(testing::FileBytes(FileOf(1, 2)), Bytes(expected.begin(), expected.begin() + 1000));
  EXPECT_TRUE(messages_.Texts().back().endsWith("超出了磁盘配额"));
}

TEST_F(CopyRecordingTest,
       ACompleteCopyIsEnteredInTheLedgerAndALedgerTheDiskRefusesCostsNoRecording) {
  Plug({testing::MakeRecording(3000, 1), testing::MakeRecording(700, 2)});
  ASSERT_EQ(Copy(0, 1), CopyOutcome::Copied);
  const Bytes first = testing::FileBytes(FileOf(0, 1));
  const std::string firstText(first.begin(), first.end());
  LedgerContents ledger = ReadLedger(folder_.Path());
  ASSERT_EQ(ledger.latest.size(), 1u);
  const LedgerRecord& record = ledger.latest.begin()->second;
  EXPECT_EQ(record.name, FileOf(0, 1).filename().string());
  EXPECT_EQ(record.size, first.size());
  EXPECT_EQ(record.sha256, HexText(Sha256Of(firstText)));
  EXPECT_EQ(record.header, library_->Model().Header(0));

  // The disk takes the recording and not a byte more.
  files::FailWritesAfter(Expected(1).size(), ENOSPC);
  EXPECT_EQ(Copy(1, 2), CopyOutcome::Copied);
  files::StopFailingWrites();
  EXPECT_EQ(testing::FileBytes(FileOf(1, 2)), Expected(1));
  EXPECT_EQ(messages_.Texts(),
            std::vector<QString>{LedgerFailedText(LedgerPath(folder_.Path()), ENOSPC)});
  ledger = ReadLedger(folder_.Path());
  EXPECT_EQ(ledger.chain.records, 1u);
  EXPECT_EQ(ledger.chain.lines, ledger.chain.records);

  // A cut copy is no copy: nothing is entered for it.
  int chunksAllowed = 1;
  EXPECT_EQ(Copy(0, 1, [&] { return chunksAllowed-- <= 0; }), CopyOutcome::Copied);
  EXPECT_EQ(ReadLedger(folder_.Path()).chain.records, 1u);
}

TEST_F(CopyRecordingTest, AShortChunkIsAFailedReadAndNeverPassesForSound) {
  Plug({testing::MakeRecording(1000, 5)});
  ASSERT_EQ(Copy(0, 1), CopyOutcome::Copied);
  const Bytes good = testing::FileBytes(FileOf(0, 1));
  // The header, then a first chunk of 100 bytes instead of 256.
  library_->ShortenReplyAfter(1, 100);
  EXPECT_EQ(Copy(0, 1), CopyOutcome::PayloadFailed);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB读数据错误"});
  EXPECT_EQ(testing::FileBytes(FileOf(0, 1)), good);
  EXPECT_EQ(testing::FileBytes(FileOf(0, 1).string() + ".part"), Bytes(good.begin(), good.begin() + 19));

  // A short header: no file at all, the job ends.
  messages_.Clear();
  library_->ShortenNextReply(10);
  EXPECT_EQ(Copy(0, 1), CopyOutcome::Stop);
  EXPECT_EQ(testing::FileBytes(FileOf(0, 1)), good);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"USB读数据错误"});
}

TEST_F(CopyRecordingTest, NoHeaderOrNoFileStopsTheJobWithoutAFile) {
  Plug({testing::MakeRecording(300, 7)});
  library_->FailNextRead();
  EXPECT_EQ(Copy(0, 1), CopyOutcome::Stop);
  EXPECT_FALSE(std::filesystem::exists(FileOf(0, 1)));

  SaveFolder nowhere("/nonexistent/folder/");
  CopyContext context{*link_,
                      messages_,
                      view_,
                      writer_,
                      nowhere,
                      [] { return false; },
                      std::chrono::milliseconds(0)};
  EXPECT_EQ(CopyRecording(context, 0, 1, state_), CopyOutcome::Stop);
  const auto name = catalogue::RecordingFileName(library_->Model().Header(0), 1).toStdString();
  EXPECT_EQ(messages_.Texts(),
            (std::vector<QString>{"USB读数据错误",
                                  CreateFailedText("/nonexistent/folder/" + name, ENOENT)}));
}

TEST_F(CopyRecordingTest, TheFolderTextIsUsedAsItStands) {
  Plug({testing::MakeRecording(10, 8)});
  // No separator is added: a folder text without "/" runs into the name.
  SaveFolder prefixed(folder_.Path() / "calls-");
  CopyContext context{*link_,
                      messages_,
                      view_,
                      writer_,
                      prefixed,
                      [] { return false; },
                      std::chrono::milliseconds(0)};
  ASSERT_EQ(CopyRecording(context, 0, 1, state_), CopyOutcome::Copied);
  EXPECT_TRUE(std::filesystem::exists(
      folder_ / ("calls-" + catalogue::RecordingFileName(library_->Model().Header(0), 1).toStdString())));
}

}  // namespace
}  // namespace parlomax::transfer
