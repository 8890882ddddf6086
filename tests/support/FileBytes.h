#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <sys/stat.h>

namespace parlomax::testing {

// Every byte of a file; none when it cannot be read.
inline std::vector<std::uint8_t> FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// The permission bits of the file itself: a link in its place shows the
// link's, never its target's.
inline mode_t ModeOf(const std::filesystem::path& file) {
  struct stat info {};
  ::lstat(file.c_str(), &info);
  return info.st_mode & 07777;
}

}  // namespace parlomax::testing
