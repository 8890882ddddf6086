#pragma once

#include <cstddef>
#include <cstdint>

namespace parlomax::files {

// Test seam, and nothing else: from the call on, kept files take `bytes`
// more bytes, then every write into one fails with `error` (ENOSPC: the
// disk is full), until StopFailingWrites(). The fault is process-wide, so
// that a test can fill the disk under a job running on any thread.
void FailWritesAfter(std::uint64_t bytes, int error);
void StopFailingWrites();

// How many of `wanted` bytes a write may still pass on; sets `error` when
// the seam refuses the rest.
std::size_t BytesTheDiskTakes(std::size_t wanted, int& error);

}  // namespace parlomax::files
