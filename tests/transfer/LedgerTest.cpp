#include "transfer/Ledger.h"

#include "FileBytes.h"
#include "TempFolder.h"
#include "catalogue/RecordingHeader.h"
#include "platform/files/WriteFaults.h"
#include "transfer/LedgerLine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/stat.h>

namespace parlomax::transfer {
namespace {

namespace fs = std::filesystem;

LedgerRecord Record(const std::string& name, std::uint8_t fill) {
  catalogue::RecordingFields fields;
  fields.callType = 1;
  fields.month = 3;
  fields.day = 17;
  fields.telephoneNumber = QStringLiteral("13800138000");
  fields.payloadLength = 1000u + fill;
  Sha256Digest digest{};
  digest.fill(fill);
  return RecordOfCopy(name, catalogue::EncodeRecordingHeader(fields), 19 + 1000u + fill, digest,
                      {"1-2.3", "bridge"});
}

std::string Text(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

void Replace(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

class LedgerTest : public ::testing::Test {
 protected:
  void Append(const std::string& name, std::uint8_t fill) {
    ASSERT_EQ(AppendToLedger(folder_.Path(), Record(name, fill)), 0);
  }
  fs::path Ledger() const { return LedgerPath(folder_.Path()); }

  testing::TempFolder folder_;
};

TEST_F(LedgerTest, ChainsEveryLineToTheLastGoodOneAcrossAKilledAppend) {
  Append("a.spx", 1);
  Append("b.spx", 2);
  LedgerRecord first;
  std::string prev;
  ASSERT_TRUE(ParseLedgerLine(Text(Ledger()).substr(0, Text(Ledger()).find('\n')), first, &prev));
  EXPECT_EQ(prev, std::string(64, '0'));
  EXPECT_EQ(first.source.place, "1-2.3");
  EXPECT_EQ(first.header, Record("a.spx", 1).header);

  // A kill in the middle of the third line's write.
  const std::string third = LedgerLineText(Record("c.spx", 3), std::string(64, '1'));
  std::ofstream(Ledger(), std::ios::app | std::ios::binary) << third.substr(0, third.size() / 2);
  LedgerContents read = ReadLedger(folder_.Path());
  EXPECT_TRUE(read.chain.Intact());
  EXPECT_TRUE(read.chain.lastLineCut);
  EXPECT_EQ(read.chain.records, 2u);
  EXPECT_FALSE(read.latest.contains("c.spx"));

  Append("d.spx", 4);
  read = ReadLedger(folder_.Path());
  EXPECT_EQ(read.error, 0);
  EXPECT_TRUE(read.chain.Intact()) << "broken at line " << read.chain.brokenAt;
  EXPECT_FALSE(read.chain.lastLineCut);
  EXPECT_EQ(read.chain.cutLines, 1u);
  EXPECT_EQ(read.chain.records, 3u);
  EXPECT_EQ(read.latest.at("d.spx").line, 4u);
  EXPECT_EQ(read.latest.at("d.spx").sha256, Record("d.spx", 4).sha256);

  // A cut line longer than the blocks the last good line is looked for in.
  std::ofstream(Ledger(), std::ios::app | std::ios::binary) << "{\"name\":\"" + std::string(200000, 'x');
  Append("e.spx", 5);
  read = ReadLedger(folder_.Path());
  EXPECT_TRUE(read.chain.Intact()) << "broken at line " << read.chain.brokenAt;
  EXPECT_EQ(read.chain.cutLines, 2u);

  const std::string whole = Text(Ledger());
  // A line taken out, or one changed, breaks the chain on the next record.
  const std::size_t secondStart = whole.find('\n') + 1;
  const std::size_t secondEnd = whole.find('\n', secondStart) + 1;
  Replace(Ledger(), whole.substr(0, secondStart) + whole.substr(secondEnd));
  EXPECT_EQ(ReadLedger(folder_.Path()).chain.brokenAt, 3u);
  std::string changed = whole;
  changed[changed.find("a.spx")] = 'x';
  Replace(Ledger(), changed);
  EXPECT_EQ(ReadLedger(folder_.Path()).chain.brokenAt, 2u);
}

TEST_F(LedgerTest, KeepsTheLatestRecordOfANameAndIsPrivate) {
  Append("a.spx", 1);
  Append("a.spx", 9);
  const LedgerContents read = ReadLedger(folder_.Path());
  ASSERT_EQ(read.latest.size(), 1u);
  EXPECT_EQ(read.latest.at("a.spx").size, 19u + 1009u);
  EXPECT_EQ(testing::ModeOf(Ledger()), 0600u);
  EXPECT_EQ(testing::ModeOf(Ledger().parent_path()), 0700u);
  EXPECT_EQ(ReadLedger(folder_ / "nowhere").error, ENOENT);
}

TEST_F(LedgerTest, AFullDiskWritesNoFalseLineAndTheNextAppendChainsOn) {
  Append("a.spx", 1);
  const std::string before = Text(Ledger());
  files::FailWritesAfter(0, ENOSPC);
  EXPECT_EQ(AppendToLedger(folder_.Path(), Record("b.spx", 2)), ENOSPC);
  files::FailWritesAfter(40, ENOSPC);  // part of a line gets out
  EXPECT_EQ(AppendToLedger(folder_.Path(), Record("c.spx", 3)), ENOSPC);
  files::StopFailingWrites();
  EXPECT_EQ(Text(Ledger()).substr(0, before.size()), before);
  LedgerContents read = ReadLedger(folder_.Path());
  EXPECT_EQ(read.chain.records, 1u);
  EXPECT_TRUE(read.chain.lastLineCut);

  Append("d.spx", 4);
  read = ReadLedger(folder_.Path());
  EXPECT_TRUE(read.chain.Intact());
  EXPECT_EQ(read.chain.records, 2u);
  EXPECT_FALSE(read.latest.contains("b.spx") || read.latest.contains("c.spx"));
}

TEST_F(LedgerTest, TwoWritersAtOnceNeverMixTheirLines) {
  const auto write = [this](char who) {
    for (int i = 0; i < 40; ++i)
      EXPECT_EQ(AppendToLedger(folder_.Path(),
                               Record(std::string(1, who) + std::to_string(i) + ".spx", 1)),
                0);
  };
  std::jthread a(write, 'a'), b(write, 'b');
  a.join();
  b.join();
  const LedgerContents read = ReadLedger(folder_.Path());
  EXPECT_EQ(read.chain.records, 80u);
  EXPECT_EQ(read.chain.cutLines, 0u);
  EXPECT_TRUE(read.chain.Intact());
}

TEST_F(LedgerTest, SumsListTheLatestDigestOfEveryFileStillThereForSha256sum) {
  const std::string bytes = "recording bytes";
  std::ofstream(folder_ / "a b.spx") << bytes;
  std::ofstream(folder_ / "kept.spx") << bytes;
  ASSERT_EQ(AppendToLedger(folder_.Path(),
                           RecordOfCopy("a b.spx", {}, bytes.size(), Sha256Of("old"), {})),
            0);
  ASSERT_EQ(AppendToLedger(folder_.Path(),
                           RecordOfCopy("a b.spx", {}, bytes.size(), Sha256Of(bytes), {})),
            0);
  ASSERT_EQ(AppendToLedger(folder_.Path(),
                           RecordOfCopy("kept.spx", {}, bytes.size(), Sha256Of(bytes), {})),
            0);
  ASSERT_EQ(AppendToLedger(folder_.Path(), RecordOfCopy("gone.spx", {}, 1, Sha256Of("x"), {})), 0);
  ASSERT_EQ(AppendToLedger(folder_.Path(), RecordOfCopy("odd\\name.spx", {}, 1, Sha256Of("x"), {})),
            0);
  std::ofstream(folder_ / "odd\\name.spx") << "x";
  ASSERT_EQ(RewriteSums(folder_.Path()), 0);
  EXPECT_EQ(Text(folder_ / kSumsFileName),
            HexText(Sha256Of(bytes)) + "  a b.spx\n" + HexText(Sha256Of(bytes)) + "  kept.spx\n");
  EXPECT_EQ(testing::ModeOf(folder_ / kSumsFileName), 0600u);
  const std::string check =
      "cd '" + folder_.Path().string() + "' && sha256sum --quiet -c SHA256SUMS";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

}  // namespace
}  // namespace parlomax::transfer
