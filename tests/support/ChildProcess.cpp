#include "support/ChildProcess.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vell::test {

bool runAndKill(const std::function<void()>& body, int delayMicros) {
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    body();
    _exit(0);
  }
  usleep(static_cast<useconds_t>(delayMicros));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

int runWithFileSizeLimit(const std::function<int()>& body, long maxBytes) {
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    // Without this the first write past the limit would kill the child instead of failing.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(maxBytes);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(100);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vell::test
