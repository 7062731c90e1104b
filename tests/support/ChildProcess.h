#pragma once
#include <functional>

namespace vell::test {

// Runs `body` in a forked child and kills it with SIGKILL after `delayMicros`, the way a
// crash or a killed process stops a save halfway. True when the child was still running.
bool runAndKill(const std::function<void()>& body, int delayMicros);

// Runs `body` in a forked child whose files cannot grow past `maxBytes`: writes beyond it
// fail as on a full disk. Returns the child's exit code, or -1 when it did not exit.
int runWithFileSizeLimit(const std::function<int()>& body, long maxBytes);

}  // namespace vell::test
