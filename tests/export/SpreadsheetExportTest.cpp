#include "export/SpreadsheetExport.h"

#include "FileBytes.h"
#include "QtPrinters.h"
#include "RecordingAutomation.h"
#include "RecordingMessageService.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace parlomax::exporting {
namespace {

const std::vector<QString> kCaptions{"序号", "文件名", "电话号码", "时间", "属性", "文件长度", "时长"};

ExportTable Table(int rows) {
  ExportTable table;
  table.columnCaptions = kCaptions;
  for (int r = 1; r <= rows; ++r) {
    table.rows.push_back({QString::number(r),
                          {QStringLiteral("0317143%1_000%1.spx").arg(r), "13800138000",
                           " 03月17日 14:30 ", "来电", "12K", "13 秒"}});
  }
  table.fontName = QStringLiteral("MS Sans Serif");
  table.fontPointSize = 8;
  return table;
}

// The calls the export makes, in order, for a table.
QStringList ExpectedCalls(const ExportTable& table, const QString& fileName) {
  const QString sheet = QStringLiteral("App.ActiveWorkbook.Sheets(int:1)");
  QStringList calls{
      "set App.Visible = bool:true",
      "get App.Workbooks",
      "call App.Workbooks.Add(int:1)",
      "get App.ActiveWorkbook",
      "get " + sheet,
      "get App.Cells",
      "set App.Cells.NumberFormatLocal = str:@",
      "get App.Cells",
      "set App.Cells.HorizontalAlignment = int:3",
      "call " + sheet + ".Select",
      "get " + sheet + ".Cells",
      "call " + sheet + ".Cells.Select",
  };
  for (const QString& font : {QStringLiteral("Size = int:8"), QStringLiteral("Name = str:MS Sans Serif"),
                              QStringLiteral("FontStyle = str:常规")}) {
    calls << "get App.Selection" << "get App.Selection.Font" << "set App.Selection.Font." + font;
  }
  calls << "get " + sheet + ".Cells(int:1,int:1)" << "call " + sheet + ".Cells(int:1,int:1).Select";
  for (int c = 1; c <= 7; ++c) {
    calls << QStringLiteral("get App.Columns(int:%1)").arg(c)
          << QStringLiteral("set App.Columns(int:%1).ColumnWidth = double:13.461538461538462").arg(c);
  }
  for (int j = 1; j <= 7; ++j) {
    const QString cell = sheet + QStringLiteral(".Cells(int:1,int:%1)").arg(j);
    calls << "get App.Rows(int:1)" << "set App.Rows(int:1).RowHeight = int:20" << "get " + cell
          << "set " + cell + ".Value = str:" + table.columnCaptions[j - 1] << "get " + cell + ".Interior"
          << "set " + cell + ".Interior.ColorIndex = int:15" << "set " + cell + ".Interior.Pattern = int:1"
          << "set " + cell + ".Interior.PatternColorIndex = int:-4105";
  }
  for (int r = 1; r <= static_cast<int>(table.rows.size()); ++r) {
    const auto& row = table.rows[r - 1];
    calls << QStringLiteral("get App.Rows(int:%1)").arg(r + 1)
          << QStringLiteral("set App.Rows(int:%1).RowHeight = int:16").arg(r + 1);
    for (int k = 0; k <= static_cast<int>(row.subItems.size()); ++k) {
      const QString cell = sheet + QStringLiteral(".Cells(int:%1,int:%2)").arg(r + 1).arg(k + 1);
      calls << "get " + cell << "set " + cell + ".Value = str:" + (k == 0 ? row.caption : row.subItems[k - 1]);
    }
  }
  calls << "get App.ActiveWorkbook" << "call App.ActiveWorkbook.SaveAs(str:" + fileName + ")"
        << "call App.Quit";
  return calls;
}

class SpreadsheetExportTest : public ::testing::Test {
 protected:
  QString FileName() const { return QString::fromStdString((folder_ / "list.xls").string()); }
  void Export(const ExportTable& table) {
    ExportListToSpreadsheet(table, FileName(), automation_, messages_);
  }

  testing::TempFolder folder_;
  testing::RecordingAutomation automation_;
  testing::RecordingMessageService messages_;
};

TEST_F(SpreadsheetExportTest, MakesTheCallsInOrderWithTheirValueTypes) {
  const auto table = Table(3);
  Export(table);
  EXPECT_EQ(automation_.createdClasses, QStringList{"Excel.Application"});
  const QStringList expected = ExpectedCalls(table, FileName());
  ASSERT_EQ(automation_.log.size(), expected.size());
  for (int i = 0; i < expected.size(); ++i) EXPECT_EQ(automation_.log[i], expected[i]) << "call " << i;
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0],
            (testing::RecordingMessageService::Message{
                "导出 Excel ", "导出 Excel 结束！", shell::MessageIcon::Information, false,
                FileName(), QString::fromStdString(folder_.Path().string())}));
}

TEST_F(SpreadsheetExportTest, AnEmptyListGivesTheHeaderRowAloneWithItsFormatting) {
  const auto table = Table(0);
  Export(table);
  EXPECT_EQ(automation_.log, ExpectedCalls(table, FileName()));
  EXPECT_EQ(ExportColumnWidth(), 13.461538461538462);
}

TEST_F(SpreadsheetExportTest, TheFileNameIsFolderThenNameBoxThenXls) {
  EXPECT_EQ(ExportFileName("/home/desk/", "电话列表List"), "/home/desk/电话列表List.xls");
  EXPECT_EQ(ExportFileName("/home/desk/", ""), "/home/desk/FileInfoList.xls");
  EXPECT_EQ(ExportFileName("/home/desk", "calls"), "/home/deskcalls.xls");
}

TEST_F(SpreadsheetExportTest, AnExistingFileIsKeptOnCancelAndAfterOkUntilTheNewOneIsSaved) {
  std::ofstream(folder_ / "list.xls") << "old";
  messages_.AnswerQuestionsWith(false);
  Export(Table(1));
  EXPECT_TRUE(automation_.createdClasses.isEmpty());
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"文件已经存在,是否删除?", "放弃操作"}));

  messages_.Clear();
  messages_.AnswerQuestionsWith(true);
  automation_.refuseToStart = true;  // no new list, so the old one stays
  Export(Table(1));
  EXPECT_EQ(messages_.Messages()[0].question, true);
  EXPECT_EQ(testing::FileBytes(folder_ / "list.xls"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST_F(SpreadsheetExportTest, AServerThatCannotStartIsReportedAndNothingIsWritten) {
  automation_.refuseToStart = true;
  Export(Table(2));
  EXPECT_TRUE(automation_.log.isEmpty());
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0],
            (testing::RecordingMessageService::Message{"导出 Excel", "启动 Excel 出错, 可能是没有安装Excel.",
                                                       shell::MessageIcon::Error}));
}

TEST_F(SpreadsheetExportTest, AFailedCallStillTellsTheServerToQuitAndIsPassedOn) {
  automation_.failOn = QStringLiteral("call App.ActiveWorkbook.SaveAs");
  EXPECT_THROW(Export(Table(2)), spreadsheet::AutomationError);
  EXPECT_EQ(automation_.log.back(), "call App.Quit");
  EXPECT_TRUE(messages_.Messages().empty());
}

}  // namespace
}  // namespace parlomax::exporting
