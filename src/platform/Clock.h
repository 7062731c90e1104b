#pragma once
#include <cstdint>

namespace vell {

// 32-bit millisecond tick count of the system's monotonic clock (wraps after ~49.7 days,
// like the Windows tick count). UI timing and every "tick" field use it.
uint32_t tickCount();

// Monotonic clock in seconds with nanosecond resolution; the playback clock runs on it.
double monotonicSeconds();

void sleepMs(int milliseconds);

}  // namespace vell
