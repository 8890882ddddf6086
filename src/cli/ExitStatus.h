#pragma once

namespace parlomax::cli {

// What the program's exit status tells a script or a timer.
enum ExitStatus : int {
  kDone = 0,
  kFailed = 1,
  kNoTelephoneOrPin = 2,
  kFolderUnreadable = 2,  // find
  kWrongPin = 3,
  kTelephoneGone = 4,
  kInterrupted = 130,  // as a shell reports a program ended by Ctrl+C
};

}  // namespace parlomax::cli
