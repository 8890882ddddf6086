#pragma once

#include <functional>

namespace parlomax::cli {

// Ctrl+C, SIGTERM or SIGHUP ask the running command to stop at its next
// chunk or file, so that whatever arrived is kept as a copy the window stops
// would keep it. A command that is waiting for something that does not come
// (a telephone gone quiet in the middle of a reply) is ended after a short
// grace all the same: the files it had not finished are removed, the
// cleanups below run, and the program exits with kInterrupted.
void CatchInterrupts();
bool Interrupted();

// A cleanup that must run should the program be ended that way while this
// object lives (the terminal's echo given back, say).
class OnForcedExit {
 public:
  explicit OnForcedExit(std::function<void()> cleanup);
  ~OnForcedExit();
  OnForcedExit(const OnForcedExit&) = delete;
  OnForcedExit& operator=(const OnForcedExit&) = delete;

 private:
  unsigned id_;
};

}  // namespace parlomax::cli
