// Quit requests from the system (SIGTERM, SIGINT) and how the message loop takes them.
#pragma once

namespace vell {

// SIGTERM and SIGINT. While the message loop runs they become a Quit event (the window's
// close path with its saves); at any other moment — start-up, a failure box, the final
// clean-up — or when one is not taken within a second, they end the process as by default.
void installQuitSignals();
// The message loop tells whether it is running (and so takes the signals as Quit events).
void setQuitSignalsToLoop(bool loopRunning);
// True once per signal that arrived while the loop was running.
bool takeQuitSignal();

}  // namespace vell
