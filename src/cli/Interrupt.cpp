#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

namespace parlomax::cli {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void Note(int) { interrupted = true; }

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = &Note;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read from the terminal (the PIN) returns at once.
  action.sa_flags = SA_RESETHAND;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool Interrupted() { return interrupted; }

}  // namespace parlomax::cli
