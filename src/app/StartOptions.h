#pragma once

#include <optional>

namespace parlomax::app {

// Answers `--help` and `--version` on standard output before anything needs
// a display, so that they work over ssh and in scripts. Returns the exit
// status when the program should end there, nothing when it should start.
std::optional<int> AnswerWithoutWindow(int argc, char** argv);

}  // namespace parlomax::app
