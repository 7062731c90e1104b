#pragma once
#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace vell {

struct ProcessLimits {
  // The child's output is cut here and the child ended: a tool that writes forever must
  // not hold the caller for ever.
  size_t maxOutputBytes = 4 * 1024 * 1024;
  // How long to wait for the exit once the child closed its output.
  int exitWaitMs = 15000;
  // Overall bound on the child's life.
  int totalTimeoutMs = 120000;
  // The child runs in a process group of its own, and ending it ends the whole group: a
  // script that started helpers leaves none behind.
  bool ownProcessGroup = false;
};

struct ProcessResult {
  bool started = false;
  bool exited = false;     // ended by itself (not killed)
  int exitCode = -1;
  bool killed = false;     // cancelled, over a limit or too slow
  std::string output;      // standard output and standard error, interleaved
};

// Runs `executable` with `args` as its argument vector (no shell, nothing is re-parsed),
// standard output and standard error on one pipe and no standard input. `cancel`, when it
// turns true, ends the child at once.
ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& args,
                         const ProcessLimits& limits = {}, const std::atomic<bool>* cancel = nullptr);

// An executable file of that name in one of the ':'-separated directories; empty when none.
std::string findOnSearchPath(const std::string& name, const std::string& searchPath);
// The process's own search path (PATH).
std::string processSearchPath();
bool isExecutableFile(const std::string& path);

}  // namespace vell
