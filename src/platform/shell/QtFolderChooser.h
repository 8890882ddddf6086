#pragma once

#include "platform/shell/FolderChooser.h"

namespace parlomax::shell {

class QtFolderChooser final : public FolderChooser {
 public:
  std::optional<QString> ChooseFolder(const QString& prompt, const QString& startFolder) override;
};

}  // namespace parlomax::shell
