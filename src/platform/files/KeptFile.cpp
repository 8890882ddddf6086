#include "platform/files/KeptFile.h"

#include "platform/files/WriteFaults.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace parlomax::files {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPartialSuffix = ".partial";
// A file name may hold 255 bytes; the hidden name adds a dot, a random
// part and the suffix.
constexpr std::size_t kLongestNamePart = 200;
// Names tried for one file before giving up.
constexpr int kMostNames = 1000;

// The files being written now, so that a program made to end at once can
// take them away (RemoveUnfinishedFiles). Never destroyed, since that may
// happen while the program is on its way out.
std::mutex unfinishedMutex;
std::set<std::string>& Unfinished() {
  static auto* files = new std::set<std::string>;
  return *files;
}

void Remember(const fs::path& file) {
  std::lock_guard lock(unfinishedMutex);
  Unfinished().insert(file.string());
}

void Forget(const fs::path& file) {
  std::lock_guard lock(unfinishedMutex);
  Unfinished().erase(file.string());
}

fs::path FolderOf(const fs::path& target) {
  return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// A folder with a default ACL decides for itself who may read what is made
// in it; elsewhere a new file is the user's alone.
mode_t ModeForNewFileIn(const fs::path& folder) {
  return ::getxattr(folder.c_str(), "system.posix_acl_default", nullptr, 0) > 0 ? 0666 : 0600;
}

std::string RandomPart() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uint8_t random[6];
  if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    for (std::size_t i = 0; i < sizeof random; ++i)
      random[i] = static_cast<std::uint8_t>(now >> (8 * i));
  }
  std::string part;
  for (const std::uint8_t r : random) part += kLetters[r % (sizeof kLetters - 1)];
  return part;
}

// A new file beside `target` under a name made up at random, which nobody
// can have planted (a link, say) beforehand: O_EXCL refuses anything there.
// It stays locked while it is written, so that a later run can tell a
// writer's file from one left behind by a program that was killed.
int CreateHidden(const fs::path& target, fs::path& created) {
  const fs::path folder = FolderOf(target);
  // Built piece by piece: GCC 12 warns wrongly about the concatenation.
  std::string name(1, '.');
  name.append(target.filename().string(), 0, kLongestNamePart);
  name.push_back('.');
  const mode_t mode = ModeForNewFileIn(folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = folder / (name + RandomPart() + kPartialSuffix);
    const int fd =
        ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    ::flock(fd, LOCK_EX | LOCK_NB);
    created = candidate;
    return fd;
  }
  errno = EEXIST;
  return -1;
}

// Gives `from` the name `to` only while no file has that name; 0 or errno.
int RenameWithoutReplacing(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  // A file system without that kind of rename: a hard link refuses a taken
  // name as well.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) return EEXIST;
  // No hard links either (FAT): the best that is left.
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// A rename is on the disk only once its folder is; a file system that
// cannot sync a folder has nothing more to do. 0, or the errno of a disk
// that failed.
int SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  const int synced = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return synced == EIO || synced == ENOSPC || synced == EDQUOT ? synced : 0;
}

}  // namespace

KeptFile::~KeptFile() {
  if (IsOpen()) Finish(Ending::Cut);
}

fs::path KeptFile::PartName(const fs::path& target) { return fs::path(target.string() + ".part"); }

bool KeptFile::Create(const fs::path& target, TakenNameDecision decide) {
  if (IsOpen()) Finish(Ending::Cut);
  target_ = target;
  placedAt_.clear();
  decide_ = std::move(decide);
  error_ = 0;
  size_ = 0;
  fd_ = CreateHidden(target, temporary_);
  if (fd_ < 0) return Fail(errno);
  Remember(temporary_);
  return true;
}

bool KeptFile::Write(std::span<const std::uint8_t> bytes) { return WriteFrom(size_, bytes); }

bool KeptFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (!IsOpen() || offset + bytes.size() > size_) return WriteFrom(offset, bytes);
  // Over bytes already there, nothing new is asked of the disk: allowed
  // after a failure too, so that a cut file's header can be made true.
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n < 0 ? errno : EIO);
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool KeptFile::WriteFrom(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (!IsOpen() || error_ != 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    int refused = 0;
    const std::size_t allowed = BytesTheDiskTakes(bytes.size() - done, refused);
    if (allowed == 0) return Fail(refused);
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, allowed, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(errno);
    if (n == 0) return Fail(ENOSPC);
    done += static_cast<std::size_t>(n);
    size_ = std::max<std::uint64_t>(size_, offset + done);
  }
  return true;
}

bool KeptFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
  return false;
}

Placed KeptFile::Finish(Ending ending) {
  if (!IsOpen()) return Placed::Nowhere;
  const int fd = std::exchange(fd_, -1);
  // Forgotten only once it has a name of its own: a program made to end in
  // the middle of this leaves no hidden half file.
  const Placed placed = Place(fd, ending);
  Forget(temporary_);
  return placed;
}

Placed KeptFile::Place(int fd, Ending ending) {
  if (ending == Ending::Discard || (ending == Ending::CompleteOrDiscard && error_ != 0)) {
    ::close(fd);
    return Drop();
  }
  const bool whole = ending != Ending::Cut;
  if (whole && error_ == 0) AdoptModeOfEarlier(fd);
  if (::fsync(fd) != 0) Fail(errno);
  if (::close(fd) != 0) Fail(errno);
  if (whole && error_ == 0) return PlaceComplete(ending);
  return ending == Ending::CompleteOrDiscard ? Drop() : PlaceCut();
}

void KeptFile::AdoptModeOfEarlier(int fd) {
  // The file that is replaced lends its mode and group, but only when it is
  // the user's own: a file someone planted at a recording's name in a shared
  // folder must not make the call theirs, or readable by them. A courtesy
  // either way: a file system that cannot change them still takes the file.
  // Set-id bits are never carried over onto a recording.
  struct stat earlier {};
  if (::lstat(target_.c_str(), &earlier) != 0 || !S_ISREG(earlier.st_mode) ||
      earlier.st_uid != ::geteuid())
    return;
  [[maybe_unused]] const int group = ::fchown(fd, static_cast<uid_t>(-1), earlier.st_gid);
  [[maybe_unused]] const int mode = ::fchmod(fd, earlier.st_mode & 0777);
}

Placed KeptFile::Drop() {
  ::unlink(temporary_.c_str());
  return Placed::Nowhere;
}

Placed KeptFile::Settled(const fs::path& name, Placed placed) {
  placedAt_ = name;
  if (const int error = SyncFolder(FolderOf(name)); error != 0) Fail(error);
  return placed;
}

Placed KeptFile::PlaceComplete(Ending ending) {
  // Asked at the last moment, since another writer may have put a file at
  // the name while this one was being written.
  fs::path name = target_;
  for (int tries = 0; decide_ && tries < kMostNames; ++tries) {
    const int renamed = RenameWithoutReplacing(temporary_, name);
    if (renamed == 0) return Settled(name, Placed::Target);
    if (renamed != EEXIST) break;
    const auto other = decide_(name, temporary_);
    if (!other) break;
    name = *other;
  }
  if (::rename(temporary_.c_str(), name.c_str()) != 0) {
    Fail(errno);
    return ending == Ending::CompleteOrDiscard ? Drop() : PlaceCut();
  }
  return Settled(name, Placed::Target);
}

Placed KeptFile::PlaceCut() {
  const int renamed = RenameWithoutReplacing(temporary_, target_);
  if (renamed == 0) return Settled(target_, Placed::Target);
  if (renamed != EEXIST) Fail(renamed);
  // Beside it, as "<name>.part", or "<name>.part-2"... when an earlier one
  // there does not give way.
  struct stat ours {};
  ::stat(temporary_.c_str(), &ours);
  for (int number = 1; number <= kMostNames; ++number) {
    const fs::path part = number == 1
                              ? PartName(target_)
                              : fs::path(PartName(target_).string() + "-" + std::to_string(number));
    const int placed = RenameWithoutReplacing(temporary_, part);
    if (placed == 0) return Settled(part, Placed::BesideTarget);
    if (placed != EEXIST) {
      Fail(placed);
      break;
    }
    struct stat earlier {};
    // A link planted there is replaced, never followed; a cut file of the
    // user's that holds no more than this one gives way to it.
    const bool givesWay =
        ::lstat(part.c_str(), &earlier) == 0 &&
        (S_ISLNK(earlier.st_mode) || (S_ISREG(earlier.st_mode) && earlier.st_uid == ::geteuid() &&
                                      earlier.st_size <= ours.st_size));
    if (givesWay && ::rename(temporary_.c_str(), part.c_str()) == 0) {
      return Settled(part, Placed::BesideTarget);
    }
  }
  // No name to give it (too long, or taken by a folder): what arrived stays
  // under its hidden name rather than be thrown away.
  return Placed::Nowhere;
}

namespace {

// A writer that was killed stopped writing; one that has not written for a
// minute and holds no lock was either killed or is an older program that
// took none, and stalled for that long.
constexpr auto kLeftoverAge = std::chrono::minutes(1);

// The target of a hidden partial file's name: ".<name>.<random>.partial".
std::optional<fs::path> TargetOfPartial(const fs::path& partial) {
  const std::string name = partial.filename().string();
  const std::string_view suffix = kPartialSuffix;
  constexpr std::size_t kRandomPart = 7;  // the dot and six letters
  if (name.size() <= 1 + kRandomPart + suffix.size() || name[0] != '.' || !name.ends_with(suffix))
    return std::nullopt;
  const std::string base = name.substr(1, name.size() - 1 - kRandomPart - suffix.size());
  if (name[1 + base.size()] != '.' || base.empty()) return std::nullopt;
  return partial.parent_path() / base;
}

bool PlaceAsCut(const Leftover& leftover) {
  for (const fs::path& name : {leftover.keepAt, KeptFile::PartName(leftover.keepAt)}) {
    const int renamed = RenameWithoutReplacing(leftover.partial, name);
    if (renamed == 0) return true;
    if (renamed != EEXIST) return false;
  }
  return false;
}

}  // namespace

bool LeftBehind(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid()) return false;
  const auto modified =
      std::chrono::system_clock::time_point(std::chrono::seconds(info.st_mtim.tv_sec));
  if (std::chrono::system_clock::now() - modified < kLeftoverAge) return false;
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

int SweepLeftovers(const fs::path& folder, const std::function<LeftoverFate(Leftover&)>& fate) {
  std::error_code ec;
  int swept = 0;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const auto target = TargetOfPartial(entry.path());
    if (!target) continue;
    const int fd =
        ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && LeftBehind(fd)) {
      Leftover leftover{entry.path(), *target, fd, *target};
      switch (fate(leftover)) {
        case LeftoverFate::Remove:
          swept += ::unlink(entry.path().c_str()) == 0 ? 1 : 0;
          break;
        case LeftoverFate::KeepAsCut:
          swept += PlaceAsCut(leftover) ? 1 : 0;
          break;
        case LeftoverFate::Leave:
          break;
      }
    }
    ::close(fd);
  }
  if (swept > 0) SyncFolder(folder);
  return swept;
}

int RemoveLeftovers(const fs::path& folder, std::string_view extension) {
  return SweepLeftovers(folder, [extension](Leftover& leftover) {
    return leftover.target.filename().string().ends_with(extension) ? LeftoverFate::Remove
                                                                    : LeftoverFate::Leave;
  });
}

void RemoveUnfinishedFiles() {
  std::lock_guard lock(unfinishedMutex);
  for (const auto& file : Unfinished()) ::unlink(file.c_str());
  Unfinished().clear();
}

}  // namespace parlomax::files
