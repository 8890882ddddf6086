#include "platform/shell/PrivateWorkingDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace parlomax::shell {
namespace {

namespace fs = std::filesystem;

TEST(PrivateWorkingDirectory, IsEnteredWhileAliveAndRemovedWithItsFilesAfterwards) {
  const fs::path before = fs::current_path();
  fs::path inside;
  {
    PrivateWorkingDirectory dir(fs::temp_directory_path());
    inside = dir.Path();
    EXPECT_EQ(fs::current_path(), inside);
    EXPECT_EQ(inside.parent_path(), fs::temp_directory_path());
    std::ofstream("temp_decoder.spt_") << "scratch";
    EXPECT_TRUE(fs::exists(inside / "temp_decoder.spt_"));
  }
  EXPECT_FALSE(fs::exists(inside));
  EXPECT_EQ(fs::current_path(), before);
}

TEST(PrivateWorkingDirectory, TwoCopiesNeverShareAFolderAndAKilledOnesIsRemovedByTheNext) {
  const fs::path parent = fs::temp_directory_path() / "parlomax-leftover-test";
  fs::remove_all(parent);
  fs::create_directories(parent);
  // What a killed program left: decoded sound of a call.
  const fs::path killed = parent / "parlomax-work-Ab12Cd";
  fs::create_directories(killed);
  std::ofstream(killed / "temp1.wav") << "a call";
  const auto minutesAgo = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  fs::last_write_time(killed, minutesAgo);
  {
    PrivateWorkingDirectory a(parent);
    fs::last_write_time(a.Path(), minutesAgo);
    PrivateWorkingDirectory b(parent);
    EXPECT_NE(a.Path(), b.Path());
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(a.Path())) << "the folder of a program that runs";
  }
  fs::remove_all(parent);
}

TEST(PrivateWorkingDirectory, PrefersTheUsersRuntimeFolder) {
  const fs::path runtime = fs::temp_directory_path() / "parlomax-runtime-test";
  fs::create_directories(runtime);
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  {
    PrivateWorkingDirectory dir;
    EXPECT_EQ(dir.Path().parent_path(), runtime);
  }
  // Without one, a folder in memory, when the system has one.
  ::unsetenv("XDG_RUNTIME_DIR");
  if (fs::is_directory("/dev/shm")) {
    PrivateWorkingDirectory dir;
    EXPECT_EQ(dir.Path().parent_path(), "/dev/shm");
  }
  if (old) {
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  fs::remove_all(runtime);
}

TEST(PrivateWorkingDirectory, AnUnusableParentIsAnError) {
  EXPECT_THROW(PrivateWorkingDirectory("/nonexistent/parlomax"), std::runtime_error);
}

}  // namespace
}  // namespace parlomax::shell
