// Linux: SIGTERM and SIGINT handed to the message loop, or ending the process.
#include "platform/QuitSignal.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace vell {

namespace {

// A signal handler can only reach plain process-wide flags.
std::atomic<bool> loopRunning{false};
std::atomic<int> pendingSignal{0};

void endBy(int sig) {
  signal(sig, SIG_DFL);
  raise(sig);
}

void onQuitSignal(int sig) {
  if (!loopRunning.load() || pendingSignal.load() != 0) {
    endBy(sig);
    return;
  }
  pendingSignal.store(sig);
  // A loop iteration takes milliseconds: a signal still not taken a second later means
  // something modal holds the window thread, and the process ends anyway.
  alarm(1);
}

void onAlarm(int) {
  int sig = pendingSignal.load();
  if (sig != 0) endBy(sig);
}

}  // namespace

void installQuitSignals() {
  struct sigaction sa {};
  sa.sa_handler = onQuitSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sa.sa_handler = onAlarm;
  sigaction(SIGALRM, &sa, nullptr);
}

void setQuitSignalsToLoop(bool running) { loopRunning.store(running); }

bool takeQuitSignal() {
  if (pendingSignal.exchange(0) == 0) return false;
  alarm(0);  // taken in time
  return true;
}

}  // namespace vell
