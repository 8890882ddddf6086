#pragma once

#include "app/WindowState.h"

namespace parlomax::shell {
class MessageService;
}

namespace parlomax::app {

// The checks that the list request, the copy buttons and the export make
// before anything else: no playback (paused counts) and no conversion. A
// refusal has been told to the user when this returns false.
bool SharedGuardsPass(const WindowState& state, shell::MessageService& messages);

}  // namespace parlomax::app
