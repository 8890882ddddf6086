#include "platform/usb/EmulatorFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::usb {
namespace {

constexpr const char* kPrefix = "phone-";
constexpr const char* kLockSuffix = ".lock";

// The number in "phone-<number>.lock", or 0 for any other name.
int LockNumber(const std::string& name) {
  const std::string prefix = kPrefix;
  const std::string suffix = kLockSuffix;
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return 0;
  }
  const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  if (digits.empty() || digits.size() > 6 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return 0;
  }
  return std::stoi(digits);
}

// True when some process holds the lock file: that emulator is alive.
bool LockHeld(const std::filesystem::path& lock) {
  const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);  // also drops the lock if we got it
  return held;
}

}  // namespace

std::filesystem::path DefaultEmulatorFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return std::filesystem::path(runtime) / "parlomax";
  }
  return std::filesystem::path("/tmp") / ("parlomax-" + std::to_string(::getuid()));
}

std::filesystem::path EmulatorSocketPath(const std::filesystem::path& folder, int number) {
  return folder / (kPrefix + std::to_string(number) + ".sock");
}

std::filesystem::path EmulatorLockPath(const std::filesystem::path& folder, int number) {
  return folder / (kPrefix + std::to_string(number) + kLockSuffix);
}

bool IsPrivateFolder(const std::filesystem::path& folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
         (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::vector<int> RunningEmulators(const std::filesystem::path& folder) {
  std::vector<int> numbers;
  if (!IsPrivateFolder(folder)) return numbers;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const int number = LockNumber(entry.path().filename().string());
    if (number == 0) continue;
    if (!LockHeld(entry.path())) continue;
    if (!std::filesystem::exists(EmulatorSocketPath(folder, number), ec)) continue;
    numbers.push_back(number);
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

}  // namespace parlomax::usb
