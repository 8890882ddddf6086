#pragma once

#include <QString>

#include <filesystem>
#include <optional>

namespace parlomax::cli {

struct PinAnswer {
  enum class Kind { Given, Missing, Refused, Interrupted } kind = Kind::Missing;
  QString pin;      // when given
  QString problem;  // when missing or refused: what the user should know
};

// The telephone's PIN: from `pinFile` when one is named (refused when its
// group or others may read it), else from $PARLOMAX_PIN, else typed on the
// controlling terminal without echo. Never from the command line, which
// every user of the machine can read.
PinAnswer FindPin(const std::optional<std::filesystem::path>& pinFile);

// Takes $PARLOMAX_PIN out of the environment, to be found by FindPin() and
// by nothing else: a program started from here (the decoder) never
// inherits it. Called first thing, before any thread starts.
void TakePinFromEnvironment();

}  // namespace parlomax::cli
