// Files the user keeps: what becomes of them, and of the files they replace,
// when the disk is full, a link waits in the folder or the writing is cut.
#include "platform/files/KeptFile.h"

#include "BeingWritten.h"
#include "FileBytes.h"
#include "TempFolder.h"
#include "platform/files/PlainFile.h"
#include "platform/files/PrivateFolders.h"
#include "platform/files/SystemReason.h"
#include "platform/files/WriteFaults.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>

#include <sys/stat.h>

namespace parlomax::files {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::FileBytes;
using testing::ModeOf;

Bytes Pattern(std::size_t size, std::uint8_t seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

void WriteFile(const fs::path& file, const Bytes& bytes, mode_t mode) {
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  ::chmod(file.c_str(), mode);
}

std::size_t Entries(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

class KeptFileTest : public ::testing::Test {
 protected:
  // The usual umask, under which a careless program makes every file 0644.
  KeptFileTest() : umask_(::umask(022)) {}
  ~KeptFileTest() override {
    StopFailingWrites();
    ::umask(umask_);
  }

  // One whole use of `file`: `target` created, `bytes` written, and ended
  // as `ending` says; nothing if it could not even be created.
  static std::optional<Placed> Keep(KeptFile& file, const fs::path& target, const Bytes& bytes,
                                    Ending ending) {
    if (!file.Create(target)) return std::nullopt;
    file.Write(bytes);
    return file.Finish(ending);
  }

  const mode_t umask_;
  testing::TempFolder folder_;
};

TEST_F(KeptFileTest, ANewFileIsPrivateAndTakesItsNameOnlyWhenComplete) {
  const fs::path target = folder_ / "03171430_0007.spx";
  KeptFile file;
  ASSERT_TRUE(file.Create(target));
  ASSERT_TRUE(file.Write(Pattern(5000, 1)));
  EXPECT_FALSE(fs::exists(target)) << "a file under its name before it is complete";
  EXPECT_EQ(ModeOf(testing::FileBeingWritten(target)), 0600u);
  EXPECT_EQ(file.Finish(Ending::Complete), Placed::Target);
  EXPECT_EQ(file.Error(), 0);
  EXPECT_EQ(FileBytes(target), Pattern(5000, 1));
  EXPECT_EQ(ModeOf(target), 0600u);
  EXPECT_EQ(Entries(folder_.Path()), 1u) << "something hidden left behind";
}

TEST_F(KeptFileTest, AReplacedFileLendsItsModeAndACutOneLeavesItAsItWas) {
  const fs::path target = folder_ / "a.wav";
  WriteFile(target, Pattern(300, 9), 0640);
  KeptFile file;
  EXPECT_EQ(Keep(file, target, Pattern(100, 2), Ending::Complete), Placed::Target);
  EXPECT_EQ(FileBytes(target), Pattern(100, 2));
  EXPECT_EQ(ModeOf(target), 0640u) << "the owner's choice of mode is kept";

  EXPECT_EQ(Keep(file, target, Pattern(50, 3), Ending::Cut), Placed::BesideTarget);
  EXPECT_EQ(FileBytes(target), Pattern(100, 2));
  EXPECT_EQ(FileBytes(KeptFile::PartName(target)), Pattern(50, 3));
  EXPECT_EQ(ModeOf(KeptFile::PartName(target)), 0600u);
  // A later, shorter cut never costs the earlier, longer one.
  EXPECT_EQ(Keep(file, target, Pattern(20, 8), Ending::Cut), Placed::BesideTarget);
  EXPECT_EQ(FileBytes(KeptFile::PartName(target)), Pattern(50, 3));
  EXPECT_EQ(FileBytes(KeptFile::PartName(target).string() + "-2"), Pattern(20, 8));

  // With no earlier file a cut one keeps the name; one not wanted goes.
  const fs::path fresh = folder_ / "b.wav";
  EXPECT_EQ(Keep(file, fresh, Pattern(20, 4), Ending::Cut), Placed::Target);
  EXPECT_EQ(FileBytes(fresh), Pattern(20, 4));
  EXPECT_EQ(Keep(file, folder_ / "c.wav", Pattern(20, 5), Ending::Discard), Placed::Nowhere);
  EXPECT_EQ(Entries(folder_.Path()), 4u);

  // A file someone else planted at the name in a shared folder lends
  // nothing: the new file is the user's, and private.
  if (::geteuid() == 0) {
    const fs::path planted = folder_ / "d.wav";
    WriteFile(planted, Pattern(10, 6), 0666);
    ASSERT_EQ(::chown(planted.c_str(), 4242, 4242), 0);
    EXPECT_EQ(Keep(file, planted, Pattern(30, 7), Ending::Complete), Placed::Target);
    struct stat info {};
    ASSERT_EQ(::stat(planted.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
  }
}

TEST_F(KeptFileTest, WhatAKilledWriterLeftIsSweptAndALiveWritersFileIsNot) {
  // Hidden partial files as a killed program leaves them: one of a WAV
  // file, one of a recording, and one of a writer still at work.
  KeptFile live;
  ASSERT_TRUE(live.Create(folder_ / "live.wav"));
  ASSERT_TRUE(live.Write(Pattern(10, 1)));
  const fs::path deadWav = folder_ / ".x.spx.wav.AbC123.partial";
  const fs::path deadSpx = folder_ / ".03171430_0007.spx.q1W2e3.partial";
  WriteFile(deadWav, Pattern(100, 2), 0600);
  WriteFile(deadSpx, Pattern(60, 3), 0600);
  const fs::path youngWav =
      folder_ / ".y.spx.wav.ZzZzZz.partial";  // a writer that has only just begun
  WriteFile(youngWav, Pattern(5, 4), 0600);
  const auto minutesAgo = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  for (const fs::path& old : {deadWav, deadSpx, testing::FileBeingWritten(folder_ / "live.wav")}) {
    fs::last_write_time(old, minutesAgo);
  }

  EXPECT_EQ(RemoveLeftovers(folder_.Path(), ".wav"), 1);
  EXPECT_FALSE(fs::exists(deadWav));
  EXPECT_TRUE(fs::exists(youngWav));
  EXPECT_TRUE(fs::exists(deadSpx)) << "another writer's kind of file";
  EXPECT_EQ(SweepLeftovers(folder_.Path(), [](const Leftover&) { return LeftoverFate::KeepAsCut; }),
            1);
  EXPECT_EQ(FileBytes(folder_ / "03171430_0007.spx"), Pattern(60, 3))
      << "kept as a stopped copy keeps it";
  EXPECT_EQ(live.Finish(Ending::Complete), Placed::Target);
  EXPECT_EQ(FileBytes(folder_ / "live.wav"), Pattern(10, 1));
}

TEST_F(KeptFileTest, NoSetIdBitIsCarriedOverAndACutFileWithNoNameLeftIsNotThrownAway) {
  const fs::path target = folder_ / "a.wav";
  WriteFile(target, Pattern(10, 1), 04755);
  KeptFile file;
  EXPECT_EQ(Keep(file, target, Pattern(20, 2), Ending::Complete), Placed::Target);
  EXPECT_EQ(ModeOf(target), 0755u);

  // A name so long that "<name>.part" is one no file system takes.
  const fs::path longName = folder_ / (std::string(251, 'x') + ".wav");
  WriteFile(longName, Pattern(30, 3), 0600);
  EXPECT_EQ(Keep(file, longName, Pattern(40, 4), Ending::Cut), Placed::Nowhere);
  EXPECT_EQ(file.Error(), ENAMETOOLONG);
  EXPECT_EQ(FileBytes(longName), Pattern(30, 3));
  bool kept = false;
  for (const auto& entry : fs::directory_iterator(folder_.Path())) kept = kept || FileBytes(entry.path()) == Pattern(40, 4);
  EXPECT_TRUE(kept) << "what arrived was thrown away";
}

TEST_F(KeptFileTest, AFullDiskNeverCostsTheEarlierFileAndIsReported) {
  const fs::path target = folder_ / "03171430_0007.spx";
  WriteFile(target, Pattern(4000, 7), 0600);
  KeptFile file;
  ASSERT_TRUE(file.Create(target));
  FailWritesAfter(1000, ENOSPC);
  EXPECT_TRUE(file.Write(Pattern(600, 1)));
  EXPECT_FALSE(file.Write(Pattern(600, 2)));
  EXPECT_FALSE(file.Write(Pattern(10, 3))) << "nothing more after a failure: no gap in the file";
  EXPECT_EQ(file.Error(), ENOSPC);
  // Asked to complete, a failed file is kept as cut: beside the earlier one.
  EXPECT_EQ(file.Finish(Ending::Complete), Placed::BesideTarget);
  EXPECT_EQ(file.Error(), ENOSPC);
  EXPECT_EQ(FileBytes(target), Pattern(4000, 7));
  Bytes taken = Pattern(600, 1);
  const Bytes second = Pattern(400, 2);
  taken.insert(taken.end(), second.begin(), second.end());
  EXPECT_EQ(FileBytes(KeptFile::PartName(target)), taken);

  // A file that must be complete or nothing is removed; the earlier one stays.
  StopFailingWrites();
  ASSERT_TRUE(file.Create(target));
  FailWritesAfter(10, EDQUOT);
  file.Write(Pattern(600, 4));
  EXPECT_EQ(file.Finish(Ending::CompleteOrDiscard), Placed::Nowhere);
  EXPECT_EQ(file.Error(), EDQUOT);
  EXPECT_EQ(FileBytes(target), Pattern(4000, 7));
  EXPECT_EQ(Entries(folder_.Path()), 2u);
}

TEST_F(KeptFileTest, AHeaderCanBeMadeTrueAfterTheDiskFilledUp) {
  const fs::path target = folder_ / "a.wav";
  KeptFile file;
  ASSERT_TRUE(file.Create(target));
  FailWritesAfter(44 + 100, ENOSPC);
  file.Write(Bytes(44, 0xEE));
  file.Write(Pattern(8000, 1));
  EXPECT_EQ(file.Size(), 144u);
  EXPECT_TRUE(file.WriteAt(0, Bytes(44, 0x11))) << "within the file, nothing new is asked of the disk";
  EXPECT_FALSE(file.WriteAt(140, Bytes(8, 0x22))) << "past its end, it is";
  EXPECT_EQ(file.Finish(Ending::Cut), Placed::Target);
  const Bytes kept = FileBytes(target);
  ASSERT_EQ(kept.size(), 144u);
  EXPECT_EQ(Bytes(kept.begin(), kept.begin() + 44), Bytes(44, 0x11));
}

TEST_F(KeptFileTest, ALinkPlantedInTheFolderIsNeverWrittenThrough) {
  testing::TempFolder elsewhere;
  const fs::path victim = elsewhere / "victim";
  WriteFile(victim, Pattern(64, 1), 0600);
  const fs::path target = folder_ / "03171430_0007.spx";
  // Links at the names a writer might be expected to use, and the target's
  // own name a link too.
  for (const char* name : {".03171430_0007.spx.partial", "03171430_0007.spx.part"}) {
    fs::create_symlink(victim, folder_ / name);
  }
  fs::create_symlink(victim, target);
  KeptFile file;
  EXPECT_EQ(Keep(file, target, Pattern(2000, 5), Ending::Complete), Placed::Target);
  EXPECT_EQ(FileBytes(victim), Pattern(64, 1));
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_EQ(FileBytes(target), Pattern(2000, 5));
  EXPECT_EQ(ModeOf(target), 0600u) << "a link lends no mode";

  // A cut file goes beside: over the planted link, not through it.
  EXPECT_EQ(Keep(file, target, Pattern(10, 6), Ending::Cut), Placed::BesideTarget);
  EXPECT_EQ(FileBytes(victim), Pattern(64, 1));
  EXPECT_FALSE(fs::is_symlink(KeptFile::PartName(target)));
}

TEST_F(KeptFileTest, AProgramEndingAtOnceLeavesNoHiddenHalfFile) {
  KeptFile file;
  ASSERT_TRUE(file.Create(folder_ / "a.spx"));
  file.Write(Pattern(10, 1));
  RemoveUnfinishedFiles();
  EXPECT_EQ(Entries(folder_.Path()), 0u);
  EXPECT_EQ(file.Finish(Ending::Complete), Placed::Nowhere);
  EXPECT_NE(file.Error(), 0);
}

TEST_F(KeptFileTest, AFolderThatCannotTakeTheFileSaysWhy) {
  KeptFile file;
  EXPECT_FALSE(file.Create(folder_ / "missing" / "a.spx"));
  EXPECT_EQ(file.Error(), ENOENT);
  EXPECT_EQ(WriteFailedText(folder_ / "missing" / "a.spx", file.Error()),
            QStringLiteral("写入 %1 失败：没有这个文件或目录").arg(PathText(folder_ / "missing" / "a.spx")));
  EXPECT_EQ(SystemReasonText(ENOSPC), "磁盘空间不足");
}

TEST(PlainFile, OnlyAPlainFileIsOpenedAndAPipeNeverBlocks) {
  testing::TempFolder folder;
  WriteFile(folder / "a.spx", Pattern(30, 1), 0600);
  ASSERT_EQ(::mkfifo((folder / "pipe.spx").c_str(), 0600), 0);
  fs::create_symlink(folder / "pipe.spx", folder / "link.spx");
  fs::create_directory(folder / "dir.spx");

  const PlainFile plain(folder / "a.spx");
  ASSERT_TRUE(plain.IsOpen());
  EXPECT_EQ(plain.Size(), 30u);
  Bytes start(19);
  EXPECT_EQ(plain.ReadAt(0, start), 19u);
  const Bytes written = Pattern(30, 1);
  EXPECT_EQ(start, Bytes(written.begin(), written.begin() + 19));
  Bytes tail(19);
  EXPECT_EQ(plain.ReadAt(19, tail), 11u);

  // Were any of these opened for reading the ordinary way, the test would
  // hang here for good.
  for (const char* name : {"pipe.spx", "link.spx", "dir.spx"}) {
    const PlainFile other(folder / name);
    EXPECT_FALSE(other.IsOpen()) << name;
    EXPECT_TRUE(other.NotPlain()) << name;
  }
  const PlainFile missing(folder / "gone.spx");
  EXPECT_FALSE(missing.NotPlain());
  EXPECT_EQ(missing.Error(), ENOENT);
}

TEST(PrivateFolders, NewFoldersArePrivateAndOldOnesKeepTheirMode) {
  testing::TempFolder folder;
  const mode_t before = ::umask(022);
  fs::create_directory(folder / "shared");
  ::chmod((folder / "shared").c_str(), 0755);
  EXPECT_EQ(MakePrivateFolders(folder / "shared" / "通话录音" / "2026"), 0);
  EXPECT_EQ(ModeOf(folder / "shared"), 0755u);
  EXPECT_EQ(ModeOf(folder / "shared" / "通话录音"), 0700u);
  EXPECT_EQ(ModeOf(folder / "shared" / "通话录音" / "2026"), 0700u);
  EXPECT_EQ(MakePrivateFolders(folder / "shared" / "通话录音" / "2026"), 0);
  std::ofstream(folder / "file") << "x";
  EXPECT_EQ(MakePrivateFolders(folder / "file" / "below"), ENOTDIR);
  ::umask(before);
}

}  // namespace
}  // namespace parlomax::files
