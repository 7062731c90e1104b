// Test support: every way the system asks the program to quit.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace vell {
struct NativeWindow;
}

namespace vell::test {

// Asks this process to quit as the system would: SIGTERM on Linux; on Windows the console's
// Ctrl+C, which reaches every process of a console, so canRaiseQuitRequest first gives this
// process a console of its own (false when it cannot have one).
bool canRaiseQuitRequest();
void raiseQuitRequest();

// Every way the system asks the program of `window` to quit, each callable from any thread:
// SIGTERM (a session manager's too) on Linux; on Windows the console's Ctrl+C (after
// canRaiseQuitRequest) and the session's end, which returns once the window has run its close
// path.
struct QuitRequest {
  std::string name;
  std::function<void(NativeWindow* window)> raise;
};
std::vector<QuitRequest> quitRequests();

// The desktop session ends while `window` is the program's, or, `cancelled`, another program
// refuses to end and the session goes on. Windows: WM_QUERYENDSESSION, whose answer is
// returned, then WM_ENDSESSION. Linux: a session manager's SIGTERM (nothing when cancelled),
// taken by the program's loop; true.
bool endSession(NativeWindow* window, bool cancelled = false);
// Whether endSession returns only once the program's close path has run, as the process may
// be ended right after (Windows).
bool sessionEndWaitsForTheClose();

// Runs `child` in a process of its own; once it has given its one-letter answer, the process
// is asked to quit (Windows: a process with a console of its own, this test program run
// again, asks itself) and then holds still for five seconds. `ended` tells whether the
// request ended it. False when no such process could be made.
bool quitChildProcess(const std::function<char()>& child, char& answer, bool& ended);

}  // namespace vell::test
