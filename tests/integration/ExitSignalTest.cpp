// The program itself, told to end by a signal as a desktop logout, Ctrl+C
// or a plain kill tells it, and asked what it is without a display.
#include "ChildProcess.h"
#include "ProgramRun.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace parlomax {
namespace {

// The program's private working folders in `runtime`.
int WorkingFolders(const std::filesystem::path& runtime) {
  int found = 0;
  for (const auto& entry : std::filesystem::directory_iterator(runtime)) {
    if (entry.path().filename().string().starts_with("parlomax-")) ++found;
  }
  return found;
}

TEST(ExitSignal, EndsTheProgramCleanlyAndLeavesNoWorkingFolderBehind) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    testing::TempFolder runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::ChildProcess program({PARLOMAX_PROGRAM});
    ASSERT_TRUE(program.Started());
    for (int i = 0; i < 1000 && WorkingFolders(runtime.Path()) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(WorkingFolders(runtime.Path()), 1) << "signal " << signal;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the window is up
    program.Signal(signal);
    EXPECT_EQ(program.Wait(10000), 0) << "signal " << signal;
    EXPECT_EQ(WorkingFolders(runtime.Path()), 0) << "signal " << signal;
  }
}

TEST(StartOptions, HelpAndVersionAnswerWithoutADisplay) {
  const std::vector<std::string> noDisplay{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  const auto version = testing::RunProgram({PARLOMAX_PROGRAM, "--version"}, noDisplay, 10000);
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out, "parlomax " PARLOMAX_VERSION "\n");
  const auto help =
      testing::RunProgram({PARLOMAX_PROGRAM, "-platform", "xcb", "--help"}, noDisplay, 10000);
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_TRUE(help.out.starts_with("用法：parlomax")) << help.out;
  EXPECT_EQ(help.err, "");
}

}  // namespace
}  // namespace parlomax
