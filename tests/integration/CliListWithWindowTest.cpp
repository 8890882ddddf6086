// The command-line program and the window on the same telephone: one at a
// time, as a real telephone's USB interface allows, and they show the same
// list.
#include "ListRows.h"
#include "ProgramRun.h"
#include "WindowWithEmulator.h"

namespace parlomax::app {
namespace {

class CliListWithWindowTest : public testing::WindowWithEmulator {
 protected:
  testing::ProgramResult CliList() {
    return testing::RunProgram(
        {PARLOMAX_CLI_PROGRAM, "list"},
        {"XDG_RUNTIME_DIR=" + sockets_.Path().string(), "PARLOMAX_PIN=9174"});
  }
};

TEST_F(CliListWithWindowTest, TheListsTextsAreTheWindowsTextsOnceTheWindowLetsGo) {
  auto phone = PlugIn({"--generate", "40", "--seed", "9"});
  ASSERT_TRUE(WaitUntilAttached());
  LogInAndList(QStringLiteral("9174"));
  ASSERT_EQ(testing::RowCount(List()), 40);

  // The window holds the telephone from its first list request until it closes.
  const auto refused = CliList();
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("另一个程序正在使用"), std::string::npos) << refused.err;
  EXPECT_TRUE(refused.out.empty());
  Button("ButtonExit")->click();

  const auto run = CliList();
  ASSERT_EQ(run.status, 0) << run.err;
  const QStringList lines = QString::fromStdString(run.out).split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 41);
  QStringList header;
  for (int c = 0; c < List()->model()->columnCount(); ++c)
    header.push_back(List()->model()->headerData(c, Qt::Horizontal).toString());
  EXPECT_EQ(lines[0], header.join(u'\t'));
  for (int r = 0; r < 40; ++r) {
    QStringList row;
    for (int c = 0; c < List()->model()->columnCount(); ++c)
      row.push_back(testing::CellText(List(), r, c));
    EXPECT_EQ(lines[r + 1], row.join(u'\t')) << r;
  }
}

}  // namespace
}  // namespace parlomax::app
