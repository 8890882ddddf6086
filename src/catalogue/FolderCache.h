#pragma once

#include "catalogue/FolderScan.h"

#include <filesystem>
#include <optional>

namespace parlomax::catalogue {

// The rows of folders read before, kept between runs, so that a folder of
// tens of thousands of recordings shows at once after a restart, before the
// files themselves have been looked at again. One file per folder, named
// from a hash of the folder's path; a file that is damaged, cut short, of
// another version or of another folder is not used, and the caller reads
// the folder again.
class FolderCache {
 public:
  explicit FolderCache(std::filesystem::path cacheFolder);

  // $XDG_CACHE_HOME/parlomax, else ~/.cache/parlomax.
  static std::filesystem::path DefaultFolder();

  // The rows last saved for `folder`; nothing when there are none or they
  // cannot be trusted.
  std::optional<FolderRecordings> Load(const std::filesystem::path& folder) const;
  // Keeps `rows` for `folder`, replacing what was kept only once written
  // whole. False when it could not.
  bool Save(const std::filesystem::path& folder, const FolderRecordings& rows) const;

  // Where the rows of `folder` are kept.
  std::filesystem::path FileFor(const std::filesystem::path& folder) const;

 private:
  std::filesystem::path cacheFolder_;
};

}  // namespace parlomax::catalogue
