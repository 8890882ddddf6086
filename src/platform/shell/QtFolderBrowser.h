#pragma once

#include "platform/shell/FolderBrowser.h"

namespace parlomax::shell {

// The desktop's own file browser, whichever the user has chosen.
class QtFolderBrowser final : public FolderBrowser {
 public:
  void ShowFolder(const QString& folder) override;
};

}  // namespace parlomax::shell
