#pragma once

#include "platform/shell/MessageService.h"

#include <chrono>
#include <mutex>
#include <thread>
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
    // A closing message's place line and the folder its button opens.
    QString place = {};
    QString folder = {};
    bool operator==(const Message&) const = default;
  };

  void Show(const QString& caption, const QString& text, shell::MessageIcon icon) override {
    std::chrono::milliseconds reading{};
    {
      std::lock_guard lock(mutex_);
      messages_.push_back({caption, text, icon});
      reading = readingTime_;
    }
    // Like a user who reads the box before closing it.
    if (reading.count() > 0) std::this_thread::sleep_for(reading);
  }

  bool AskOkCancel(const QString& text) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({shell::kQuestionCaption, text, shell::MessageIcon::Warning, true});
    return answer_;
  }

  bool AskYesNo(const QString& text) override { return AskOkCancel(text); }

  bool InformWithFolder(const QString& caption, const QString& text, shell::MessageIcon icon,
                        const QString& place, const QString& folder) override {
    std::chrono::milliseconds reading{};
    bool open = false;
    {
      std::lock_guard lock(mutex_);
      messages_.push_back({caption, text, icon, false, place, folder});
      reading = readingTime_;
      open = openFolders_;
    }
    if (reading.count() > 0) std::this_thread::sleep_for(reading);
    return open;
  }

  // Whether the user opens the folder a closing message offers.
  void OpenFoldersOffered(bool open) {
    std::lock_guard lock(mutex_);
    openFolders_ = open;
  }

  // Every box stays open this long before it is closed.
  void TakeTimeToClose(std::chrono::milliseconds reading) {
    std::lock_guard lock(mutex_);
    readingTime_ = reading;
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
  bool openFolders_ = false;
  std::chrono::milliseconds readingTime_{};
};

}  // namespace parlomax::testing
