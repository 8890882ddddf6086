// The PC tab's folder button and the listing that showing the tab makes.
#include "ListRows.h"
#include "QtPrinters.h"
#include "TempFolder.h"
#include "WindowStateSeam.h"
#include "WindowWithTelephone.h"
#include "transfer/Ledger.h"

#include <QColor>
#include <QTabWidget>

#include <fstream>

namespace parlomax::app {
namespace {

class ComputerTabTest : public testing::WindowWithTelephone {
 protected:
  ComputerTabTest() : WindowWithTelephone({}) {}

  void AddRecording(const std::string& name, std::uint32_t length) {
    catalogue::RecordingFields fields;
    fields.payloadLength = length;
    const auto header = catalogue::EncodeRecordingHeader(fields);
    std::ofstream(folder_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(header.data()), header.size());
  }
  QTreeView* Files() { return form_.findChild<QTreeView*>("ListViewFile"); }
  QLineEdit* Input() { return form_.findChild<QLineEdit*>("EditInput"); }
  QString FolderText() const { return QString::fromStdString(folder_.Path().string()); }
  void ShowTab(int index) { form_.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(index); }

  testing::TempFolder folder_;
};

TEST_F(ComputerTabTest, ChoosingAFolderListsItsRecordingsAndCountsTheWork) {
  AddRecording("a.spx", 1000);
  AddRecording("b.spx", 0);
  folders_.answer = FolderText();
  Button("BitBtn3")->click();
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  EXPECT_EQ(Input()->text(), FolderText());
  EXPECT_EQ(testing::RowCount(Files()), 2);
  EXPECT_EQ(testing::StateOf(form_).FolderFileCount, 2u);
  EXPECT_EQ(testing::StateOf(form_).ConversionWorkTotal, 3u + 1u);
  EXPECT_EQ(folders_.prompts, std::vector<QString>{"请选择目录:"});

  folders_.answer.reset();  // cancelled: nothing changes
  Button("BitBtn3")->click();
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  EXPECT_EQ(Input()->text(), FolderText());
  EXPECT_EQ(testing::RowCount(Files()), 2);
}

TEST_F(ComputerTabTest, ShowingTheTabListsTheFolderAgainOnlyOnceOneWasChosen) {
  ShowTab(1);
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  EXPECT_EQ(testing::RowCount(Files()), 0);
  EXPECT_TRUE(messages_.Messages().empty());

  AddRecording("a.spx", 500);
  folders_.answer = FolderText();
  Button("BitBtn3")->click();
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  AddRecording("c.spx", 500);
  ShowTab(0);
  ShowTab(1);
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  EXPECT_EQ(testing::RowCount(Files()), 2);
  EXPECT_EQ(testing::CellText(Files(), 1, 0), "2");
  EXPECT_EQ(testing::StateOf(form_).FolderFileCount, 2u);

  // Not under a running conversion, which works from the rows it started on.
  AddRecording("d.spx", 500);
  testing::StateOf(form_).ConvertAllRunning = true;
  form_.TabSheetComputerShow();
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  EXPECT_EQ(testing::RowCount(Files()), 2);
}

TEST_F(ComputerTabTest, AnEmptyFolderEmptiesTheListAndSaysSo) {
  AddRecording("a.spx", 500);
  folders_.answer = FolderText();
  Button("BitBtn3")->click();
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  std::filesystem::remove(folder_ / "a.spx");
  form_.TabSheetComputerShow();
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  EXPECT_EQ(testing::RowCount(Files()), 0);
  EXPECT_EQ(testing::StateOf(form_).FolderFileCount, 0u);
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"此目录没有任何可支持的文件！"});
}

// The names the list shows, in its order.
std::vector<std::string> Names(const QTreeView* list) {
  std::vector<std::string> names;
  for (int row = 0; row < testing::RowCount(list); ++row)
    names.push_back(testing::CellText(list, row, 1).toStdString());
  return names;
}

TEST_F(ComputerTabTest, AFolderChangingWhileItIsReadEndsListedAsItIsWithoutAClick) {
  for (int i = 0; i < 3000; ++i) AddRecording("a" + std::to_string(10000 + i) + ".spx", 1000);
  folders_.answer = FolderText();
  Button("BitBtn3")->click();
  // While it is read: one file goes, one comes, one grows.
  std::filesystem::remove(folder_ / "a10001.spx");
  AddRecording("b.spx", 2000);
  AddRecording("a12999.spx", 5000);
  std::ofstream(folder_ / "a12999.spx", std::ios::app) << std::string(5000, 'x');
  std::vector<std::string> expected;
  for (int i = 0; i < 3000; ++i) {
    if (i != 1) expected.push_back("a" + std::to_string(10000 + i) + ".spx");
  }
  expected.push_back("b.spx");
  const auto settled = [&] {
    return Names(Files()) == expected && testing::CellText(Files(), 2998, 6) == "6 秒";
  };
  EXPECT_TRUE(testing::PumpUntil(settled, 20000));
  // A file copied in later shows without a click, in its place by name.
  AddRecording("a.spx", 1000);
  expected.insert(expected.begin(), "a.spx");
  EXPECT_TRUE(testing::PumpUntil([&] { return Names(Files()) == expected; }, 20000));
  EXPECT_EQ(testing::CellText(Files(), 0, 0), "1");
  EXPECT_EQ(testing::CellText(Files(), 1, 0), "2");
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(ComputerTabTest, AnotherFolderChosenMidwayDropsTheFirstListing) {
  for (int i = 0; i < 5000; ++i) AddRecording("a" + std::to_string(10000 + i) + ".spx", 1000);
  testing::TempFolder other;
  std::ofstream(other / "z.spx") << "short";
  folders_.answer = FolderText();
  Button("BitBtn3")->click();
  folders_.answer = QString::fromStdString(other.Path().string());
  Button("BitBtn3")->click();
  EXPECT_TRUE(testing::WaitForFolderListing(form_));
  testing::LetEventsRunFor(300);  // whatever the first reading still sends
  EXPECT_EQ(Names(Files()), std::vector<std::string>{"z.spx"});
  EXPECT_EQ(testing::CellText(Files(), 0, 5), "0K");
}

TEST_F(ComputerTabTest, EachRowSaysWhatTheLedgerSaysOfItsFileAndAChangedOneIsRed) {
  catalogue::RecordingFields fields;
  fields.payloadLength = 1000;
  const auto header = catalogue::EncodeRecordingHeader(fields);
  std::string bytes(header.begin(), header.end());
  bytes.append(1000, 'x');
  for (const char* name : {"a.spx", "b.spx", "c.spx"}) std::ofstream(folder_ / name) << bytes;
  for (const char* name : {"a.spx", "b.spx"}) {
    ASSERT_EQ(transfer::AppendToLedger(folder_.Path(),
                                       transfer::RecordOfCopy(name, header, bytes.size(),
                                                              transfer::Sha256Of(bytes), {})),
              0);
  }
  bytes.back() = 'y';  // the same size, another call
  std::ofstream(folder_ / "b.spx") << bytes;

  folders_.answer = FolderText();
  Button("BitBtn3")->click();
  const auto look = [&](int row, int role) { return Files()->model()->index(row, 2).data(role); };
  ASSERT_TRUE(testing::PumpUntil([&] { return look(2, Qt::ToolTipRole).isValid(); }));
  EXPECT_EQ(look(0, Qt::ToolTipRole).toString(), QStringLiteral("已校验"));
  EXPECT_TRUE(look(1, Qt::ToolTipRole).toString().startsWith(QStringLiteral("已改变")));
  EXPECT_TRUE(
      look(2, Qt::ToolTipRole).toString().startsWith(QStringLiteral("不是 Parlomax 复制的")));
  EXPECT_EQ(look(1, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
  EXPECT_FALSE(look(0, Qt::ForegroundRole).isValid());
}

}  // namespace
}  // namespace parlomax::app
