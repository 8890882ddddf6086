// Text laid out for a terminal, where a Chinese character takes two cells.
#include "cli/TextColumns.h"

#include "cli/StatusLine.h"

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

TEST(TextColumns, ALineIsCutWithinItsWidthWithoutSplittingACharacter) {
  const struct {
    const char* text;
    int width;
    const char* kept;
  } cases[] = {
      {"[3/9] 12050843.spx", 9, "[3/9] 120"},
      {"复制录音", 5, "复制"},  // a wide character never half drawn
      {"复制录音", 8, "复制录音"},
      {"e\u0301tape", 1, "e\u0301"},  // the accent stays with its letter
      {"abc", 0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CutToWidth(QString::fromUtf8(c.text), c.width), QString::fromUtf8(c.kept)) << c.text;
  }
}

// What a terminal of the given width would show on the line the progress is drawn on.
TEST(StatusLineOnATerminal, TheProgressLineNeverWrapsAndFollowsAResize) {
  int columns = 30;
  const QString text =
      QStringLiteral("[12/40] 12050843_0001.spx [#####-----] 1.2 MB/3.4 MB 剩余 0:42");
  testing::internal::CaptureStderr();
  {
    StatusLine line(true, [&] { return columns; });
    line.Draw(text);
    columns = 50;
    line.Redraw();
  }
  const QStringList drawn = QString::fromStdString(testing::internal::GetCapturedStderr())
                                .remove(QStringLiteral("\x1b[K"))
                                .split(u'\r', Qt::SkipEmptyParts);
  ASSERT_EQ(drawn.size(), 2);
  EXPECT_EQ(drawn[0], CutToWidth(text, 29));
  EXPECT_EQ(drawn[1], CutToWidth(text, 49));
  EXPECT_LT(DisplayWidth(drawn[0]), 30);
  EXPECT_GT(DisplayWidth(drawn[1]), DisplayWidth(drawn[0]));
}

}  // namespace
}  // namespace parlomax::cli
