// Linux: SIGTERM as the quit request, and a child told to quit.
#include "support/QuitRequest.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vell::test {

bool canRaiseQuitRequest() { return true; }

void raiseQuitRequest() { raise(SIGTERM); }

std::vector<QuitRequest> quitRequests() {
  return {{"SIGTERM", [](NativeWindow*) { raiseQuitRequest(); }}};
}

bool endSession(NativeWindow*, bool cancelled) {
  if (!cancelled) raiseQuitRequest();
  return true;
}

bool sessionEndWaitsForTheClose() { return false; }

bool quitChildProcess(const std::function<char()>& child, char& answer, bool& ended) {
  int ready[2];
  if (pipe(ready) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    char c = child();
    if (write(ready[1], &c, 1) != 1) _exit(3);
    for (int i = 0; i < 50; ++i) usleep(100000);
    _exit(0);
  }
  close(ready[1]);
  answer = 0;
  if (read(ready[0], &answer, 1) != 1) answer = 0;
  close(ready[0]);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ended = WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
  return true;
}

}  // namespace vell::test
