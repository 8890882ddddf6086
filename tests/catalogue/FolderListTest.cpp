#include "catalogue/FolderList.h"

#include "QtPrinters.h"
#include "RecordingMessageService.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

namespace parlomax::catalogue {
namespace {

namespace fs = std::filesystem;

struct RowsSeen final : FolderListView {
  std::vector<FolderListRow> rows;
  int clears = 0;
  void Clear() override {
    rows.clear();
    ++clears;
  }
  void AddRow(const FolderListRow& row) override { rows.push_back(row); }
};

// A .spx file: the header of a call with `length` payload bytes, followed by
// `held` bytes (what a copy stopped part-way holds may be less).
void WriteRecording(const fs::path& file, std::uint32_t length, std::size_t held, unsigned minute = 0) {
  RecordingFields fields;
  fields.month = 3;
  fields.day = 17;
  fields.hour = 14;
  fields.minute = minute;
  fields.telephoneNumber = QStringLiteral("13800138000");
  fields.payloadLength = length;
  const auto header = EncodeRecordingHeader(fields);
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(header.data()), header.size());
  out << std::string(held, '\x5a');
}

class FolderListTest : public ::testing::Test {
 protected:
  FolderListing List() { return ListRecordingFolder(folder_.Path(), view_, messages_); }
  std::vector<QString> Names() const {
    std::vector<QString> names;
    for (const auto& row : view_.rows) names.push_back(row.fileName);
    return names;
  }
  std::vector<QString> SearchOrder() const {
    std::vector<QString> names;
    for (const auto& f : SearchRecordingFiles(folder_.Path())) {
      names.push_back(QString::fromStdString(f.filename().string()));
    }
    return names;
  }

  testing::TempFolder folder_;
  testing::RecordingMessageService messages_;
  RowsSeen view_;
};

TEST_F(FolderListTest, ListsTheSpxFilesInSearchOrderFromTheirHeaders) {
  WriteRecording(folder_ / "03171400_0001.spx", 1000, 1000, 0);
  WriteRecording(folder_ / "a.spx", 0, 0, 1);  // renamed: it shows its own name
  WriteRecording(folder_ / "03171402_0003.spx", 59000, 59000, 2);
  std::ofstream(folder_ / "notes.txt") << "x";
  std::ofstream(folder_ / "old.spx.bak") << "x";
  fs::create_directory(folder_ / "folder.spx");

  const auto listing = List();
  EXPECT_EQ(Names(), SearchOrder());
  ASSERT_EQ(view_.rows.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(view_.rows[i].caption, QString::number(i + 1));
  EXPECT_EQ(listing.fileCount, 3u);
  // 1000 / 500 + 1, 0 / 500 + 1, 59000 / 500 + 1.
  EXPECT_EQ(listing.conversionWorkTotal, 3u + 1u + 119u);
  EXPECT_TRUE(messages_.Messages().empty());
  for (const auto& row : view_.rows) {
    if (row.fileName != "03171402_0003.spx") continue;
    // Size and duration come from the header.
    EXPECT_EQ(row.texts.size, "58K");
    EXPECT_EQ(row.texts.duration, "1 分0 秒");
    EXPECT_EQ(row.texts.time, " 03月17日 14:02 ");
    EXPECT_EQ(row.texts.telephoneNumber, "13800138000");
  }
}

TEST_F(FolderListTest, AFileCutShortShowsTheSoundItHoldsNotWhatItsHeaderPromises) {
  WriteRecording(folder_ / "03171400_0001.spx", 21000, 0);         // the header alone
  WriteRecording(folder_ / "03171401_0002.spx", 59000, 12500, 1);  // a copy stopped at 12.5 s
  WriteRecording(folder_ / "03171402_0003.spx", 3000, 5000, 2);    // more than promised: as promised
  const auto listing = List();
  ASSERT_EQ(view_.rows.size(), 3u);
  EXPECT_EQ(view_.rows[0].texts.size, SizeText(0));
  EXPECT_EQ(view_.rows[0].texts.duration, DurationText(0));
  EXPECT_EQ(view_.rows[1].texts.size, SizeText(12500));
  EXPECT_EQ(view_.rows[1].texts.duration, "13 秒");
  EXPECT_EQ(view_.rows[2].texts.size, SizeText(3000));
  EXPECT_EQ(view_.rows[2].texts.duration, "4 秒");
  // The rest of a row, and the conversion work, still follow the header.
  EXPECT_EQ(view_.rows[1].texts.time, " 03月17日 14:01 ");
  EXPECT_EQ(view_.rows[1].texts.telephoneNumber, "13800138000");
  EXPECT_EQ(listing.conversionWorkTotal, (21000u / 500 + 1) + (59000u / 500 + 1) + (3000u / 500 + 1));
}

TEST_F(FolderListTest, RecordingsAreListedInNameOrderWhateverOrderTheyWereMade) {
  // Made in a scrambled order, some with their extension in capitals.
  for (const char* name : {"03171405_0005.spx", "03171401_0001.SPX", "b.spx", "03171404_0004.spx",
                           "B.spx", "03171402_0002.Spx", "a.spx", "03171403_0003.spx"}) {
    WriteRecording(folder_ / name, 1000, 1000);
  }
  List();
  const std::vector<QString> expected{"03171401_0001.SPX", "03171402_0002.Spx", "03171403_0003.spx",
                                      "03171404_0004.spx", "03171405_0005.spx", "a.spx",
                                      "B.spx", "b.spx"};
  EXPECT_EQ(Names(), expected);
  // Row i is still the search's (i + 1)-th file.
  EXPECT_EQ(SearchOrder(), expected);
}

TEST_F(FolderListTest, AFolderWithoutRecordingsIsEmptiedAndSaysSo) {
  std::ofstream(folder_ / "readme.txt") << "x";
  view_.rows.push_back({});
  const auto listing = List();
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_EQ(listing.fileCount, 0u);
  EXPECT_EQ(listing.conversionWorkTotal, 0u);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"此目录没有任何可支持的文件！"});
  EXPECT_EQ(ListRecordingFolder(folder_ / "gone", view_, messages_).fileCount, 0u);
  EXPECT_EQ(messages_.Texts().size(), 2u);
}

TEST_F(FolderListTest, EntriesThatCannotBeOpenedHideNoRecordingAndAreSaidOnce) {
  for (int i = 0; i < 5; ++i)
    WriteRecording(folder_ / ("r" + std::to_string(i) + ".spx"), 1000, 1000);
  // A link to nothing in the middle, a pipe sorting first, and a good
  // recording whose name is not valid text.
  fs::remove(folder_ / "r2.spx");
  fs::create_symlink(folder_ / "missing", folder_ / "r2.spx");
  ASSERT_EQ(::mkfifo((folder_ / "a-pipe.spx").c_str(), 0600), 0);
  const std::string latin1 = "caf\xe9.spx";
  WriteRecording(folder_ / latin1, 1000, 1000);

  const auto listing = List();
  std::vector<std::string> files;
  for (const auto& row : view_.rows) files.push_back(row.file.string());
  EXPECT_EQ(files, (std::vector<std::string>{latin1, "r0.spx", "r1.spx", "r3.spx", "r4.spx"}));
  EXPECT_EQ(view_.rows.back().caption, QStringLiteral("5"));
  EXPECT_EQ(listing.fileCount, 5u);
  EXPECT_EQ(listing.conversionWorkTotal, 15u);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"此目录没有任何可支持的文件！"});
}

TEST_F(FolderListTest, APipeNamedLikeARecordingIsRefusedInsteadOfWaitedOn) {
  ASSERT_EQ(::mkfifo((folder_ / "pipe.spx").c_str(), 0600), 0);
  List();
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"此目录没有任何可支持的文件！"});
}

TEST_F(FolderListTest, AFileShorterThanAHeaderShowsItsNameAndAnEmptyRecording) {
  std::ofstream(folder_ / "cut.spx", std::ios::binary) << std::string(7, '\xff');
  const auto listing = List();
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0].fileName, "cut.spx");
  EXPECT_EQ(view_.rows[0].texts, (ColumnTexts{QString(), QString(), QString(), "0K", "0 秒"}));
  EXPECT_EQ(listing.conversionWorkTotal, 1u);
}

TEST_F(FolderListTest, PathsOfAnyLengthAreListed) {
  fs::path deep = folder_.Path();
  for (int i = 0; i < 12; ++i) deep /= std::string(40, static_cast<char>('a' + i));
  fs::create_directories(deep);
  const std::string name = std::string(200, 'n') + ".spx";
  WriteRecording(deep / name, 500, 500);
  const auto listing = ListRecordingFolder(deep, view_, messages_);
  EXPECT_EQ(listing.fileCount, 1u);
  EXPECT_EQ(view_.rows[0].fileName, QString::fromStdString(name));
}

}  // namespace
}  // namespace parlomax::catalogue
