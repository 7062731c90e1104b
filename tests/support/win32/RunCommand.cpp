#include "platform/Process.h"
#include "support/Media.h"

namespace vell::test {

// Wine starts a host program given by its absolute path, so the host's shell and its ffmpeg
// make the test media for the Windows programs too.
int runCommand(const std::string& command, std::string* output) {
  ProcessLimits limits;
  limits.maxOutputBytes = 64 * 1024 * 1024;
  limits.totalTimeoutMs = 600000;
  ProcessResult r = runProcess("/bin/sh", {"-c", command + " 2>&1"}, limits);
  if (output) *output = r.output + r.errors;
  return r.exited ? r.exitCode : -1;
}

}  // namespace vell::test
