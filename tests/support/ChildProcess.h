#pragma once
#include <functional>
#include <utility>

namespace vell::test {

// Runs `body` in a forked child and kills it with SIGKILL, the way a crash or a killed
// process stops a save halfway. `body` calls the function it is given once it is running
// its work (after a first save, say); the kill comes `delayMicros` after that call (or after
// 10 s when it never comes). True when the child was still running.
using ReadyFn = std::function<void()>;
bool runAndKill(const std::function<void(const ReadyFn& ready)>& body, int delayMicros);

// Kills saves at varied moments: a forked child saves A once, then B and A alternately
// for ever, and is killed at a moment spread over the length of one save by `round`
// (13 rounds cover it). The file left behind must be A or B whole.
class SaveKiller {
 public:
  SaveKiller(std::function<void()> saveA, std::function<void()> saveB);
  void killRound(int round);

 private:
  std::function<void()> saveA_, saveB_;
  int saveMicros_ = 0;
};

// Runs `body` in a forked child whose files cannot grow past `maxBytes`: writes beyond it
// fail as on a full disk. Returns the child's exit code, or -1 when it did not exit.
int runWithFileSizeLimit(const std::function<int()>& body, long maxBytes);

}  // namespace vell::test
