#include "transfer/SaveFolder.h"

#include "catalogue/FolderList.h"
#include "platform/files/KeptFile.h"
#include "platform/files/PathText.h"
#include "platform/files/PlainFile.h"

#include <cerrno>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::transfer {
namespace {

namespace fs = std::filesystem;
using catalogue::kRecordingHeaderSize;
using catalogue::RecordingHeader;

// Calls of the same minute and length share a key; the headers tell them apart.
std::uint32_t CallKey(const RecordingHeader& header) {
  return std::uint32_t{header[2]} << 24 | std::uint32_t{header[3]} << 16 |
         std::uint32_t{header[4]} << 8 | header[18];
}

fs::path NumberedName(const fs::path& ownName, unsigned number) {
  return ownName.stem().string() + "-" + std::to_string(number) + ownName.extension().string();
}

bool IsRecordingName(const fs::path& name) {
  std::string extension = name.extension().string();
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension == ".spx";
}

constexpr unsigned kMostNumbers = 100000;

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
  for (const auto& file : catalogue::SearchRecordingFiles(folder_)) Read(file);
  const int kept = files::SweepLeftovers(folder_, [this](const files::Leftover& leftover) {
    if (!IsRecordingName(leftover.target)) return files::LeftoverFate::Leave;
    RecordingHeader header{};
    struct stat info {};
    if (::fstat(leftover.descriptor, &info) != 0 ||
        ::pread(leftover.descriptor, header.data(), header.size(), 0) !=
            static_cast<ssize_t>(header.size())) {
      return files::LeftoverFate::Remove;  // not even a description of a call
    }
    const Copy* holder = Holder(header, leftover.target.filename());
    const bool whole = holder && HoldingOf(holder->header, holder->size) == Holding::Whole;
    return whole || HoldingOf(header, static_cast<std::uint64_t>(info.st_size)) == Holding::Nothing
               ? files::LeftoverFate::Remove
               : files::LeftoverFate::KeepAsCut;
  });
  if (kept > 0) {
    copies_.clear();
    byCall_.clear();
    for (const auto& file : catalogue::SearchRecordingFiles(folder_)) Read(file);
  }
}

fs::path SaveFolder::NameFor(const QString& ownName) const {
  return prefix_ + files::PathOf(ownName).string();
}

void SaveFolder::Read(const fs::path& file) {
  const files::PlainFile in(file);
  RecordingHeader header{};
  if (!in.IsOpen() || in.ReadAt(0, header) != header.size()) return;
  Remember({file.filename(), header, in.Size()});
}

void SaveFolder::Remember(Copy copy) {
  Forget(copy.name);
  byCall_.emplace(CallKey(copy.header), copy.name);
  const fs::path name = copy.name;
  copies_.insert_or_assign(name, std::move(copy));
}

void SaveFolder::Forget(const fs::path& name) {
  const auto copy = copies_.find(name);
  if (copy == copies_.end()) return;
  const auto [from, to] = byCall_.equal_range(CallKey(copy->second.header));
  for (auto it = from; it != to;) it = it->second == name ? byCall_.erase(it) : std::next(it);
  copies_.erase(copy);
}

const SaveFolder::Copy* SaveFolder::Holder(const RecordingHeader& header,
                                           const fs::path& ownName) const {
  const Copy* best = nullptr;
  auto rank = [&ownName](const Copy& c) {
    return (HoldingOf(c.header, c.size) == Holding::Whole ? 2 : 0) + (c.name == ownName ? 1 : 0);
  };
  const auto [from, to] = byCall_.equal_range(CallKey(header));
  for (auto it = from; it != to; ++it) {
    const Copy& copy = copies_.at(it->second);
    if (!catalogue::SameCall(copy.header, header) ||
        HoldingOf(copy.header, copy.size) == Holding::Nothing)
      continue;
    if (!best || rank(copy) > rank(*best)) best = &copy;
  }
  return best;
}

bool SaveFolder::Taken(const fs::path& name) const {
  struct stat info {};
  return ::lstat((folder_ / name).c_str(), &info) == 0 || errno != ENOENT;
}

void SaveFolder::Reread(const fs::path& name) {
  Forget(name);
  Read(folder_ / name);
}

CopyPlace SaveFolder::PlaceFor(const RecordingHeader& header, const fs::path& ownName) {
  // The names a copy may take are looked at afresh: a job stopped a moment
  // ago, or another program, may have written them since the folder was read.
  Reread(ownName);
  if (const Copy* holder = Holder(header, ownName))
    return {holder->name, HoldingOf(holder->header, holder->size)};
  fs::path name = ownName;
  // A folder that cannot even be looked into gets the first name; its
  // creation then fails and says why.
  for (unsigned number = 2; Taken(name) && number < kMostNumbers; ++number) {
    name = NumberedName(ownName, number);
    Reread(name);
    if (const Copy* holder = Holder(header, name); holder && holder->name == name) {
      return {name, HoldingOf(holder->header, holder->size)};
    }
  }
  return {name, Holding::Nothing};
}

void SaveFolder::Placed(const fs::path& name, const RecordingHeader& header, std::uint64_t size) {
  Forget(name);
  Remember({name, header, size});
}

}  // namespace parlomax::transfer
