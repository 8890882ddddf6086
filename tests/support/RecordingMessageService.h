#pragma once

#include "platform/shell/MessageService.h"

#include <mutex>
#include <vector>

namespace parlomax::testing {

// Records every message instead of showing it, from any thread, and answers
// questions as the test says.
class RecordingMessageService final : public shell::MessageService {
 public:
  struct Message {
    QString caption;
    QString text;
    shell::MessageIcon icon;
    bool question = false;
    bool operator==(const Message&) const = default;
  };

  void Show(const QString& caption, const QString& text, shell::MessageIcon icon) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({caption, text, icon});
  }

  bool AskOkCancel(const QString& text) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({shell::kQuestionCaption, text, shell::MessageIcon::Warning, true});
    return answer_;
  }

  void AnswerQuestionsWith(bool ok) {
    std::lock_guard lock(mutex_);
    answer_ = ok;
  }

  std::vector<Message> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }

  // Just the texts, in order: what most tests compare.
  std::vector<QString> Texts() const {
    std::lock_guard lock(mutex_);
    std::vector<QString> texts;
    for (const auto& m : messages_) texts.push_back(m.text);
    return texts;
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  bool answer_ = true;
};

}  // namespace parlomax::testing
