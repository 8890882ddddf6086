// Text laid out for a terminal, where a Chinese character takes two cells.
#include "cli/TextColumns.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace parlomax::cli {
namespace {

// Where each cell of a line starts, in cells, when cells are separated by
// runs of two or more blanks.
std::vector<int> CellStarts(const QString& line) {
  std::vector<int> starts;
  int column = 0;
  bool inCell = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const bool gap = line[i] == u' ' && (i + 1 >= line.size() || line[i + 1] == u' ' || !inCell);
    if (!gap && !inCell) starts.push_back(column);
    inCell = !gap;
    column += DisplayWidth(line.mid(i, 1));
  }
  return starts;
}

TEST(TextColumns, AChineseCharacterTakesTwoCellsAndAMarkNone) {
  EXPECT_EQ(DisplayWidth(QStringLiteral("12月05日 08:43")), 14);
  EXPECT_EQ(DisplayWidth(QStringLiteral("电话号码")), 8);
  EXPECT_EQ(DisplayWidth(QStringLiteral("（不回显）")), 10);  // full-width brackets
  EXPECT_EQ(DisplayWidth(QStringLiteral("e\u0301")), 1);     // e and a combining accent
  EXPECT_EQ(PaddedTo(QStringLiteral("时长"), 6), QStringLiteral("时长  "));
}

TEST(TextColumns, ColumnsOfChineseAndLatinTextsLineUpOnTheTerminal) {
  const QString table = AlignedColumns({{QStringLiteral("序号"), QStringLiteral("文件名"), QStringLiteral("时长")},
                                        {QStringLiteral("1"), QStringLiteral("12050843_0001.spx"), QStringLiteral("22 秒")},
                                        {QStringLiteral("12"), QStringLiteral("a.spx"), QStringLiteral("1 时2 分6 秒")}});
  const QStringList lines = table.split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  for (const QString& line : lines) EXPECT_EQ(CellStarts(line), (std::vector<int>{0, 6, 25})) << line.toStdString();
  EXPECT_FALSE(table.contains(QStringLiteral(" \n"))) << "no blanks at a line's end";
}

TEST(TextColumns, AHelpTextStartsEveryEntrysTextInOneColumn) {
  const QString help = HelpEntries({{QStringLiteral("--pin-file 文件"), {QStringLiteral("从文件读密码"), QStringLiteral("第二行")}},
                                    {QStringLiteral("-q, --quiet"), {QStringLiteral("只报告错误")}}});
  EXPECT_EQ(help, QStringLiteral("  --pin-file 文件  从文件读密码\n"
                                 "                   第二行\n"
                                 "  -q, --quiet      只报告错误\n"));
}

}  // namespace
}  // namespace parlomax::cli
