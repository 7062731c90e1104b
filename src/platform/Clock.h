// Time for the whole program: tick counts, monotonic seconds, sleeps and fine timers.
#pragma once
#include <cstdint>

namespace vell {

// 32-bit millisecond tick count of the system's monotonic clock (wraps after ~49.7 days,
// like the Windows tick count). UI timing and every "tick" field use it.
uint32_t tickCount();

// Monotonic clock in seconds with nanosecond resolution; the playback clock runs on it.
double monotonicSeconds();

void sleepMs(int milliseconds);

// Whether sleeps and timed waits of the whole process end within about a millisecond of
// their time. Windows otherwise ends them on its 15.6 ms tick, so a 16 ms paint loop lands
// 15.6 or 31 ms apart and moving pictures judder; Linux timers are exact anyway. Held while a
// medium plays, let go when nothing does and before the program ends (window thread).
void holdFineTimers(bool on);
bool fineTimersHeld();

namespace detail {
// The target's switch of the system timer between its fine and its default resolution.
void setFineTimerResolution(bool fine);
}  // namespace detail

}  // namespace vell
