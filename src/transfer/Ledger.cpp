#include "transfer/Ledger.h"

#include "catalogue/RecordingHeader.h"
#include "platform/files/KeptFile.h"
#include "platform/files/WriteFaults.h"
#include "transfer/LedgerLine.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <string_view>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::transfer {
namespace {

namespace fs = std::filesystem;

// A descriptor closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

std::string NowText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[40] = {};
  if (!::localtime_r(&now, &local) ||
      std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0)
    return {};
  // +hhmm as ISO 8601 writes it: +hh:mm
  const std::string_view made(text);
  if (made.size() < 5) return std::string(made);
  std::string iso(made.substr(0, made.size() - 2));
  iso += ':';
  iso += made.substr(made.size() - 2);
  return iso;
}

std::string UserName() {
  const uid_t uid = ::geteuid();
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
    return found->pw_name;
  return std::to_string(uid);
}

int SyncFolder(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

// Opens `name` in `parent` as a folder of this user's, making it (0700)
// when missing; never through a link. `made` says it was made now.
int OpenPrivateFolder(int parent, const char* name, Descriptor& out, bool& made) {
  made = ::mkdirat(parent, name, 0700) == 0;
  if (!made && errno != EEXIST) return errno;
  out.Reset(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!out.ok()) return errno;
  struct stat info {};
  if (::fstat(out.get(), &info) != 0) return errno;
  // Another user's folder here could see or change what is written in it.
  if (info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return EPERM;
  return 0;
}

// Opens the ledger for appending, made 0600 when missing; never through a
// link, never a pipe or a device.
int OpenLedger(const fs::path& folder, Descriptor& ledger, bool forAppend) {
  const Descriptor top(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!top.ok()) return errno;
  Descriptor place;
  bool madeFolder = false;
  if (forAppend) {
    if (const int error = OpenPrivateFolder(top.get(), kLedgerFolderName, place, madeFolder);
        error != 0)
      return error;
  } else {
    place.Reset(
        ::openat(top.get(), kLedgerFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!place.ok()) return errno;
  }
  const int flags =
      (forAppend ? O_RDWR | O_APPEND : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  int fd = ::openat(place.get(), kLedgerFileName, flags);
  bool madeFile = false;
  if (fd < 0 && errno == ENOENT && forAppend) {
    fd = ::openat(place.get(), kLedgerFileName, flags | O_CREAT | O_EXCL, 0600);
    madeFile = fd >= 0;
    // Made by another program a moment ago: it is as good.
    if (fd < 0 && errno == EEXIST) fd = ::openat(place.get(), kLedgerFileName, flags);
  }
  if (fd < 0) return errno;
  ledger.Reset(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) return errno;
  if (!S_ISREG(info.st_mode)) return EINVAL;
  // A new name lasts only once its folder is on the disk.
  if (madeFile) {
    if (const int error = SyncFolder(place.get()); error != 0) return error;
  }
  if (madeFolder) {
    if (const int error = SyncFolder(top.get()); error != 0) return error;
  }
  return 0;
}

int Lock(int fd) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// Reads [from, from + size) of `fd`; false with errno when it cannot.
bool ReadRange(int fd, std::uint64_t from, std::size_t size, std::string& into) {
  into.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, into.data() + done, size - done, static_cast<off_t>(from + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;  // shorter than it was a moment ago, under our lock
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The last line of the ledger that is a record, read from its end back;
// `endsInLine` says whether the file ends with a complete line. Empty when
// there is none.
int LastRecordLine(int fd, std::string& last, bool& endsInLine) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return errno;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  last.clear();
  endsInLine = true;
  if (size == 0) return 0;
  std::string tailByte;
  if (!ReadRange(fd, size - 1, 1, tailByte)) return errno;
  endsInLine = tailByte[0] == '\n';
  // Blocks from the end; a line that crosses a block is carried over.
  constexpr std::uint64_t kBlock = 64 * 1024;
  std::string carried;  // the start of the line after this block
  std::uint64_t end = size;
  while (end > 0) {
    const std::uint64_t from = end > kBlock ? end - kBlock : 0;
    std::string block;
    if (!ReadRange(fd, from, static_cast<std::size_t>(end - from), block)) return errno;
    block += carried;
    // The unfinished line at the end counts too: it will be finished by a newline.
    std::size_t lineEnd = block.size();
    if (!block.empty() && block.back() == '\n') --lineEnd;
    for (;;) {
      const std::size_t newline = lineEnd == 0 ? std::string::npos : block.rfind('\n', lineEnd - 1);
      if (newline == std::string::npos && from > 0) break;  // the line starts in an earlier block
      const std::size_t lineStart = newline == std::string::npos ? 0 : newline + 1;
      const std::string_view line(block.data() + lineStart, lineEnd - lineStart);
      if (LedgerRecord record; ParseLedgerLine(line, record)) {
        last.assign(line);
        return 0;
      }
      if (newline == std::string::npos) return 0;  // the whole file read
      lineEnd = newline;
    }
    carried = block.substr(0, lineEnd);
    end = from;
  }
  return 0;
}

// Reads the whole ledger and checks its chain.
LedgerContents ReadFrom(int fd) {
  LedgerContents contents;
  struct stat info {};
  std::string bytes;
  if (::fstat(fd, &info) != 0 || !ReadRange(fd, 0, static_cast<std::size_t>(info.st_size), bytes)) {
    contents.error = errno;
    return contents;
  }
  ChainState& chain = contents.chain;
  Sha256 hash;
  std::string expected(64, '0');
  std::string prev;
  std::size_t start = 0;
  for (std::size_t newline; (newline = bytes.find('\n', start)) != std::string::npos;
       start = newline + 1) {
    const std::string_view line(bytes.data() + start, newline - start);
    ++chain.lines;
    LedgerRecord record;
    if (!ParseLedgerLine(line, record, &prev)) {
      ++chain.cutLines;
      continue;
    }
    ++chain.records;
    if (prev != expected && chain.brokenAt == 0) chain.brokenAt = chain.lines;
    hash.Add(line);
    expected = HexText(hash.Finish());
    record.line = chain.lines;
    contents.latest.insert_or_assign(record.name, std::move(record));
  }
  chain.lastLineCut = start < bytes.size();
  return contents;
}

// Whether sha256sum reads `name` as it stands, and it is a file of the folder itself.
bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\\n") == std::string::npos;
}

}  // namespace

LedgerContents ReadLedger(const fs::path& folder) {
  Descriptor ledger;
  if (const int error = OpenLedger(folder, ledger, false); error != 0) {
    LedgerContents none;
    none.error = error;
    return none;
  }
  return ReadFrom(ledger.get());
}

int RewriteSums(const fs::path& folder) {
  Descriptor ledger;
  if (const int error = OpenLedger(folder, ledger, false); error != 0) return error;
  // Under the lock, so that of two programs the one that read more of the
  // ledger places its list last.
  if (const int error = Lock(ledger.get()); error != 0) return error;
  const LedgerContents contents = ReadFrom(ledger.get());
  if (contents.error != 0) return contents.error;
  const Descriptor top(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!top.ok()) return errno;
  std::string text;
  text.reserve(contents.latest.size() * 96);
  for (const auto& [name, record] : contents.latest) {
    struct stat info {};
    if (!PlainName(name) || ::fstatat(top.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode)) {
      continue;
    }
    text += record.sha256;
    text += "  ";
    text += name;
    text += '\n';
  }
  // What a killed rewrite left behind goes first: nothing else would ever take it away.
  files::RemoveLeftovers(folder, kSumsFileName);
  files::KeptFile sums;
  if (!sums.Create(folder / kSumsFileName)) return sums.Error();
  sums.Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  if (sums.Finish(files::Ending::CompleteOrDiscard) != files::Placed::Target)
    return sums.Error() != 0 ? sums.Error() : EIO;
  return 0;
}

fs::path LedgerPath(const fs::path& folder) { return folder / kLedgerFolderName / kLedgerFileName; }

LedgerRecord RecordOfCopy(const fs::path& name, const catalogue::RecordingHeader& header,
                          std::uint64_t size, const Sha256Digest& sha256,
                          const CopySource& source) {
  LedgerRecord record;
  record.name = name.string();
  record.size = size;
  record.sha256 = HexText(sha256);
  record.header = header;
  record.copiedAt = NowText();
  record.source = source;
  record.user = UserName();
  record.program = "parlomax " PARLOMAX_VERSION;
  return record;
}

int AppendToLedger(const fs::path& folder, const LedgerRecord& record) {
  Descriptor ledger;
  if (const int error = OpenLedger(folder, ledger, true); error != 0) return error;
  // Held until the descriptor closes: the last line read is still the last
  // when this one follows it.
  if (const int error = Lock(ledger.get()); error != 0) return error;
  std::string previous;
  bool endsInLine = true;
  if (const int error = LastRecordLine(ledger.get(), previous, endsInLine); error != 0)
    return error;
  const std::string prev = previous.empty() ? std::string(64, '0') : HexText(Sha256Of(previous));
  // A line cut short by a kill is ended first, in the same write, so that
  // the new line starts a line of its own.
  const std::string line = LedgerLineText(record, prev);
  std::string bytes;
  bytes.reserve(line.size() + 2);
  if (!endsInLine) bytes += '\n';
  bytes += line;
  bytes += '\n';
  int error = 0;
  const std::size_t taken = files::BytesTheDiskTakes(bytes.size(), error);
  // Under the lock nobody else appends, so a line the kernel took in parts
  // is finished where it stopped.
  std::size_t done = 0;
  while (done < taken) {
    const ssize_t written = ::write(ledger.get(), bytes.data() + done, taken - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return ENOSPC;
    done += static_cast<std::size_t>(written);
  }
  if (done < bytes.size()) return error != 0 ? error : ENOSPC;
  if (::fsync(ledger.get()) != 0) return errno;
  return 0;
}

}  // namespace parlomax::transfer
