#pragma once

#include "platform/shell/FolderChooser.h"

namespace parlomax::shell {

class QtFolderChooser final : public FolderChooser {
 public:
  std::optional<QString> ChooseFolder(const QString& prompt, const QString& startFolder) override;
  std::optional<QString> ChooseSaveFile(const QString& prompt, const QString& proposed,
                                        const QString& filter) override;
};

}  // namespace parlomax::shell
