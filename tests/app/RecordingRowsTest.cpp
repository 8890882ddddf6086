// What the PC list's rows stand for: sorted by each kind of column as the
// values they show, and brought up to date without losing their place.
#include "app/ListFindBar.h"
#include "app/RecordingListView.h"
#include "app/RecordingRows.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTreeView>

#include <QPersistentModelIndex>

#include <gtest/gtest.h>

namespace parlomax::app {
namespace {

catalogue::FolderRecording File(std::string name, unsigned type, unsigned month, unsigned day,
                                const char* number, std::uint32_t payload) {
  catalogue::FolderRecording file;
  file.name = std::move(name);
  file.opened = file.complete = true;
  catalogue::RecordingFields fields;
  fields.callType = type;
  fields.month = month;
  fields.day = day;
  fields.hour = 9;
  fields.telephoneNumber = QString::fromLatin1(number);
  fields.payloadLength = payload;
  file.header = catalogue::EncodeRecordingHeader(fields);
  file.fileSize = catalogue::kRecordingHeaderSize + payload;
  return file;
}

catalogue::FolderRecordings ThreeCalls() {
  return {File("a.spx", 2, 12, 1, "", 9000),       // 10 s, 9K
          File("b.spx", 0, 3, 17, "9", 100000),    // 1 分41 秒, 98K
          File("c.spx", 1, 11, 30, "10", 10000)};  // 11 s, 10K
}

std::vector<std::string> NamesShown(const RecordingListProxy& shown) {
  std::vector<std::string> names;
  for (int row = 0; row < shown.rowCount(); ++row)
    names.push_back(shown.index(row, 1).data().toString().toStdString());
  return names;
}

TEST(RecordingRowsTest, EachColumnSortsByWhatItShowsNumbersAndTimesAsSuch) {
  FolderRecordingRows rows;
  rows.Append(FolderRecordingRows::Describe(ThreeCalls()));
  RecordingListProxy shown(&rows);
  EXPECT_EQ(NamesShown(shown), (std::vector<std::string>{"a.spx", "b.spx", "c.spx"}));
  const std::vector<std::pair<int, std::vector<std::string>>> cases{
      {0, {"a.spx", "b.spx", "c.spx"}},
      {2, {"a.spx", "c.spx", "b.spx"}},  // no number first, then "10" < "9" as text
      {3, {"b.spx", "c.spx", "a.spx"}},  // 3-17, 11-30, 12-01
      {4, {"b.spx", "c.spx", "a.spx"}},  // 来电, 去电, 录音
      {5, {"a.spx", "c.spx", "b.spx"}},  // 9K, 10K, 98K
      {6, {"a.spx", "c.spx", "b.spx"}},  // 10 s, 11 s, 1 min 41 s
  };
  for (const auto& [column, order] : cases) {
    shown.sort(column, Qt::AscendingOrder);
    EXPECT_EQ(NamesShown(shown), order) << column;
    shown.sort(column, Qt::DescendingOrder);
    EXPECT_EQ(NamesShown(shown), std::vector<std::string>(order.rbegin(), order.rend())) << column;
  }
  // The number stays with its row.
  shown.sort(5, Qt::DescendingOrder);
  EXPECT_EQ(shown.index(0, 0).data().toString(), "2");
}

TEST(RecordingRowsTest, ReadingAgainChangesOnlyTheRowsWhoseFilesChanged) {
  FolderRecordingRows rows;
  rows.Append(FolderRecordingRows::Describe(ThreeCalls()));
  const QPersistentModelIndex kept = rows.index(2, 0);
  auto now = ThreeCalls();
  now.erase(now.begin());    // a.spx gone
  now[0].fileSize -= 50000;  // b.spx cut short
  now.push_back(File("d.spx", 0, 1, 1, "1", 1000));
  now.insert(now.begin(), File("B.spx", 0, 1, 1, "1", 1000));
  EXPECT_TRUE(rows.Become(catalogue::FolderRecordings(now)));
  ASSERT_EQ(rows.rowCount(), 4);
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(rows.File(row).name, now[row].name);
    EXPECT_EQ(rows.index(row, 0).data().toString(), QString::number(row + 1));
  }
  EXPECT_EQ(rows.index(1, 5).data().toString(), "49K");
  EXPECT_EQ(kept.row(), 2);  // c.spx, still where its file is listed
  EXPECT_FALSE(rows.Become(std::move(now)));
}

// Every row shown selected is a case of its own for the selection, and a
// list of recordings easily has more than a few hundred of them.
TEST(RecordingRowsTest, TheFindBarKeepsASelectionOfEveryRowShown) {
  QTreeView list;
  auto* rows = new FolderRecordingRows(&list);
  SetUpRecordingListView(&list, rows);
  new ListFindBar(&list, "EditFind");
  catalogue::FolderRecordings files;
  for (int i = 0; i < 300; ++i) {
    const std::string name = (i < 200 ? "a" : "b") + std::to_string(1000 + i) + ".spx";
    files.push_back(File(name, 0, 3, 17, "1", 1000));
  }
  rows->Append(FolderRecordingRows::Describe(std::move(files)));
  list.show();
  auto* find = list.findChild<QLineEdit*>("EditFind");
  const auto selected = [&] { return list.selectionModel()->selectedRows().size(); };

  // Narrowed, Ctrl+A, then Esc: the rows chosen stay chosen.
  find->setText(QStringLiteral("a"));
  ASSERT_EQ(list.model()->rowCount(), 200);
  list.selectAll();
  ASSERT_EQ(selected(), 200);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(find, &esc);
  ASSERT_EQ(list.model()->rowCount(), 300);
  EXPECT_EQ(selected(), 200);

  // All selected, then narrowed: the rows still shown stay selected.
  list.selectAll();
  find->setText(QStringLiteral("b"));
  ASSERT_EQ(list.model()->rowCount(), 100);
  EXPECT_EQ(selected(), 100);
}

}  // namespace
}  // namespace parlomax::app
