#include "catalogue/FolderScan.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::catalogue {
namespace {

constexpr std::string_view kExtension = ".spx";
// A screenful and a little more, so that the list shows before the rest is read.
constexpr std::size_t kFirstRun = 64;
constexpr std::size_t kLongestRun = 4096;
constexpr auto kRunInterval = std::chrono::milliseconds(40);
constexpr std::size_t kBlock = 64;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::int64_t Nanoseconds(const timespec& t) {
  return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

void TakeStatus(const struct stat& info, FolderRecording& file) {
  file.fileSize = static_cast<std::uint64_t>(info.st_size);
  file.modifiedNs = Nanoseconds(info.st_mtim);
  file.changedNs = Nanoseconds(info.st_ctim);
  file.inode = info.st_ino;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

struct Entry {
  std::string name;
  unsigned char type;
};

// The names that could be recordings, in list order. Folders are left out
// where the folder's entry already says so; the rest are told apart later.
std::vector<Entry> RecordingEntries(DIR* dir) {
  std::vector<Entry> entries;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_type == DT_DIR) continue;
    std::string name = e->d_name;
    if (IsRecordingFileName(name)) entries.push_back({std::move(name), e->d_type});
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return ListsBefore(a.name, b.name); });
  return entries;
}

enum class Found { Folder, Gone, Unopened, Row };

// A file removed since the folder was read is no longer there at all, which
// is not the same as a link to nothing that cannot be opened.
bool Vanished(int dirFd, const std::string& name) {
  struct stat link {};
  return ::fstatat(dirFd, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

// Opens only plain files, and a pipe's open does not wait for a writer: a
// device is not even opened, since for some opening is already an act.
Found ReadFile(int dirFd, const Entry& entry, FolderRecording& file) {
  if (entry.type != DT_REG) {
    struct stat before {};
    if (::fstatat(dirFd, entry.name.c_str(), &before, 0) == 0) {
      if (S_ISDIR(before.st_mode)) return Found::Folder;
      if (!S_ISREG(before.st_mode)) return Found::Unopened;
    } else if (Vanished(dirFd, entry.name)) {
      return Found::Gone;
    }
  }
  const int fd = ::openat(dirFd, entry.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == EISDIR) return Found::Folder;
    return Vanished(dirFd, entry.name) ? Found::Gone : Found::Unopened;
  }
  struct stat info {};
  const bool plain = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (plain) {
    TakeStatus(info, file);
    file.opened = true;
    std::size_t done = 0;
    while (done < file.header.size()) {
      const ssize_t n = ::pread(fd, file.header.data() + done, file.header.size() - done,
                                static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    file.complete = done == file.header.size();
    if (!file.complete) file.header = {};
  }
  ::close(fd);
  if (plain) return Found::Row;
  return S_ISDIR(info.st_mode) ? Found::Folder : Found::Unopened;
}

// The row `known` holds for a file still as it was, without opening it.
const FolderRecording* Unchanged(int dirFd, const std::string& name,
                                 const FolderRecordings& known) {
  const auto at = std::lower_bound(
      known.begin(), known.end(), name,
      [](const FolderRecording& row, const std::string& n) { return ListsBefore(row.name, n); });
  if (at == known.end() || at->name != name || !at->opened) return nullptr;
  struct stat info {};
  if (::fstatat(dirFd, name.c_str(), &info, 0) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  FolderRecording now;
  now.name = name;
  TakeStatus(info, now);
  return now.SameFileAs(*at) ? &*at : nullptr;
}

}  // namespace

bool IsRecordingFileName(const std::string& name) {
  if (name.size() < kExtension.size()) return false;
  const auto tail = std::string_view(name).substr(name.size() - kExtension.size());
  return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                    [](char a, char b) { return Lower(a) == b; });
}

bool ListsBefore(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  int byBytes = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char x = Lower(a[i]), y = Lower(b[i]);
    // Folded letters compare as the platform's signed characters did, so
    // names that are not plain ASCII keep the place they always had.
    if (x != y) return x < y;
    if (byBytes == 0 && a[i] != b[i])
      byBytes = static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return byBytes < 0;
}

std::uint32_t PayloadHeld(const FolderRecording& file) {
  if (!file.complete) return 0;
  const std::uint64_t held = file.fileSize - kRecordingHeaderSize;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(held, PayloadLength(file.header)));
}

ColumnTexts FolderRecordingTexts(const FolderRecording& file) {
  if (!file.complete) {
    ColumnTexts texts;
    texts.size = SizeText(0);
    texts.duration = DurationText(0);
    return texts;
  }
  // A file cut short (a copy that was stopped) shows the length and duration
  // of the sound it holds, not those its header promises.
  ColumnTexts texts = RecordingColumnTexts(file.header);
  const std::uint32_t held = PayloadHeld(file);
  if (held < PayloadLength(file.header)) {
    texts.size = SizeText(held);
    texts.duration = DurationText(DurationSeconds(held));
  }
  return texts;
}

std::uint32_t ConversionWork(const FolderRecording& file) {
  constexpr std::uint32_t kStepBytes = 500;
  return (file.complete ? PayloadLength(file.header) : 0) / kStepBytes + 1;
}

FolderScanEnd ScanRecordingFolder(const std::filesystem::path& folder,
                                  const FolderRecordings& known, std::stop_token stop,
                                  const std::function<void(FolderRecordings&& run)>& rowsRead) {
  FolderScanEnd end;
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return end;
  end.readable = true;
  const int dirFd = ::dirfd(dir.get());
  const auto entries = RecordingEntries(dir.get());

  // Two threads read the files, block and block about, so that the disk
  // always has a request waiting and a second core takes half the opening;
  // the blocks are handed on in the folder's order.
  struct Block {
    FolderRecordings rows;
    bool unopened = false;
    bool done = false;
  };
  std::vector<Block> blocks((entries.size() + kBlock - 1) / kBlock);
  std::mutex mutex;
  std::condition_variable blockDone;
  const auto read = [&](std::size_t b) {
    FolderRecordings rows;
    bool unopened = false;
    const std::size_t last = std::min(entries.size(), (b + 1) * kBlock);
    for (std::size_t i = b * kBlock; i < last && !stop.stop_requested(); ++i) {
      const Entry& entry = entries[i];
      if (const FolderRecording* same =
              known.empty() ? nullptr : Unchanged(dirFd, entry.name, known)) {
        rows.push_back(*same);
        continue;
      }
      FolderRecording file;
      file.name = entry.name;
      const Found found = ReadFile(dirFd, entry, file);
      unopened = unopened || found == Found::Unopened;
      if (found == Found::Row) rows.push_back(std::move(file));
    }
    const std::lock_guard lock(mutex);
    blocks[b].rows = std::move(rows);
    blocks[b].unopened = unopened;
    blocks[b].done = true;
    blockDone.notify_all();
  };
  std::jthread other;
  if (blocks.size() > 1) {
    other = std::jthread([&] {
      for (std::size_t b = 1; b < blocks.size(); b += 2) read(b);
    });
  }

  FolderRecordings run;
  std::size_t runLimit = kFirstRun;
  auto lastRun = std::chrono::steady_clock::now();
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (b % 2 == 0) read(b);
    Block block;
    {
      std::unique_lock lock(mutex);
      blockDone.wait(lock, [&] { return blocks[b].done; });
      block = std::move(blocks[b]);
    }
    if (stop.stop_requested()) {
      end.stopped = true;
      return end;
    }
    end.unopened = end.unopened || block.unopened;
    run.insert(run.end(), std::make_move_iterator(block.rows.begin()),
               std::make_move_iterator(block.rows.end()));
    if (run.size() >= runLimit || std::chrono::steady_clock::now() - lastRun >= kRunInterval) {
      rowsRead(std::move(run));
      run.clear();
      runLimit = kLongestRun;
      lastRun = std::chrono::steady_clock::now();
    }
  }
  if (!run.empty()) rowsRead(std::move(run));
  return end;
}

}  // namespace parlomax::catalogue
