#pragma once
#include <functional>

namespace vell::test {

// Whether a test can ask its own process to quit as the system would (SIGTERM). Not on Windows:
// the console's break event reaches every process of the console (CTest too), and a program
// under wine has no console to send it to.
bool canRaiseQuitRequest();
void raiseQuitRequest();

// Runs `child` in a process of its own, which then holds still for five seconds; once it has
// given its one-letter answer the process is asked to quit. `ended` tells whether that request
// ended it. False where a process cannot be split off so (Windows): the caller skips.
bool quitChildProcess(const std::function<char()>& child, char& answer, bool& ended);

}  // namespace vell::test
