#include "transfer/SaveFolder.h"

#include "catalogue/FolderList.h"
#include "platform/files/KeptFile.h"
#include "platform/files/PathText.h"
#include "platform/files/PlainFile.h"

#include <algorithm>
#include <array>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::transfer {
namespace {

namespace fs = std::filesystem;
using catalogue::kRecordingHeaderSize;
using catalogue::RecordingHeader;

// Names tried for one recording before giving up on numbering.
constexpr unsigned kMostNumbers = 100000;

fs::path NumberedName(const fs::path& ownName, unsigned number) {
  return ownName.stem().string() + "-" + std::to_string(number) + ownName.extension().string();
}

bool IsRecordingName(const fs::path& name) {
  std::string extension = name.extension().string();
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension == ".spx";
}

// Whether `earlier` holds no more than the start of the recording in
// `later`, byte for byte, but for where the sound lay in the telephone's
// memory: then `later` may take its place.
bool StartOf(const fs::path& earlier, const fs::path& later) {
  const files::PlainFile a(earlier), b(later);
  if (!a.IsOpen() || !b.IsOpen() || a.Size() > b.Size() || a.Size() < kRecordingHeaderSize)
    return false;
  RecordingHeader x{}, y{};
  if (a.ReadAt(0, x) != x.size() || b.ReadAt(0, y) != y.size() || !catalogue::SameCall(x, y))
    return false;
  std::array<std::uint8_t, 1 << 16> p{}, q{};
  for (std::uint64_t at = kRecordingHeaderSize; at < a.Size();) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(p.size(), a.Size() - at));
    if (a.ReadAt(at, std::span(p.data(), want)) != want ||
        b.ReadAt(at, std::span(q.data(), want)) != want ||
        !std::equal(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(want), q.begin())) {
      return false;
    }
    at += want;
  }
  return true;
}

}  // namespace

Holding HoldingOf(const RecordingHeader& header, std::uint64_t size) {
  const std::uint64_t whole =
      kRecordingHeaderSize + std::uint64_t{catalogue::PayloadLength(header)};
  if (size == whole) return Holding::Whole;
  // Longer than the call is more than the call: something else is in it.
  return size >= kRecordingHeaderSize && size < whole ? Holding::Cut : Holding::Nothing;
}

SaveFolder::SaveFolder(const fs::path& folderText)
    : folder_(folderText.has_parent_path() ? folderText.parent_path() : fs::path(".")),
      prefix_(folderText.filename().string()) {
  ReadAll();
  const int kept = files::SweepLeftovers(folder_, [this](files::Leftover& leftover) {
    if (!IsRecordingName(leftover.target)) return files::LeftoverFate::Leave;
    RecordingHeader header{};
    struct stat info {};
    if (::fstat(leftover.descriptor, &info) != 0 ||
        ::pread(leftover.descriptor, header.data(), header.size(), 0) !=
            static_cast<ssize_t>(header.size()) ||
        HoldingOf(header, static_cast<std::uint64_t>(info.st_size)) == Holding::Nothing) {
      return files::LeftoverFate::Remove;  // not even the start of a call
    }
    const Copy* holder = Holder(header, leftover.target.filename());
    if (holder && holder->size >= static_cast<std::uint64_t>(info.st_size))
      return files::LeftoverFate::Remove;
    leftover.keepAt = folder_ / FreeName(leftover.target.filename());
    return files::LeftoverFate::KeepAsCut;
  });
  if (kept > 0) ReadAll();
}

fs::path SaveFolder::NameFor(const QString& ownName) const {
  return prefix_ + files::PathOf(ownName).string();
}

void SaveFolder::ReadAll() {
  copies_.clear();
  byCall_.clear();
  for (const auto& file : catalogue::SearchRecordingFiles(folder_)) Read(file);
}

void SaveFolder::Read(const fs::path& file) {
  const files::PlainFile in(file);
  RecordingHeader header{};
  if (!in.IsOpen() || in.ReadAt(0, header) != header.size()) return;
  Remember({file.filename(), header, in.Size()});
}

void SaveFolder::Remember(Copy copy) {
  Forget(copy.name);
  byCall_.emplace(catalogue::CallOf(copy.header), copy.name);
  const fs::path name = copy.name;
  copies_.insert_or_assign(name, std::move(copy));
}

void SaveFolder::Forget(const fs::path& name) {
  const auto copy = copies_.find(name);
  if (copy == copies_.end()) return;
  const auto [from, to] = byCall_.equal_range(catalogue::CallOf(copy->second.header));
  for (auto it = from; it != to;) it = it->second == name ? byCall_.erase(it) : std::next(it);
  copies_.erase(copy);
}

void SaveFolder::Reread(const fs::path& name) {
  Forget(name);
  Read(folder_ / name);
}

const SaveFolder::Copy* SaveFolder::Holder(const RecordingHeader& header,
                                           const fs::path& ownName) const {
  const Copy* best = nullptr;
  auto rank = [&ownName](const Copy& c) {
    return (HoldingOf(c.header, c.size) == Holding::Whole ? 2 : 0) + (c.name == ownName ? 1 : 0);
  };
  const auto [from, to] = byCall_.equal_range(catalogue::CallOf(header));
  for (auto it = from; it != to; ++it) {
    const Copy& copy = copies_.at(it->second);
    if (HoldingOf(copy.header, copy.size) == Holding::Nothing) continue;
    if (!best || rank(copy) > rank(*best)) best = &copy;
  }
  return best;
}

std::vector<HeldCopy> SaveFolder::Copies() const {
  std::vector<HeldCopy> all;
  all.reserve(copies_.size());
  for (const auto& [name, copy] : copies_) all.push_back({name.string(), copy.header, copy.size});
  return all;
}

std::size_t SaveFolder::WholeCopiesOf(const RecordingHeader& header) const {
  const auto [from, to] = byCall_.equal_range(catalogue::CallOf(header));
  return static_cast<std::size_t>(std::count_if(from, to, [this](const auto& entry) {
    const Copy& copy = copies_.at(entry.second);
    return HoldingOf(copy.header, copy.size) == Holding::Whole;
  }));
}

fs::path SaveFolder::FreeName(const fs::path& ownName) const {
  // Only a name known to be there is taken: in a folder that cannot even be
  // looked into the first name is as good as any, and its creation says why.
  struct stat info {};
  fs::path name = ownName;
  for (unsigned number = 2; ::lstat((folder_ / name).c_str(), &info) == 0 && number < kMostNumbers;
       ++number) {
    name = NumberedName(ownName, number);
  }
  return name;
}

CopyPlace SaveFolder::PlaceFor(const RecordingHeader& header, const fs::path& ownName) {
  // The names a copy may take are looked at afresh: a job stopped a moment
  // ago, or another program, may have written them since the folder was read.
  Reread(ownName);
  for (unsigned number = 2; number < kMostNumbers; ++number) {
    const fs::path name = NumberedName(ownName, number);
    struct stat info {};
    if (::lstat((folder_ / name).c_str(), &info) != 0) break;
    Reread(name);
  }
  if (const Copy* holder = Holder(header, ownName))
    return {holder->name, HoldingOf(holder->header, holder->size)};
  return {FreeName(ownName), Holding::Nothing};
}

std::optional<fs::path> SaveFolder::InsteadOf(const fs::path& taken, const fs::path& written,
                                              const fs::path& ownName) const {
  if (StartOf(taken, written)) return std::nullopt;
  return folder_ / FreeName(ownName);
}

void SaveFolder::Placed(const fs::path& name, const RecordingHeader& header, std::uint64_t size) {
  Forget(name);
  Remember({name, header, size});
}

}  // namespace parlomax::transfer
