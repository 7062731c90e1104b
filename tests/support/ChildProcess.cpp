#include "support/ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace vell::test {

bool runAndKill(const std::function<void(const ReadyFn& ready)>& body, int delayMicros) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    close(fds[0]);
    int out = fds[1];
    body([out] {
      char c = 'r';
      if (write(out, &c, 1) != 1) _exit(3);
    });
    _exit(0);
  }
  close(fds[1]);
  struct pollfd p = {fds[0], POLLIN, 0};
  if (poll(&p, 1, 10000) == 1) {
    char c;
    (void)!read(fds[0], &c, 1);
  }
  close(fds[0]);
  usleep(static_cast<useconds_t>(delayMicros));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

SaveKiller::SaveKiller(std::function<void()> saveA, std::function<void()> saveB)
    : saveA_(std::move(saveA)), saveB_(std::move(saveB)) {
  saveA_();  // warm the file and the page cache first
  auto t0 = std::chrono::steady_clock::now();
  saveA_();
  saveMicros_ = static_cast<int>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count());
}

void SaveKiller::killRound(int round) {
  runAndKill([this](const ReadyFn& ready) {
    saveA_();
    ready();
    for (;;) {
      saveB_();
      saveA_();
    }
  }, saveMicros_ * (round % 13) / 6);
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
