#pragma once

#include "platform/shell/FolderChooser.h"

#include <vector>

namespace parlomax::testing {

// Answers the folder dialog as the test says, and remembers the prompts.
class FakeFolderChooser final : public shell::FolderChooser {
 public:
  std::optional<QString> answer;
  std::vector<QString> prompts;
  // The save-file dialog: what it answers, and the paths it was offered.
  std::optional<QString> fileAnswer;
  std::vector<QString> proposedFiles;

  std::optional<QString> ChooseFolder(const QString& prompt, const QString&) override {
    prompts.push_back(prompt);
    return answer;
  }
  std::optional<QString> ChooseSaveFile(const QString& prompt, const QString& proposed,
                                        const QString&) override {
    prompts.push_back(prompt);
    proposedFiles.push_back(proposed);
    return fileAnswer;
  }
};

}  // namespace parlomax::testing
