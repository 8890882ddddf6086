#include "cli/StatusLine.h"

#include <cstdio>

namespace parlomax::cli {

void StatusLine::Print(const QString& line) {
  Wipe();
  std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stderr);
  std::fflush(stderr);
}

void StatusLine::Draw(const QString& text) {
  if (!terminal_) return;
  // Back to the start of the line and clear it to its end.
  std::fputs(("\r" + text + "\x1b[K").toUtf8().constData(), stderr);
  std::fflush(stderr);
  drawn_ = true;
}

void StatusLine::Wipe() {
  if (!drawn_) return;
  std::fputs("\r\x1b[K", stderr);
  drawn_ = false;
}

void Say(StatusLine& out, const QString& text) { out.Print(QStringLiteral("parlomax-cli: ") + text); }

void TerminalMessages::Show(const QString&, const QString& text, shell::MessageIcon icon) {
  // What a box announces as done the program's own summary says better.
  if (icon == shell::MessageIcon::Information) return;
  if (icon == shell::MessageIcon::Warning || icon == shell::MessageIcon::Error) ++problems_;
  Say(out_, text);
}

bool TerminalMessages::InformWithFolder(const QString& caption, const QString& text,
                                        shell::MessageIcon icon, const QString& place,
                                        const QString&) {
  Show(caption, WithPlace(text, place), icon);
  return false;
}

bool TerminalMessages::AskOkCancel(const QString&) { return answer_; }
bool TerminalMessages::AskYesNo(const QString&) { return answer_; }

}  // namespace parlomax::cli
