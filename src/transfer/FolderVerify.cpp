#include "transfer/FolderVerify.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::transfer {
namespace {

namespace fs = std::filesystem;
using catalogue::kRecordingHeaderSize;

constexpr std::size_t kReadBlock = 1 << 20;
// Below this a hint costs a call and gains nothing: the file is one read.
constexpr off_t kHintedSize = 4 << 20;

bool EndsWithSpx(std::string_view name) {
  if (name.size() < 4) return false;
  std::string end(name.substr(name.size() - 4));
  for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return end == ".spx";
}

// "<recording>.part" or "<recording>.part-N": what a cut copy is kept as
// beside a file it must not replace.
bool IsPartName(std::string_view name) {
  const std::size_t at = name.rfind(".part");
  if (at == std::string_view::npos || !EndsWithSpx(name.substr(0, at))) return false;
  const std::string_view rest = name.substr(at + 5);
  return rest.empty() ||
         (rest.size() > 1 && rest[0] == '-' &&
          std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; }));
}

// The recordings the folder holds, by name; 0 or errno.
int ListFolder(int folderFd, std::vector<std::string>& names) {
  const int listing = ::dup(folderFd);
  if (listing < 0) return errno;
  DIR* dir = ::fdopendir(listing);
  if (!dir) {
    const int error = errno;
    ::close(listing);
    return error;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) continue;
    if (EndsWithSpx(name) || IsPartName(name)) names.emplace_back(name);
  }
  const int error = errno;
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return error;
}

// Reads what one file needs: its size and header always, its bytes' hash
// when its record could tell it intact.
FileFacts Examine(int folderFd, const std::string& name, const LedgerRecord* record, Sha256& hash,
                  std::vector<std::uint8_t>& buffer) {
  FileFacts facts;
  facts.partName = IsPartName(name);
  const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return facts;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return facts;
  }
  facts.present = true;
  facts.size = static_cast<std::uint64_t>(info.st_size);
  const bool wantHash = record && record->size == facts.size;
  if (wantHash && info.st_size >= kHintedSize) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  std::uint64_t done = 0;
  bool failed = false;
  for (;;) {
    const std::size_t want =
        wantHash ? buffer.size()
                 : kRecordingHeaderSize - std::min<std::uint64_t>(done, kRecordingHeaderSize);
    if (want == 0) break;
    const ssize_t n = ::read(fd, buffer.data() + (wantHash ? 0 : done), want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed = true;
    if (n <= 0) break;
    if (wantHash) {
      if (done == 0 && static_cast<std::size_t>(n) >= kRecordingHeaderSize) {
        facts.header.emplace();
        std::copy_n(buffer.begin(), kRecordingHeaderSize, facts.header->begin());
      }
      hash.Add(std::span(buffer.data(), static_cast<std::size_t>(n)));
    }
    done += static_cast<std::uint64_t>(n);
  }
  ::close(fd);
  if (!wantHash && done >= kRecordingHeaderSize) {
    facts.header.emplace();
    std::copy_n(buffer.begin(), kRecordingHeaderSize, facts.header->begin());
  }
  if (wantHash) {
    const Sha256Digest digest = hash.Finish();
    // A file that could not be read to its end is not vouched for.
    if (!failed && done == facts.size) facts.sha256 = HexText(digest);
  }
  return facts;
}

}  // namespace

std::optional<Verdict> JudgeFile(const LedgerRecord* latest, const FileFacts& facts) {
  // Listed but not to be opened as a file (a link, a pipe, another's): not
  // what was copied, if anything was.
  if (!facts.present) return latest ? Verdict::Missing : Verdict::NeverCopied;
  if (latest) {
    if (facts.size != latest->size) return Verdict::Changed;
    if (facts.sha256.empty()) return std::nullopt;
    return facts.sha256 == latest->sha256 ? Verdict::Intact : Verdict::Changed;
  }
  const bool shortOfHeader =
      !facts.header ||
      facts.size < kRecordingHeaderSize + std::uint64_t{catalogue::PayloadLength(*facts.header)};
  if (facts.partName || shortOfHeader) return Verdict::Cut;
  return Verdict::NeverCopied;
}

FolderVerification VerifyFolder(const fs::path& folder, std::stop_token stop, unsigned readers) {
  FolderVerification result;
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) {
    result.error = errno;
    return result;
  }
  std::vector<std::string> names;
  result.error = ListFolder(folderFd, names);
  if (result.error == 0) result.ledger = ReadLedger(folder);
  if (result.error != 0) {
    ::close(folderFd);
    return result;
  }
  // The ledger's names the folder no longer shows join the list.
  std::vector<std::string> all;
  all.reserve(names.size() + result.ledger.latest.size());
  std::vector<std::string> recorded;
  recorded.reserve(result.ledger.latest.size());
  for (const auto& entry : result.ledger.latest) recorded.push_back(entry.first);
  std::set_union(names.begin(), names.end(), recorded.begin(), recorded.end(),
                 std::back_inserter(all));
  result.recordings.resize(all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    result.recordings[i].name = std::move(all[i]);
    const auto found = result.ledger.latest.find(result.recordings[i].name);
    if (found != result.ledger.latest.end()) result.recordings[i].record = found->second;
  }
  // A few readers share the files: hashing keeps a core busy, and another
  // keeps the disk busy meanwhile.
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    Sha256 hash;
    std::vector<std::uint8_t> buffer(kReadBlock);
    for (std::size_t i;
         !stop.stop_requested() && (i = next.fetch_add(1)) < result.recordings.size();) {
      RecordingVerdict& r = result.recordings[i];
      // A name with a slash in it is no file of this folder.
      if (r.name.find('/') == std::string::npos && r.name != "." && r.name != "..")
        r.facts = Examine(folderFd, r.name, r.record ? &*r.record : nullptr, hash, buffer);
      r.verdict = JudgeFile(r.record ? &*r.record : nullptr, r.facts).value_or(Verdict::Changed);
    }
  };
  const unsigned threads =
      readers > 0 ? readers : std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::jthread> helpers;
  for (unsigned t = 1; t < threads && t < result.recordings.size(); ++t) helpers.emplace_back(work);
  work();
  helpers.clear();
  ::close(folderFd);
  return result;
}

}  // namespace parlomax::transfer
