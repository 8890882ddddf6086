#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
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

  // Starts a new file for `target`; false, with Error(), when it cannot be made.
  bool Create(const std::filesystem::path& target);
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

  // "<name>.part" beside `target`: where a cut file goes when the target's
  // name is taken.
  static std::filesystem::path PartName(const std::filesystem::path& target);

 private:
  bool WriteFrom(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  bool Fail(int error);
  Placed Place(int fd, Ending ending);
  void AdoptModeOfEarlier(int fd);
  Placed PlaceComplete(Ending ending);
  Placed PlaceCut();
  Placed Drop();

  int fd_ = -1;
  int error_ = 0;
  std::uint64_t size_ = 0;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
};

// A hidden file that a writer left behind when its program was killed.
struct Leftover {
  std::filesystem::path partial;  // the hidden file itself
  std::filesystem::path target;   // the file it was to become
  int descriptor = -1;            // open for reading while its fate is decided
};
enum class LeftoverFate {
  Remove,
  // Placed as the writer would have placed it had it been stopped: under
  // its target's name when that is free, else as "<name>.part".
  KeepAsCut,
  Leave,
};

// Goes through the hidden files in `folder` that killed writers left
// behind (the user's own, held by no running writer, untouched for a
// minute) and does with each what `fate` says. How many it removed or placed.
int SweepLeftovers(const std::filesystem::path& folder,
                   const std::function<LeftoverFate(const Leftover&)>& fate);
// Removes the leftovers of files whose names end in `extension`.
int RemoveLeftovers(const std::filesystem::path& folder, std::string_view extension);

// For a program made to end at once, in the middle of writing: the files
// not yet finished are removed, so that no hidden half file stays behind.
// Safe from any thread but a signal handler.
void RemoveUnfinishedFiles();

}  // namespace parlomax::files
