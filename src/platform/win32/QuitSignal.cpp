// Windows: console and session-end events handed to the message loop, or ending the process.
#include "platform/QuitSignal.h"

#include <windows.h>

#include <atomic>

namespace vell {

namespace {

std::atomic<bool> loopRunning{false};
std::atomic<DWORD> loopThread{0};    // woken when an event arrives
std::atomic<DWORD> pendingEvent{0};  // the console event + 1; 0: none

// The system runs this on a thread of its own for each console event. Returning FALSE passes
// the event on to the default handler, which ends the process.
BOOL WINAPI onConsoleEvent(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  DWORD none = 0;
  if (!loopRunning.load() || !pendingEvent.compare_exchange_strong(none, type + 1)) return FALSE;
  if (DWORD thread = loopThread.load()) PostThreadMessageW(thread, WM_NULL, 0, 0);
  // A loop iteration takes milliseconds: an event still not taken a second later means
  // something modal holds the window thread, and the process ends anyway.
  for (int i = 0; i < 100 && pendingEvent.load() != 0; ++i) Sleep(10);
  if (pendingEvent.exchange(0) != 0) return FALSE;
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) return TRUE;
  // After a close, log-off or shut-down event the system ends the process as soon as this
  // returns: hold it while the window's close path saves and the program ends by itself.
  Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void installQuitSignals() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

void setQuitSignalsToLoop(bool running) {
  if (running) loopThread.store(GetCurrentThreadId());
  loopRunning.store(running);
}

bool takeQuitSignal() { return pendingEvent.exchange(0) != 0; }

}  // namespace vell
