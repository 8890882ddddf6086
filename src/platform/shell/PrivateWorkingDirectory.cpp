#include "platform/shell/PrivateWorkingDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>
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

}  // namespace

PrivateWorkingDirectory::PrivateWorkingDirectory(const std::filesystem::path& parent) {
  const auto base = parent.empty() ? DefaultParent() : parent;
  std::string pattern = (base / "parlomax-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("无法在 " + base.string() + " 中建立工作文件夹：" + std::strerror(errno));
  }
  path_ = pattern;
  std::error_code ec;
  previous_ = std::filesystem::current_path(ec);
  std::filesystem::current_path(path_, ec);
  if (ec) {
    std::filesystem::remove_all(path_, ec);
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
}

}  // namespace parlomax::shell
