#include "cli/StatusLine.h"

#include "cli/TextColumns.h"

#include <csignal>
#include <cstdio>
#include <thread>

#include <semaphore.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace parlomax::cli {
namespace {

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

// A resize is noticed by a flag and a semaphore, all a signal handler may
// touch; a thread of its own then draws the line again, so that a command
// waiting on a slow telephone is redrawn at once and not at its next step.
sem_t resized;
std::mutex linesMutex;
StatusLine* shownLine = nullptr;

void NoteResize(int) { ::sem_post(&resized); }

void WatchResizes() {
  for (;;) {
    while (::sem_wait(&resized) != 0) {
    }
    const std::lock_guard lock(linesMutex);
    if (shownLine != nullptr) shownLine->Redraw();
  }
}

void CatchResizes() {
  static const bool caught = [] {
    ::sem_init(&resized, 0, 0);
    sigset_t resize, before;
    sigemptyset(&resize);
    sigaddset(&resize, SIGWINCH);
    ::pthread_sigmask(SIG_BLOCK, &resize, &before);
    std::thread(WatchResizes).detach();
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    struct sigaction action {};
    action.sa_handler = &NoteResize;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &action, nullptr);
    return true;
  }();
  (void)caught;
}

}  // namespace

StatusLine::StatusLine(bool terminal, std::function<int()> columns)
    : terminal_(terminal), columns_(columns ? std::move(columns) : TerminalColumns) {
  if (!terminal_) return;
  CatchResizes();
  const std::lock_guard lock(linesMutex);
  shownLine = this;
}

StatusLine::~StatusLine() {
  const std::lock_guard lock(linesMutex);
  if (shownLine == this) shownLine = nullptr;
}

void StatusLine::Print(const QString& line) {
  const std::lock_guard lock(mutex_);
  WipeLocked();
  std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stderr);
  std::fflush(stderr);
}

void StatusLine::Draw(const QString& text) {
  if (!terminal_) return;
  const std::lock_guard lock(mutex_);
  DrawLocked(text);
}

void StatusLine::Redraw() {
  const std::lock_guard lock(mutex_);
  if (drawn_) DrawLocked(text_);
}

void StatusLine::DrawLocked(const QString& text) {
  text_ = text;
  // One cell is left free: some terminals wrap as soon as the last is written.
  const QString shown = CutToWidth(text, columns_() - 1);
  // Back to the start of the line and clear it to its end.
  std::fputs(("\r" + shown + "\x1b[K").toUtf8().constData(), stderr);
  std::fflush(stderr);
  drawn_ = true;
}

void StatusLine::Wipe() {
  const std::lock_guard lock(mutex_);
  WipeLocked();
}

void StatusLine::WipeLocked() {
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
