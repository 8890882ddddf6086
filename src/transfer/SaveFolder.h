#pragma once

#include "catalogue/RecordingHeader.h"
#include "transfer/SafeCopies.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace parlomax::transfer {

// What a file in the save folder holds of a call.
enum class Holding {
  Nothing,  // the name is free
  Whole,    // the call, to its last byte
  Cut,      // the call's start: a copy that was stopped or failed
};

// Where a recording's copy goes, and what is there now.
struct CopyPlace {
  std::filesystem::path name;  // within the folder
  Holding holds = Holding::Nothing;
};

// A save folder and the calls it holds already, read from the headers of
// its recording files. A recording's name carries its place in the
// telephone's list, and that place moves when an earlier recording is
// deleted there: a name alone says nothing about which call a file holds.
// So a copy never takes the place of a file that holds another call, or
// more than this one, and a call copied before is found under whatever
// name it was given.
class SaveFolder {
 public:
  // `folderText` is the folder as the save box shows it: a recording's path
  // is that text and its name, with no separator added. Reads the folder.
  // Hidden files that a killed copy left behind are dealt with first:
  // removed where the folder holds as much of their call, else kept as the
  // cut copies they are, so that the next copy completes them.
  explicit SaveFolder(const std::filesystem::path& folderText);

  const std::filesystem::path& Path() const { return folder_; }
  // The name a recording called `ownName` has in the folder.
  std::filesystem::path NameFor(const QString& ownName) const;

  // The place for the recording `header` describes, whose own name is
  // `ownName`: the file holding the call already (whole rather than cut,
  // its own name first), else the first free one of its own name,
  // "<stem>-2.spx", "<stem>-3.spx", ...
  CopyPlace PlaceFor(const catalogue::RecordingHeader& header,
                     const std::filesystem::path& ownName);
  // Every recording file read, by name.
  std::vector<HeldCopy> Copies() const;
  // How many files hold the call whole.
  std::size_t WholeCopiesOf(const catalogue::RecordingHeader& header) const;
  // For a finished copy `written` whose chosen name `taken` holds a file by
  // the time it is placed: nothing when that file holds no more than the
  // start of the same recording, byte for byte (so it may be replaced),
  // else the next free name of `ownName`'s form.
  std::optional<std::filesystem::path> InsteadOf(const std::filesystem::path& taken,
                                                 const std::filesystem::path& written,
                                                 const std::filesystem::path& ownName) const;
  // A copy of `size` bytes now stands under `name`.
  void Placed(const std::filesystem::path& name, const catalogue::RecordingHeader& header,
              std::uint64_t size);

 private:
  struct Copy {
    std::filesystem::path name;
    catalogue::RecordingHeader header;
    std::uint64_t size = 0;
  };
  const Copy* Holder(const catalogue::RecordingHeader& header,
                     const std::filesystem::path& ownName) const;
  std::filesystem::path FreeName(const std::filesystem::path& ownName) const;
  void ReadAll();
  void Read(const std::filesystem::path& file);
  // Forgets what was read of `name` and reads it again.
  void Reread(const std::filesystem::path& name);
  void Forget(const std::filesystem::path& name);
  void Remember(Copy copy);

  std::filesystem::path folder_;
  std::string prefix_;
  std::map<std::filesystem::path, Copy> copies_;
  // The names of the copies by the call they hold.
  std::multimap<catalogue::RecordingHeader, std::filesystem::path> byCall_;
};

// What a copy of `header` holds when the file is `size` bytes long.
Holding HoldingOf(const catalogue::RecordingHeader& header, std::uint64_t size);

}  // namespace parlomax::transfer
