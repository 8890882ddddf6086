#pragma once

#include <QString>

namespace parlomax::shell {

// Shows a folder in the desktop's file browser.
class FolderBrowser {
 public:
  virtual ~FolderBrowser() = default;
  virtual void ShowFolder(const QString& folder) = 0;
};

}  // namespace parlomax::shell
