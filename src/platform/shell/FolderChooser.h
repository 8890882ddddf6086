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
};

}  // namespace parlomax::shell
