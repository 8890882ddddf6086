#pragma once

#include "ChildProcess.h"
#include "FileBytes.h"
#include "TempFolder.h"

#include <string>
#include <vector>

namespace parlomax::testing {

struct ProgramResult {
  int status = -1;  // as ChildProcess::Wait gives it
  std::string out;
  std::string err;
};

// Runs a program to its end with what it printed kept, in a session of its
// own (so without a controlling terminal), with its environment changed as
// ChildSetup says. A program still running after `timeoutMs` is killed.
inline ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& changes,
                                int timeoutMs = 60000) {
  TempFolder printed;
  const auto outFile = printed / "out", errFile = printed / "err";
  ProgramResult result;
  result.status = ChildProcess(argv, {changes, outFile.string(), errFile.string(), true}).Wait(timeoutMs);
  const auto out = FileBytes(outFile), err = FileBytes(errFile);
  result.out.assign(out.begin(), out.end());
  result.err.assign(err.begin(), err.end());
  return result;
}

}  // namespace parlomax::testing
