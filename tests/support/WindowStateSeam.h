#pragma once

#include "app/MainUnit.h"

namespace parlomax::testing {

// Test seam: the flags the window's pieces of work share, so that a test can
// put the window in the middle of a playback or a conversion without
// running one, and see what a job left behind.
struct WindowStateSeam {
  static app::WindowState& Of(app::TMainForm& form) { return form.state_; }
};

inline app::WindowState& StateOf(app::TMainForm& form) { return WindowStateSeam::Of(form); }

}  // namespace parlomax::testing
