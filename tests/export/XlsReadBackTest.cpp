// Files written by our spreadsheet server, read back by readers that have
// nothing to do with it: python's xlrd and LibreOffice.
#include "export/SpreadsheetExport.h"

#include "QtPrinters.h"
#include "RecordingMessageService.h"
#include "TempFolder.h"
#include "platform/shell/StartAndWait.h"
#include "platform/spreadsheet/SpreadsheetServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <fstream>

namespace parlomax::exporting {
namespace {

const char* kPython = "/usr/bin/python3";

bool HaveXlrd() {
  return shell::StartAndWait(kPython, {"-c", "import xlrd"}) == 0;
}

ExportTable ChineseTable(int rows) {
  ExportTable table;
  table.columnCaptions = {"序号", "文件名", "电话号码", "时间", "属性", "文件长度", "时长"};
  for (int r = 1; r <= rows; ++r) {
    table.rows.push_back({QString::number(r),
                          {QStringLiteral("03171430_%1.spx").arg(r, 4, 10, QLatin1Char('0')),
                           QStringLiteral("1380013%1").arg(r % 10000, 4, 10, QLatin1Char('0')),
                           QStringLiteral(" 03月17日 14:30 "), r % 2 ? QStringLiteral("来电") : QStringLiteral("录音"),
                           QStringLiteral("%1K").arg(r % 97), QStringLiteral("1 分%1 秒").arg(r % 60)}});
  }
  table.fontName = QStringLiteral("MS Sans Serif");
  table.fontPointSize = 8;
  return table;
}

QStringList RowTexts(const ExportTable::Row& row) {
  QStringList texts{row.caption};
  for (const auto& s : row.subItems) texts << s;
  return texts;
}

QStringList JsonTexts(const QJsonValue& row) {
  QStringList texts;
  for (const auto& v : row.toArray()) texts << v.toString();
  return texts;
}

class XlsReadBackTest : public ::testing::Test {
 protected:
  std::string Export(const ExportTable& table) {
    const auto file = folder_ / "list.xls";
    ExportListToSpreadsheet(table, QString::fromStdString(file.string()), automation_, messages_);
    return file.string();
  }
  QJsonObject ReadWithXlrd(const std::string& file, int rows) {
    QProcess reader;
    reader.start(kPython, {QStringLiteral(PARLOMAX_SOURCE_DIR "/tests/export/read_xls.py"),
                           QString::fromStdString(file), QString::number(rows)});
    reader.waitForFinished(120000);
    EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
  }

  testing::TempFolder folder_;
  spreadsheet::BuiltInAutomation automation_;
  testing::RecordingMessageService messages_;
};

TEST_F(XlsReadBackTest, XlrdReadsTheCellsAndTheirFormatting) {
  if (!HaveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed";
  const auto table = ChineseTable(3);
  const auto report = ReadWithXlrd(Export(table), 5);
  EXPECT_EQ(report["sheets"].toInt(), 1);
  ASSERT_EQ(report["nrows"].toInt(), 4);
  EXPECT_EQ(report["ncols"].toInt(), 7);
  const auto rows = report["first_rows"].toArray();
  EXPECT_EQ(JsonTexts(rows[0]), QStringList(table.columnCaptions.begin(), table.columnCaptions.end()));
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(JsonTexts(rows[r]), RowTexts(table.rows[r - 1])) << r;

  EXPECT_EQ(report["font"]["name"].toString(), "MS Sans Serif");
  EXPECT_EQ(report["font"]["height"].toInt(), 160);
  for (const auto& width : report["column_widths"].toArray()) EXPECT_EQ(width.toInt(), 3446);
  const auto heights = report["row_heights"].toArray();
  EXPECT_EQ(heights[0].toInt(), 400);  // 20 points
  EXPECT_EQ(heights[1].toInt(), 320);  // 16 points

  const auto header = report["header_style"].toObject();
  EXPECT_EQ(header["format"].toString(), "@");
  EXPECT_EQ(header["hor_align"].toInt(), 2);
  EXPECT_EQ(header["fill_pattern"].toInt(), 1);
  EXPECT_EQ(header["pattern_colour"].toInt(), 22);  // grey
  EXPECT_EQ(header["background_colour"].toInt(), 64);
  const auto cell = report["cell_style"].toObject();
  EXPECT_EQ(cell["format"].toString(), "@");
  EXPECT_EQ(cell["hor_align"].toInt(), 2);
  EXPECT_EQ(cell["fill_pattern"].toInt(), 0);
}

TEST_F(XlsReadBackTest, XlrdReadsTheLargestListTheTelephoneCanHold) {
  if (!HaveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed";
  const auto table = ChineseTable(65535);
  const auto file = Export(table);
  EXPECT_GT(std::filesystem::file_size(file), 7u << 20);  // past what the header's FAT list covers
  const auto report = ReadWithXlrd(file, 3);
  ASSERT_EQ(report["nrows"].toInt(), 65536);
  EXPECT_EQ(JsonTexts(report["first_rows"].toArray()[2]), RowTexts(table.rows[1]));
  EXPECT_EQ(JsonTexts(report["last_row"]), RowTexts(table.rows.back()));
}

TEST_F(XlsReadBackTest, LibreOfficeOpensItAsTheSameTable) {
  if (shell::StartAndWait("soffice", {"--version"}) != 0) GTEST_SKIP() << "LibreOffice is not installed";
  const auto table = ChineseTable(3);
  const auto file = Export(table);
  const auto profile = folder_ / "lo-profile";
  const auto converted = shell::StartAndWait(
      "soffice", {"--headless", "-env:UserInstallation=file://" + profile.string(), "--convert-to",
                  "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", folder_.Path().string(), file});
  ASSERT_EQ(converted, 0);
  std::ifstream in(folder_ / "list.csv");
  std::string line;
  std::vector<QString> lines;
  while (std::getline(in, line)) lines.push_back(QString::fromStdString(line).trimmed());
  ASSERT_EQ(lines.size(), 4u);
  // Every cell is text, so every cell comes back quoted.
  EXPECT_EQ(lines[0], R"("序号","文件名","电话号码","时间","属性","文件长度","时长")");
  EXPECT_EQ(lines[1], R"("1","03171430_0001.spx","13800130001"," 03月17日 14:30 ","来电","1K","1 分1 秒")");
  EXPECT_EQ(lines[3], R"("3","03171430_0003.spx","13800130003"," 03月17日 14:30 ","来电","3K","1 分3 秒")");
}

TEST_F(XlsReadBackTest, AFolderThatCannotTakeTheFileIsAnErrorAndLeavesNoFile) {
  EXPECT_THROW(ExportListToSpreadsheet(ChineseTable(2), QStringLiteral("/nonexistent/folder/list.xls"),
                                       automation_, messages_),
               spreadsheet::AutomationError);
  EXPECT_FALSE(std::filesystem::exists("/nonexistent/folder/list.xls"));
}

TEST(SpreadsheetServer, RefusesWhatItDoesNotKnow) {
  const auto app = spreadsheet::StartSpreadsheetServer();
  EXPECT_THROW(app->Get(QStringLiteral("Charts")), spreadsheet::AutomationError);
  EXPECT_THROW(app->Get(QStringLiteral("Cells")), spreadsheet::AutomationError);  // no workbook yet
  spreadsheet::AsObject(app->Get(QStringLiteral("Workbooks")), "Workbooks")->Call(QStringLiteral("Add"));
  EXPECT_THROW(app->Get(QStringLiteral("Cells"), {std::int32_t{0}, std::int32_t{1}}),
               spreadsheet::AutomationError);
  const auto cells = spreadsheet::AsObject(app->Get(QStringLiteral("Cells")), "Cells");
  EXPECT_THROW(cells->Set(QStringLiteral("NumberFormatLocal"), QStringLiteral("0.00")),
               spreadsheet::AutomationError);
  EXPECT_THROW(cells->Set(QStringLiteral("Value"), QStringLiteral("x")), spreadsheet::AutomationError);
  EXPECT_THROW(app->Set(QStringLiteral("Visible"), std::int32_t{1}), spreadsheet::AutomationError);
  app->Call(QStringLiteral("Quit"));
  EXPECT_THROW(app->Get(QStringLiteral("Cells")), spreadsheet::AutomationError);
  EXPECT_EQ(spreadsheet::BuiltInAutomation().Create(QStringLiteral("Word.Application")), nullptr);
}

}  // namespace
}  // namespace parlomax::exporting
