// Linux: ids of an ended process, the parent and this process.
#include "support/ProcessIds.h"

#include <sys/wait.h>
#include <unistd.h>

namespace vell::test {

std::string endedProcessId() {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return std::to_string(child);
}

std::string runningProcessId() { return std::to_string(getppid()); }

std::string ownProcessId() { return std::to_string(getpid()); }

}  // namespace vell::test
