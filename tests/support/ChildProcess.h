#pragma once
#include <functional>

namespace vell::test {

// Runs `body` in a forked child and kills it with SIGKILL, the way a crash or a killed
// process stops a save halfway. `body` calls the function it is given once it is running
// its work (after a first save, say); the kill comes `delayMicros` after that call (or after
// 10 s when it never comes). True when the child was still running.
using ReadyFn = std::function<void()>;
bool runAndKill(const std::function<void(const ReadyFn& ready)>& body, int delayMicros);

// Runs `body` in a forked child whose files cannot grow past `maxBytes`: writes beyond it
// fail as on a full disk. Returns the child's exit code, or -1 when it did not exit.
int runWithFileSizeLimit(const std::function<int()>& body, long maxBytes);

}  // namespace vell::test
