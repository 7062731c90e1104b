// Linux: a full disk made by a file size limit in a forked child, and the saving child.
#include "support/ChildProcess.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vell::test::crash {

bool canFillDisk() { return true; }

// In a forked child whose files cannot grow past `maxBytes`: writes beyond it fail as on a
// full disk.
int saveOnFullDisk(const Save& save, long maxBytes) {
  pid_t pid = fork();
  if (pid == 0) {
    // Without this the first write past the limit would kill the child instead of failing.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {static_cast<rlim_t>(maxBytes), static_cast<rlim_t>(maxBytes)};
    _exit(setrlimit(RLIMIT_FSIZE, &limit) == 0 ? (save(true) ? 1 : 0) : 100);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

SavingChild::SavingChild(const std::string& path, const Save& save, const std::string& a, const std::string& b)
    : a_(a), b_(b) {
  int fds[2];
  pid_t pid = pipe(fds) == 0 ? fork() : -1;
  if (pid < 0) return;
  char c = 'r';
  if (pid == 0) {
    if (!save(false) || write(fds[1], &c, 1) != 1) _exit(3);
    for (;;) save(true), save(false);
  }
  process_ = pid;
  close(fds[1]);
  if (read(fds[0], &c, 1) == 1) path_ = path;  // else it died
  close(fds[0]);
}

SavingChild::~SavingChild() { kill(); }

void SavingChild::kill() {
  if (process_ == 0) return;
  ::kill(static_cast<pid_t>(process_), SIGKILL);
  waitpid(static_cast<pid_t>(process_), nullptr, 0);
  process_ = 0;
}

void serveAsSavingChild(const std::string&, const Save&) {}

}  // namespace vell::test::crash
