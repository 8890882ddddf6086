#pragma once

#include <filesystem>

namespace parlomax::shell {

// A folder of the program's own, made the working directory for as long as
// the object lives, so that scratch files with fixed names (the decoder's
// input and outputs) never land in whatever folder the program was started
// from and two running copies never share them. Removed with its content
// when the object goes away.
class PrivateWorkingDirectory {
 public:
  // Creates the folder under `parent`; an empty parent means the user's
  // runtime folder ($XDG_RUNTIME_DIR) when there is one, else /dev/shm, else
  // the temp folder.
  // Throws std::runtime_error when the folder cannot be made or entered.
  explicit PrivateWorkingDirectory(const std::filesystem::path& parent = {});
  ~PrivateWorkingDirectory();

  PrivateWorkingDirectory(const PrivateWorkingDirectory&) = delete;
  PrivateWorkingDirectory& operator=(const PrivateWorkingDirectory&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
  int lock_ = -1;
};

}  // namespace parlomax::shell
