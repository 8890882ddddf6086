#pragma once

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
  bool operator==(int status) const { return exitStatus == status; }
};

// Starts `program` (a path, or a bare name looked up on PATH) with
// `arguments`, in the current working directory and with no window or
// output of its own, and waits for it to end, however long that takes.
ProgramEnd StartAndWait(const std::string& program, const std::vector<std::string>& arguments);

// The same, with `input` (a descriptor, or -1 for nothing) as the program's
// standard input, and its standard output handed to `output` block by block
// as it comes, until the program closes it.
ProgramEnd StartAndRead(const std::string& program, const std::vector<std::string>& arguments, int input,
                        const std::function<void(std::span<const std::uint8_t>)>& output);

}  // namespace parlomax::shell
