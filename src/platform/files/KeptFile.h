#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace parlomax::files {

// How a kept file's writing ended.
enum class Ending {
  // Everything is in: the file takes the target's name, replacing an
  // earlier file, which it does only when every byte reached the disk.
  Complete,
  // Stopped or failed part-way: what arrived is kept under the target's
  // name when there is no file of that name, else beside the earlier file
  // (which stays as it was) as "<name>.part".
  Cut,
  // Nothing of it is wanted.
  Discard,
  // Complete, or nothing: a file whose writing failed is discarded.
  CompleteOrDiscard,
};

// Where the file ended up.
enum class Placed { Target, BesideTarget, Nowhere };

// Asked when a complete file finds a file standing at its target (another
// writer's, or one it must not replace), with that name and the new file's
// own path: nothing, to replace the file there, or another name to take
// (only while it is free; asked again if it is not).
using TakenNameDecision = std::function<std::optional<std::filesystem::path>(
    const std::filesystem::path& taken, const std::filesystem::path& written)>;

// A file the user keeps (a recording, a WAV file, an exported list), written
// so that nothing is lost: the bytes go into a new file of a name no one can
// guess or plant beforehand, created private (0600), every write, the sync
// and the rename checked; it takes the target's name only once complete, and
// then keeps the mode (and, where allowed, the owner) of the file it
// replaces. After the first failure nothing more is written, and Error()
// gives the system's error number.
class KeptFile {
 public:
  KeptFile() = default;
  // A file still open is kept as cut.
  ~KeptFile();

  KeptFile(const KeptFile&) = delete;
  KeptFile& operator=(const KeptFile&) = delete;

  // Starts a new file for `target`; false, with Error(), when it cannot be
  // made. Without `decide`, a complete file replaces whatever is there.
  bool Create(const std::filesystem::path& target, TakenNameDecision decide = {});
  // Appends; false once any write has failed.
  bool Write(std::span<const std::uint8_t> bytes);
  // Writes at `offset`. Within what the file holds already (a header
  // rewritten at the end, say) it works after a failure too.
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Syncs and closes the file and puts it where `ending` says. A file whose
  // writing failed is never complete: it is kept as cut. Error() then tells
  // what failed, in writing or in placing.
  Placed Finish(Ending ending);

  bool IsOpen() const { return fd_ >= 0; }
  int Error() const { return error_; }
  // The end of what was written.
  std::uint64_t Size() const { return size_; }
  const std::filesystem::path& Target() const { return target_; }
  // Where the last file was put: its target, the name `decide` gave it, or
  // the ".part" beside; empty when it was put nowhere.
  const std::filesystem::path& PlacedAt() const { return placedAt_; }

  // "<name>.part" beside `target`: where a cut file goes when the target's
  // name is taken; "<name>.part-2", "-3"... when that one is too, and is
  // not the user's or holds more.
  static std::filesystem::path PartName(const std::filesystem::path& target);

 private:
  bool WriteFrom(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  bool Fail(int error);
  Placed Place(int fd, Ending ending);
  void AdoptModeOfEarlier(int fd);
  Placed PlaceComplete(Ending ending);
  Placed PlaceCut();
  Placed Settled(const std::filesystem::path& name, Placed placed);
  Placed Drop();

  int fd_ = -1;
  int error_ = 0;
  std::uint64_t size_ = 0;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::filesystem::path placedAt_;
  TakenNameDecision decide_;
};

// A hidden file that a writer left behind when its program was killed.
struct Leftover {
  std::filesystem::path partial;  // the hidden file itself
  std::filesystem::path target;   // the file it was to become
  int descriptor = -1;            // open for reading while its fate is decided
  // Where it goes when kept: its target unless the fate says otherwise.
  std::filesystem::path keepAt;
};
enum class LeftoverFate {
  Remove,
  // Placed as the writer would have placed it had it been stopped: under
  // `keepAt` when that is free, else beside it as a ".part", never over a file.
  KeepAsCut,
  Leave,
};

// Goes through the hidden files in `folder` that killed writers left
// behind (the user's own, held by no running writer, untouched for a
// minute) and does with each what `fate` says. How many it removed or placed.
int SweepLeftovers(const std::filesystem::path& folder,
                   const std::function<LeftoverFate(Leftover&)>& fate);
// Removes the leftovers of files whose names end in `extension`.
int RemoveLeftovers(const std::filesystem::path& folder, std::string_view extension);

// Whether what `fd` holds open (a file, or a folder) was left behind by a
// program that was killed: the user's own, unchanged for a minute, and
// locked by nobody; it is then locked by `fd`. A younger one may belong to
// a program that has made it but not yet locked it.
bool LeftBehind(int fd);

// For a program made to end at once, in the middle of writing: the files
// not yet finished are removed, so that no hidden half file stays behind.
// Safe from any thread but a signal handler.
void RemoveUnfinishedFiles();

}  // namespace parlomax::files
