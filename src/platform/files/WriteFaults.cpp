#include "platform/files/WriteFaults.h"

#include <algorithm>
#include <atomic>

namespace parlomax::files {
namespace {

constexpr std::int64_t kNoFault = -1;
std::atomic<std::int64_t> budget{kNoFault};
std::atomic<int> faultError{0};

}  // namespace

void FailWritesAfter(std::uint64_t bytes, int error) {
  faultError = error;
  budget = static_cast<std::int64_t>(bytes);
}

void StopFailingWrites() { budget = kNoFault; }

std::size_t BytesTheDiskTakes(std::size_t wanted, int& error) {
  std::int64_t left = budget.load();
  for (;;) {
    if (left == kNoFault) return wanted;
    const auto taken = std::min<std::int64_t>(left, static_cast<std::int64_t>(wanted));
    if (budget.compare_exchange_weak(left, left - taken)) {
      if (static_cast<std::size_t>(taken) < wanted) error = faultError;
      return static_cast<std::size_t>(taken);
    }
  }
}

}  // namespace parlomax::files
