#pragma once

#include <optional>
#include <string>
#include <vector>

namespace parlomax::shell {

// Starts `program` (a path, or a bare name looked up on PATH) with
// `arguments`, in the current working directory and with no window or
// output of its own, and waits for it to end, however long that takes.
// Gives its exit status, or nothing when it could not be started or did not
// end by exiting.
std::optional<int> StartAndWait(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace parlomax::shell
