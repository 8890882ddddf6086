#pragma once

#include "platform/shell/FolderChooser.h"

#include <vector>

namespace parlomax::testing {

// Answers the folder dialog as the test says, and remembers the prompts.
class FakeFolderChooser final : public shell::FolderChooser {
 public:
  std::optional<QString> answer;
  std::vector<QString> prompts;

  std::optional<QString> ChooseFolder(const QString& prompt, const QString&) override {
    prompts.push_back(prompt);
    return answer;
  }
};

}  // namespace parlomax::testing
