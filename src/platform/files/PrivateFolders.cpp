#include "platform/files/PrivateFolders.h"

#include <cerrno>

#include <sys/stat.h>

namespace parlomax::files {

int MakePrivateFolders(const std::filesystem::path& folder) {
  const auto path = folder.lexically_normal();
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  if (path.has_relative_path() && path.has_parent_path() && path.parent_path() != path) {
    if (const int above = MakePrivateFolders(path.parent_path()); above != 0) return above;
  }
  if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return 0;
  return errno;
}

}  // namespace parlomax::files
