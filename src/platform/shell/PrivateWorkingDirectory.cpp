#include "platform/shell/PrivateWorkingDirectory.h"

#include "platform/files/KeptFile.h"

#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::shell {
namespace {

bool Usable(const char* folder) {
  std::error_code ec;
  return folder && *folder && std::filesystem::is_directory(folder, ec) && ::access(folder, W_OK | X_OK) == 0;
}

// A folder in memory where there is one: the scratch files are rewritten
// twice for every second of sound a conversion makes, and a disk would only
// be worn by them.
std::filesystem::path DefaultParent() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); Usable(runtime)) return runtime;
  if (Usable("/dev/shm")) return "/dev/shm";
  std::error_code ec;
  auto temp = std::filesystem::temp_directory_path(ec);
  return ec ? std::filesystem::path("/tmp") : temp;
}

// Distinct from the other folders of ours that may stand beside them (the
// emulators' sockets, say), which the sweep below must never take for one.
constexpr std::string_view kPrefix = "parlomax-work-";

int LockFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Working folders of the user's programs that were killed: the decoded
// sound of calls must not stay in them for good.
void RemoveLeftFolders(const std::filesystem::path& base) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kPrefix) || name.size() != kPrefix.size() + 6) continue;
    const int fd = ::open(entry.path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    if (files::LeftBehind(fd)) std::filesystem::remove_all(entry.path(), ec);
    ::close(fd);
  }
}

}  // namespace

PrivateWorkingDirectory::PrivateWorkingDirectory(const std::filesystem::path& parent) {
  const auto base = parent.empty() ? DefaultParent() : parent;
  RemoveLeftFolders(base);
  std::string pattern = (base / (std::string(kPrefix) + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("无法在 " + base.string() + " 中建立工作文件夹：" + std::strerror(errno));
  }
  path_ = pattern;
  lock_ = LockFolder(path_);
  std::error_code ec;
  previous_ = std::filesystem::current_path(ec);
  std::filesystem::current_path(path_, ec);
  if (ec) {
    std::filesystem::remove_all(path_, ec);
    if (lock_ >= 0) ::close(lock_);
    throw std::runtime_error("无法进入工作文件夹 " + pattern);
  }
}

PrivateWorkingDirectory::~PrivateWorkingDirectory() {
  std::error_code ec;
  // Leave the folder before removing it; the old folder may be gone by now,
  // in which case the root is as good a place as any.
  std::filesystem::current_path(previous_.empty() ? "/" : previous_, ec);
  if (ec) std::filesystem::current_path("/", ec);
  std::filesystem::remove_all(path_, ec);
  if (lock_ >= 0) ::close(lock_);
}

}  // namespace parlomax::shell
