#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace parlomax::shell {

// How a program run ended.
struct ProgramEnd {
  bool started = false;           // false: it could not be started at all
  std::optional<int> exitStatus;  // set when it ended by exiting
  std::optional<int> signal;      // set when a signal ended it
  bool timedOut = false;          // it ran past its time limit and was killed
  bool stopped = false;           // the caller asked it to stop, and it was killed
  bool operator==(int status) const { return exitStatus == status; }
};

// What a run may take: a program that runs past `timeLimit` (zero: no
// limit), or whose caller's `stopRequested` turns true, is killed, with
// everything it started, and reaped. The stop is looked at every 50 ms at
// most, so a stop ends a hung program within moments.
struct RunLimits {
  std::chrono::milliseconds timeLimit{0};
  std::function<bool()> stopRequested;
};

// Starts `program` (a path, or a bare name looked up on PATH) with
// `arguments`, in the current working directory and with no window or
// output of its own, and waits for it to end within `limits`.
ProgramEnd StartAndWait(const std::string& program, const std::vector<std::string>& arguments,
                        const RunLimits& limits = {});

// The same, with `input` (a descriptor, or -1 for nothing) as the program's
// standard input, and its standard output handed to `output` block by block
// as it comes, until the program closes it. A program that neither writes
// nor ends is bounded by `limits` all the same.
ProgramEnd StartAndRead(const std::string& program, const std::vector<std::string>& arguments,
                        int input, const std::function<void(std::span<const std::uint8_t>)>& output,
                        const RunLimits& limits = {});

}  // namespace parlomax::shell
