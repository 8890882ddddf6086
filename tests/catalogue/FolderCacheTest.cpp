// The rows of a folder kept between runs: they come back exactly as saved,
// never when the file that holds them cannot be trusted, and nobody else
// can read them or make the cache write elsewhere.
#include "catalogue/FolderCache.h"

#include "FileBytes.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <cstdlib>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::catalogue {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::FileBytes;
using testing::ModeOf;
using testing::TempFolder;

FolderRecording Row(std::string name, std::uint32_t payload, std::uint64_t inode) {
  FolderRecording row;
  row.name = std::move(name);
  row.fileSize = kRecordingHeaderSize + payload;
  row.modifiedNs = 1'700'000'000'123'456'789 + static_cast<std::int64_t>(inode);
  row.changedNs = -5;  // before 1970: a clock set wrong still round-trips
  row.inode = inode;
  row.opened = true;
  row.complete = true;
  row.header = EncodeRecordingHeader({.callType = 1,
                                      .month = 12,
                                      .day = 31,
                                      .hour = 23,
                                      .minute = 59,
                                      .telephoneNumber = "0123456789*#",
                                      .startAddress = 0x12345678,
                                      .payloadLength = payload});
  return row;
}

FolderRecordings SomeRows() {
  FolderRecording unopened = Row("locked.spx", 0, 3);
  unopened.opened = false;
  unopened.complete = false;
  unopened.header = {};
  FolderRecording cut = Row("short.SPX", 0, 4);
  cut.fileSize = 7;
  cut.complete = false;
  return {Row("01020304_0001.spx", 1000, 1), Row("caf\xe9-\xff\xfe.spx", 300'000, 2), unopened, cut,
          Row(std::string(255, 'n'), 0xFFFF'FFFF, 0xFFFF'FFFF'FFFF'FFFF)};
}

void ExpectSameRows(const FolderRecordings& got, const FolderRecordings& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(got[i].SameFileAs(want[i]));
    EXPECT_EQ(got[i].opened, want[i].opened);
    EXPECT_EQ(got[i].complete, want[i].complete);
    EXPECT_EQ(got[i].header, want[i].header);
  }
}

class FolderCacheTest : public ::testing::Test {
 protected:
  FolderCacheTest() : umask_(::umask(022)) {}
  ~FolderCacheTest() override { ::umask(umask_); }

  TempFolder temp_;
  fs::path cacheFolder_ = temp_ / "cache" / "parlomax";
  FolderCache cache_{cacheFolder_};
  // Not valid UTF-8: a folder is its bytes.
  fs::path folder_ = "/home/user/Aufnahmen \xe4 calls";

 private:
  mode_t umask_;
};

TEST_F(FolderCacheTest, RowsComeBackAsSavedAndASaveReplacesTheLast) {
  EXPECT_FALSE(cache_.Load(folder_));
  ASSERT_TRUE(cache_.Save(folder_, SomeRows()));
  ExpectSameRows(cache_.Load(folder_).value(), SomeRows());

  const FolderRecordings fewer{Row("only.spx", 42, 9)};
  ASSERT_TRUE(cache_.Save(folder_, fewer));
  ExpectSameRows(cache_.Load(folder_).value(), fewer);
  // An empty folder is known too, and is not "nothing known".
  ASSERT_TRUE(cache_.Save(folder_, {}));
  EXPECT_EQ(cache_.Load(folder_).value_or(SomeRows()).size(), 0u);
  EXPECT_FALSE(cache_.Load("/home/user/other"));
}

// A copy of `bytes` with the SHA-1 at its end made right again, so that the
// damage reaches the checks behind it.
Bytes Resealed(Bytes bytes) {
  bytes.resize(bytes.size() - 20);
  const QByteArray digest =
      QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size())),
                               QCryptographicHash::Sha1);
  bytes.insert(bytes.end(), digest.begin(), digest.end());
  return bytes;
}

TEST_F(FolderCacheTest, AFileThatCannotBeTrustedGivesNothing) {
  ASSERT_TRUE(cache_.Save(folder_, SomeRows()));
  const fs::path file = cache_.FileFor(folder_);
  const Bytes good = FileBytes(file);
  ASSERT_GT(good.size(), 200u);
  const std::size_t versionAt = 8, countAt = 16 + folder_.native().size();

  struct Damage {
    const char* what;
    std::function<Bytes(Bytes)> done;
  };
  const Damage damages[] = {
      {"empty", [](Bytes) { return Bytes{}; }},
      {"cut in the magic", [](Bytes b) { return Bytes(b.begin(), b.begin() + 5); }},
      {"cut in the path", [](Bytes b) { return Bytes(b.begin(), b.begin() + 16); }},
      {"cut in the rows", [](Bytes b) { return Bytes(b.begin(), b.begin() + b.size() / 2); }},
      {"cut in the checksum", [](Bytes b) { return Bytes(b.begin(), b.end() - 1); }},
      {"a byte of a row flipped",
       [](Bytes b) {
         b[b.size() / 2] ^= 0x10;
         return b;
       }},
      {"a byte of the checksum flipped",
       [](Bytes b) {
         b.back() ^= 1;
         return b;
       }},
      {"another version",
       [&](Bytes b) {
         b[versionAt] += 1;
         return Resealed(b);
       }},
      {"far more rows than it holds",
       [&](Bytes b) {
         b[countAt + 3] = 0xff;
         return Resealed(b);
       }},
      {"fewer rows than it holds",
       [&](Bytes b) {
         b[countAt] -= 1;
         return Resealed(b);
       }},
      {"a row's name running past the end",
       [&](Bytes b) {
         b[countAt + 4 + 3] = 0x7f;
         return Resealed(b);
       }},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    testing::WriteFile(file, damage.done(good));
    EXPECT_FALSE(cache_.Load(folder_));
  }

  // Another folder's rows under this folder's name: what two paths whose
  // hashes collide would look like.
  const fs::path other = "/home/user/elsewhere";
  ASSERT_TRUE(cache_.Save(other, SomeRows()));
  fs::copy_file(cache_.FileFor(other), file, fs::copy_options::overwrite_existing);
  EXPECT_FALSE(cache_.Load(folder_));
  ExpectSameRows(cache_.Load(other).value(), SomeRows());
}

TEST_F(FolderCacheTest, ThePrivateFilesAreNobodyElsesAndLinksAreNotFollowed) {
  ASSERT_TRUE(cache_.Save(folder_, SomeRows()));
  EXPECT_EQ(ModeOf(cacheFolder_), 0700u);
  EXPECT_EQ(ModeOf(cache_.FileFor(folder_)), 0600u);
  // A cache folder someone made readable is made private again.
  ::chmod(cacheFolder_.c_str(), 0755);
  ASSERT_TRUE(cache_.Save(folder_, SomeRows()));
  EXPECT_EQ(ModeOf(cacheFolder_), 0700u);

  // A link at the file's name: not read through, and replaced rather than
  // written through by the next save.
  const fs::path elsewhere = temp_ / "elsewhere.rows";
  fs::copy_file(cache_.FileFor(folder_), elsewhere);
  fs::remove(cache_.FileFor(folder_));
  fs::create_symlink(elsewhere, cache_.FileFor(folder_));
  EXPECT_FALSE(cache_.Load(folder_));
  const Bytes before = FileBytes(elsewhere);
  const FolderRecordings fewer{Row("only.spx", 42, 9)};
  ASSERT_TRUE(cache_.Save(folder_, fewer));
  EXPECT_EQ(FileBytes(elsewhere), before);
  EXPECT_FALSE(fs::is_symlink(cache_.FileFor(folder_)));
  ExpectSameRows(cache_.Load(folder_).value(), fewer);

  // A pipe at the name: reading it would wait for a writer forever.
  fs::remove(cache_.FileFor(folder_));
  ASSERT_EQ(::mkfifo(cache_.FileFor(folder_).c_str(), 0600), 0);
  EXPECT_FALSE(cache_.Load(folder_));
}

TEST(FolderCacheFolder, FollowsTheUsersCacheSetting) {
  const char* earlier = std::getenv("XDG_CACHE_HOME");
  const std::string kept = earlier ? earlier : "";
  ::setenv("XDG_CACHE_HOME", "/tmp/somewhere cached", 1);
  EXPECT_EQ(FolderCache::DefaultFolder(), fs::path("/tmp/somewhere cached/parlomax"));
  earlier ? ::setenv("XDG_CACHE_HOME", kept.c_str(), 1) : ::unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace parlomax::catalogue
