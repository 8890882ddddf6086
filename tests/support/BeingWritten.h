#pragma once

#include <filesystem>
#include <string>

namespace parlomax::testing {

// The hidden file a kept file `target` has while it is being written (its
// name has a random part), or an empty path when there is none.
inline std::filesystem::path FileBeingWritten(const std::filesystem::path& target) {
  const std::string start = "." + target.filename().string() + ".";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(target.parent_path(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(start) && name.ends_with(".partial")) return entry.path();
  }
  return {};
}

}  // namespace parlomax::testing
