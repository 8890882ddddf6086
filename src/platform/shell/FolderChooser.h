#pragma once

#include <QString>

#include <optional>

namespace parlomax::shell {

// The system's folder picker: folders only.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  // The chosen folder, without a trailing "/" unless it is the root "/";
  // nothing when the user cancels.
  virtual std::optional<QString> ChooseFolder(const QString& prompt, const QString& startFolder) = 0;
  // A file to write, starting from the path `proposed`, with the file
  // filter `filter` ("MP3 (*.mp3)"); nothing when the user cancels. A
  // chooser that offers no such dialog answers nothing.
  virtual std::optional<QString> ChooseSaveFile(const QString& /*prompt*/,
                                                const QString& /*proposed*/,
                                                const QString& /*filter*/) {
    return std::nullopt;
  }
};

}  // namespace parlomax::shell
