// The command-line program and the window on the same telephone: one at a
// time, as a real telephone's USB interface allows, and they show the same
// list.
#include "ProgramRun.h"
#include "WindowWithEmulator.h"
#include "phone/Content.h"
#include "phone/PhoneServer.h"

#include <thread>

namespace parlomax::app {
namespace {

class CliListWithWindowTest : public testing::WindowWithEmulator {
 protected:
  testing::ProgramResult CliList() {
    return testing::RunProgram(
        {PARLOMAX_CLI_PROGRAM, "list"},
        {"XDG_RUNTIME_DIR=" + sockets_.Path().string(), "PARLOMAX_PIN=9174"});
  }
  static bool SaysItIsInUse(const std::string& text) {
    return text.find("另一个程序正在使用") != std::string::npos;
  }
};

TEST_F(CliListWithWindowTest, TheListsTextsAreTheWindowsTextsOnceTheWindowLetsGo) {
  auto phone = PlugIn({"--generate", "40", "--seed", "9"});
  ASSERT_TRUE(WaitUntilAttached());
  LogInAndList(QStringLiteral("9174"));
  ASSERT_EQ(List()->topLevelItemCount(), 40);

  // The window holds the telephone from its first list request until it closes.
  const auto refused = CliList();
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(SaysItIsInUse(refused.err)) << refused.err;
  EXPECT_TRUE(refused.out.empty());
  Button("ButtonExit")->click();

  const auto run = CliList();
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

TEST_F(CliListWithWindowTest, AWindowThatFindsTheTelephoneInUseSaysSoAndGetsItOnceItIsFree) {
  // parlomax-cli holds the telephone while its first header is held back.
  phone::FaultPlan faults;
  faults.AddRule(phone::FaultRule::Kind::Stall, "2@1:30000");
  phone::PhoneServer server(std::make_shared<phone::TelephoneModel>(
                                phone::Pin{9, 1, 7, 4}, phone::GenerateRecordings(3, 4)),
                            std::move(faults), Emulators());
  std::thread serving([&server] { server.Serve(); });
  ASSERT_TRUE(WaitUntilAttached());
  testing::ChildProcess cli({PARLOMAX_CLI_PROGRAM, "list"},
                            {{"XDG_RUNTIME_DIR=" + sockets_.Path().string(), "PARLOMAX_PIN=9174"}});
  ASSERT_TRUE(testing::PumpUntil([&] { return server.Received() >= 3; }, 10000));

  LogInAndList(QStringLiteral("9174"));
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0].caption, "Waring");
  EXPECT_TRUE(SaysItIsInUse(messages_.Texts()[0].toStdString()))
      << messages_.Texts()[0].toStdString();
  EXPECT_FALSE(form_.Link().DeviceOpen());
  EXPECT_EQ(server.Received(), 3u) << "the window talked to a telephone it does not hold";

  cli.Signal(SIGKILL);
  cli.Wait();
  messages_.Clear();
  LogInAndList(QStringLiteral("9174"));
  EXPECT_TRUE(form_.Link().LoggedIn());
  EXPECT_EQ(List()->topLevelItemCount(), 3);
  EXPECT_TRUE(messages_.Messages().empty());
  server.Stop();
  serving.join();
}

}  // namespace
}  // namespace parlomax::app
