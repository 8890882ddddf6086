#pragma once

#include "platform/shell/MessageService.h"

#include <QString>

#include <functional>
#include <mutex>

namespace parlomax::cli {

// Standard error: whole lines, and on a terminal one progress line that is
// redrawn in place and wiped before any other line is printed. The progress
// line is cut to the terminal's width, since a line that wraps can no longer
// be drawn over, and is drawn again when the terminal is resized.
class StatusLine {
 public:
  // `columns` says how wide the terminal is now; by default it asks the
  // terminal standard error goes to.
  explicit StatusLine(bool terminal, std::function<int()> columns = {});
  ~StatusLine();
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  bool Terminal() const { return terminal_; }
  void Print(const QString& line);
  // Redraws the progress line; nothing happens when standard error is not a terminal.
  void Draw(const QString& text);
  void Wipe();
  // Draws the progress line again at the terminal's width now.
  void Redraw();

 private:
  void DrawLocked(const QString& text);
  void WipeLocked();

  bool terminal_;
  std::function<int()> columns_;
  std::mutex mutex_;
  bool drawn_ = false;
  QString text_;
};

// Message boxes become lines on standard error: there is nobody to click
// them away. A question gets the answer given in advance.
class TerminalMessages final : public shell::MessageService {
 public:
  TerminalMessages(StatusLine& out, bool answerToQuestions) : out_(out), answer_(answerToQuestions) {}

  void Show(const QString& caption, const QString& text, shell::MessageIcon icon) override;
  bool AskOkCancel(const QString& text) override;
  bool AskYesNo(const QString& text) override;
  // The place goes on a line of its own; there is no folder to open here.
  bool InformWithFolder(const QString& caption, const QString& text, shell::MessageIcon icon,
                        const QString& place, const QString& folder) override;

  // Failures and refusals reported so far.
  int Problems() const { return problems_; }

 private:
  StatusLine& out_;
  bool answer_;
  int problems_ = 0;
};

// A line of the program's own, "parlomax-cli: " first.
void Say(StatusLine& out, const QString& text);

}  // namespace parlomax::cli
