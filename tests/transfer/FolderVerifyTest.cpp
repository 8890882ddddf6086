#include "transfer/FolderVerify.h"

#include "FileBytes.h"
#include "TempFolder.h"
#include "catalogue/RecordingHeader.h"

#include <gtest/gtest.h>

#include <fstream>

namespace parlomax::transfer {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Recording(std::uint32_t payload, std::uint8_t minute) {
  catalogue::RecordingFields fields;
  fields.minute = minute;
  fields.payloadLength = payload;
  const auto header = catalogue::EncodeRecordingHeader(fields);
  Bytes bytes(header.begin(), header.end());
  for (std::uint32_t i = 0; i < payload; ++i)
    bytes.push_back(static_cast<std::uint8_t>(i * 7 + minute));
  return bytes;
}

// How each file comes to be in the folder, and what verify must make of it.
struct Case {
  std::string name;
  Bytes copied;  // entered in the ledger as copied; none: never copied
  Bytes now;     // in the folder now; none: not there
  Verdict verdict;
};

TEST(FolderVerify, JudgesEveryRecordingOfTheFolderAndTheLedger) {
  const Bytes whole = Recording(3000, 1);
  Bytes flipped = whole;
  flipped[1500] ^= 1;
  const Bytes shorter(whole.begin(), whole.begin() + 2000);
  const std::vector<Case> cases{
      {"intact.spx", whole, whole, Verdict::Intact},
      {"flipped.spx", whole, flipped, Verdict::Changed},
      {"shortened.spx", whole, shorter, Verdict::Changed},
      {"gone.spx", whole, {}, Verdict::Missing},
      {"foreign.SPX", {}, Recording(10, 2), Verdict::NeverCopied},
      {"stopped.spx", {}, shorter, Verdict::Cut},
      {"stopped.spx.part", {}, Recording(10, 3), Verdict::Cut},
      {"stopped.spx.part-2", {}, shorter, Verdict::Cut},
      {"tiny.spx", {}, Bytes(5, 1), Verdict::Cut},
  };
  testing::TempFolder folder;
  for (const Case& c : cases) {
    if (!c.copied.empty()) {
      catalogue::RecordingHeader header{};
      std::copy_n(c.copied.begin(), header.size(), header.begin());
      const std::string_view bytes(reinterpret_cast<const char*>(c.copied.data()), c.copied.size());
      ASSERT_EQ(AppendToLedger(folder.Path(),
                               RecordOfCopy(c.name, header, c.copied.size(), Sha256Of(bytes), {})),
                0);
    }
    if (!c.now.empty()) testing::WriteFile(folder / c.name, c.now);
  }
  // Neither the ledger's own files nor other files are recordings.
  std::ofstream(folder / kSumsFileName) << "x";
  std::ofstream(folder / "notes.txt") << "x";
  fs::create_directory(folder / "calls.spx");

  const FolderVerification v = VerifyFolder(folder.Path());
  ASSERT_EQ(v.error, 0);
  EXPECT_TRUE(v.ledger.chain.Intact());
  std::map<std::string, Verdict> got;
  for (const auto& r : v.recordings) got[r.name] = r.verdict;
  std::map<std::string, Verdict> wanted;
  for (const Case& c : cases) wanted[c.name] = c.verdict;
  EXPECT_EQ(got, wanted);
  EXPECT_TRUE(std::is_sorted(v.recordings.begin(), v.recordings.end(),
                             [](const auto& a, const auto& b) { return a.name < b.name; }));

  // Sizes alone settle all but the files that are the size they were copied at.
  for (const auto& r : v.recordings) {
    FileFacts unhashed = r.facts;
    unhashed.sha256.clear();
    const auto verdict = JudgeFile(r.record ? &*r.record : nullptr, unhashed);
    EXPECT_EQ(verdict.has_value(), r.name != "intact.spx" && r.name != "flipped.spx") << r.name;
  }
  EXPECT_EQ(VerifyFolder(folder / "nowhere").error, ENOENT);
}

}  // namespace
}  // namespace parlomax::transfer
