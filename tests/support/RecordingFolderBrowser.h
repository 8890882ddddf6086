#pragma once

#include "platform/shell/FolderBrowser.h"

#include <vector>

namespace parlomax::testing {

// Remembers the folders the program asked to show.
class RecordingFolderBrowser final : public shell::FolderBrowser {
 public:
  std::vector<QString> shown;
  void ShowFolder(const QString& folder) override { shown.push_back(folder); }
};

}  // namespace parlomax::testing
