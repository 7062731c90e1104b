// Running external tools: limits, results, and finding a tool on the search path.
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
};

struct ProcessResult {
  bool started = false;
  bool exited = false;     // ended by itself (not killed)
  int exitCode = -1;
  bool killed = false;     // cancelled, over a limit or too slow
  std::string output;      // standard output
  std::string errors;      // standard error (its first `maxOutputBytes` only)
};

// Runs `executable` with `args` as its argument vector (no shell, nothing is re-parsed),
// standard output and standard error on pipes of their own and no standard input. The
// child leads a process group of its own; `cancel`, when it turns true, ends that whole
// group at once (a tool that started helpers of its own leaves none behind).
ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& args,
                         const ProcessLimits& limits = {}, const std::atomic<bool>* cancel = nullptr);

// An executable file of that name in one of the search path's directories (':'-separated;
// ';' on Windows); empty when none.
std::string findOnSearchPath(const std::string& name, const std::string& searchPath);
// The process's own search path (PATH).
std::string processSearchPath();
bool isExecutableFile(const std::string& path);

// The full path of the tool `baseName` (".exe" appended on Windows): beside the running
// program, else on the search path; empty when there is none.
std::string findTool(const std::string& baseName);
// The same, beside a program in `programDir` and on `searchPath`.
std::string findTool(const std::string& baseName, const std::string& programDir, const std::string& searchPath);

}  // namespace vell
