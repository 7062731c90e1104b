// Tick counts, the monotonic clock, sleeps and the hold on fine timers.
#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace vell {

uint32_t tickCount() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

double monotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void sleepMs(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {
std::atomic<bool> fineHeld{false};
}  // namespace

// Each change of the system's resolution is paired: asked for once, given back once.
void holdFineTimers(bool on) {
  if (fineHeld.exchange(on) != on) detail::setFineTimerResolution(on);
}

bool fineTimersHeld() { return fineHeld.load(); }

}  // namespace vell
