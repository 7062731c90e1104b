// The playback thread's rules for keeping an endless network input alive: error runs, back-offs, retries.
#pragma once
#include <cstdint>

namespace vell {

// Counters with which the playback thread keeps an endless network input alive: runs of
// read errors, failed reopen attempts and end-of-input retries.
struct LiveReconnect {
  static constexpr int kMaxFailures = 30;
  static constexpr uint32_t kErrorWindowMs = 1500;
  static constexpr int kForcedAfterErrors = 10;
  // A finite input whose reads keep failing (FFmpeg has already retried below us) has ended:
  // an HTTP file asked to resume past its last byte fails this way instead of ending.
  static constexpr int kFiniteInputErrorLimit = 50;

  // An input that ends this soon after a reconnection ended early: the next reopen waits as
  // a failed attempt would, so a server that closes at once is never hammered.
  static constexpr uint32_t kEarlyEndMs = 10000;

  int maxFailures = kMaxFailures;
  int errorCount = 0;
  uint32_t lastErrorTick = 0;
  int failureCount = 0;
  int endRetryCount = 0;
  uint32_t reconnectTick = 0;  // of the last successful reconnection; 0 = none since
  int earlyEnds = 0;           // early ends in a row

  // A read error at `now`; true when a forced reconnect is due (live inputs only).
  bool readError(uint32_t now, bool live) {
    uint32_t gap = now - lastErrorTick;
    lastErrorTick = now;
    errorCount = (gap <= kErrorWindowMs ? errorCount : 0) + 1;
    return live && errorCount > kForcedAfterErrors && failureCount < maxFailures;
  }
  bool finiteInputGaveUp() const { return errorCount >= kFiniteInputErrorLimit; }
  void packetRead() {
    failureCount = 0;
    errorCount = 0;
    endRetryCount = 0;
  }
  void reconnected(uint32_t now) {
    errorCount = 0;
    failureCount = 0;
    endRetryCount = 0;
    reconnectTick = now != 0 ? now : 1;
  }
  // The end of the input at `now`: the pause before reopening it, 0 when the input had
  // played a while (or since its first open). Early ends in a row back off as failures do.
  int reopenPauseMs(uint32_t now) {
    if (reconnectTick == 0) return 0;
    bool early = now - reconnectTick < kEarlyEndMs;
    reconnectTick = 0;
    earlyEnds = early ? earlyEnds + 1 : 0;
    return early ? endBackoffMs(earlyEnds) : 0;
  }
  // Pause after the n-th failed attempt: 400, 800, then 1500 ms after read errors ...
  static int errorBackoffMs(int failures) { return backoff(200, failures, 3); }
  // ... and 200, 400, 800, then 1500 ms after the end of a stream.
  static int endBackoffMs(int failures) { return backoff(100, failures, 4); }

 private:
  static int backoff(int base, int failures, int maxShift) {
    int shift = failures < maxShift ? failures : maxShift;
    int ms = base << (shift < 0 ? 0 : shift);
    return ms < 1500 ? ms : 1500;
  }
};

}  // namespace vell
