#include "platform/QuitSignal.h"

#include <signal.h>

#include <atomic>

namespace vell {

namespace {

// A signal handler can only reach plain process-wide flags.
std::atomic<bool> loopRunning{false};
std::atomic<int> pendingSignal{0};

void onQuitSignal(int sig) {
  if (!loopRunning.load() || pendingSignal.load() != 0) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  pendingSignal.store(sig);
}

}  // namespace

void installQuitSignals() {
  struct sigaction sa {};
  sa.sa_handler = onQuitSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

void setQuitSignalsToLoop(bool running) { loopRunning.store(running); }

bool takeQuitSignal() { return pendingSignal.exchange(0) != 0; }

}  // namespace vell
