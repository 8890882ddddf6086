// The command-line program and the window, logged in to the same telephone,
// show the same list.
#include "ProgramRun.h"
#include "WindowWithEmulator.h"

namespace parlomax::app {
namespace {

class CliListWithWindowTest : public testing::WindowWithEmulator {};

TEST_F(CliListWithWindowTest, TheListsTextsAreTheWindowsTexts) {
  auto phone = PlugIn({"--generate", "40", "--seed", "9"});
  ASSERT_TRUE(WaitUntilAttached());
  LogInAndList(QStringLiteral("9174"));
  ASSERT_EQ(List()->topLevelItemCount(), 40);

  const auto run = testing::RunProgram({PARLOMAX_CLI_PROGRAM, "list"},
                                       {"XDG_RUNTIME_DIR=" + sockets_.Path().string(), "PARLOMAX_PIN=9174"});
  ASSERT_EQ(run.status, 0) << run.err;
  const QStringList lines = QString::fromStdString(run.out).split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 41);
  QStringList header;
  for (int c = 0; c < List()->columnCount(); ++c) header.push_back(List()->headerItem()->text(c));
  EXPECT_EQ(lines[0], header.join(u'\t'));
  for (int r = 0; r < 40; ++r) {
    QStringList row;
    for (int c = 0; c < List()->columnCount(); ++c) row.push_back(List()->topLevelItem(r)->text(c));
    EXPECT_EQ(lines[r + 1], row.join(u'\t')) << r;
  }
}

}  // namespace
}  // namespace parlomax::app
