#pragma once

namespace parlomax::cli {

// Ctrl+C, SIGTERM or SIGHUP ask the running command to stop at its next
// chunk, so that whatever arrived is kept as a copy the window stops would
// keep it; a second signal ends the program at once.
void CatchInterrupts();
bool Interrupted();

}  // namespace parlomax::cli
