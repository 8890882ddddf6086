// Never two copies into one folder at once, whatever is planted in it.
#include "TempFolder.h"
#include "transfer/FolderLock.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>

namespace parlomax {
namespace {

namespace fs = std::filesystem;
using transfer::FolderLock;
using State = FolderLock::State;
using namespace std::chrono_literals;

TEST(FolderLock, OneHolderAtATimeTheOthersAreToldWhoAndTheCornerIsPrivateWhileHeld) {
  testing::TempFolder folder;
  FolderLock first = FolderLock::TryLock(folder.Path());
  ASSERT_EQ(first.GetState(), State::Held) << first.Error();
  struct stat corner {};
  ASSERT_EQ(::lstat(FolderLock::CornerOf(folder.Path()).c_str(), &corner), 0);
  EXPECT_EQ(corner.st_mode & 07777, 0700u);

  // flock belongs to the open file, so a second open in this process is
  // refused as another process's would be.
  const FolderLock second = FolderLock::TryLock(folder.Path());
  EXPECT_EQ(second.GetState(), State::Busy);
  EXPECT_EQ(second.Holder(), ::getpid());
  const FolderLock late = FolderLock::Lock(folder.Path(), std::chrono::steady_clock::now() + 50ms, std::stop_token{}, 10ms);
  EXPECT_EQ(late.GetState(), State::Busy) << "a deadline ends the wait";
  std::stop_source stop;
  stop.request_stop();
  EXPECT_EQ(FolderLock::Lock(folder.Path(), std::chrono::steady_clock::time_point::max(), stop.get_token())
                .GetState(),
            State::Stopped);

  // A waiter takes it as soon as the holder lets go.
  std::jthread releaser([&first] {
    std::this_thread::sleep_for(100ms);
    first.Release();
  });
  FolderLock waiter = FolderLock::Lock(folder.Path(), std::chrono::steady_clock::time_point::max(), std::stop_token{}, 10ms);
  EXPECT_EQ(waiter.GetState(), State::Held);
  releaser.join();
  EXPECT_EQ(first.GetState(), State::Released);
  waiter.Release();
  EXPECT_TRUE(fs::is_empty(folder.Path())) << "the folder is left as it was found";
}

TEST(FolderLock, APlantedLinkIsNeverFollowed) {
  testing::TempFolder folder, elsewhere;
  for (const std::string planted : {".parlomax", ".parlomax/lock"}) {
    SCOPED_TRACE(planted);
    fs::remove_all(FolderLock::CornerOf(folder.Path()));
    if (planted == ".parlomax/lock") fs::create_directory(FolderLock::CornerOf(folder.Path()));
    fs::create_symlink(elsewhere / "target", folder / planted);
    const FolderLock lock = FolderLock::TryLock(folder.Path());
    EXPECT_EQ(lock.GetState(), State::Failed);
    EXPECT_NE(lock.Error(), 0);
    EXPECT_FALSE(fs::exists(elsewhere / "target"));
  }
}

}  // namespace
}  // namespace parlomax
