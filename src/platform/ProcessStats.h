// This process's CPU time and peak memory.
#pragma once
#include <cstdint>

namespace vell {

// CPU time (user + system) this process has used so far, in seconds.
double processCpuSeconds();
// The largest resident set this process has had, in bytes.
uint64_t peakResidentBytes();

}  // namespace vell
