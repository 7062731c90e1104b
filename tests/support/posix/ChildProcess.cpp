#include "support/ChildProcess.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "platform/Files.h"

namespace vell::test {

// Runs `body` in a forked child whose files cannot grow past `maxBytes`: writes beyond it
// fail as on a full disk. The child's exit code, or -1 when it did not exit.
static int runWithFileSizeLimit(const std::function<int()>& body, long maxBytes) {
  pid_t pid = fork();
  if (pid == 0) {
    // Without this the first write past the limit would kill the child instead of failing.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {static_cast<rlim_t>(maxBytes), static_cast<rlim_t>(maxBytes)};
    _exit(setrlimit(RLIMIT_FSIZE, &limit) == 0 ? body() : 100);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void expectCrashSafeSaves(const std::string& path, const std::function<bool(bool b)>& save, long diskLimit) {
  std::string dir = parentPath(path), name = path.substr(dir.size() + 1), a, b, now;
  EXPECT_TRUE(save(true) && readFile(path, b));
  EXPECT_TRUE(save(false));  // twice: the first warms the file and the page cache
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(save(false) && readFile(path, a));
  auto saveMicros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);

  EXPECT_EQ(runWithFileSizeLimit([&] { return save(true) ? 1 : 0; }, diskLimit), 0) << "the save reported success";
  EXPECT_TRUE(readFile(path, now) && now == a);
  EXPECT_EQ(listDirectory(dir), std::vector<std::string>{name});

  int interrupted = 0;  // kills that left a temporary beside the file: they landed inside a save
  for (int round = 0; round < 13; ++round) {
    int fds[2];
    pid_t pid = pipe(fds) == 0 ? fork() : -1;
    if (pid < 0) return ADD_FAILURE() << "no pipe or no fork";
    char c = 'r';
    if (pid == 0) {
      if (!save(false) || write(fds[1], &c, 1) != 1) _exit(3);
      for (;;) save(true), save(false);
    }
    close(fds[1]);
    (void)!read(fds[0], &c, 1);  // the child's first save is done, or it died
    close(fds[0]);
    if (round % 2 == 0) {
      usleep(static_cast<useconds_t>(saveMicros.count() * (round % 13) / 6));
    } else {  // wait for the temporary: this kill lands inside the write however the save's time is spent
      auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while (listDirectory(dir).size() < 2 && std::chrono::steady_clock::now() < end) usleep(100);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    for (const std::string& entry : listDirectory(dir)) {
      if (entry != name) interrupted += removeFile(dir + "/" + entry);
    }
    EXPECT_TRUE(readFile(path, now) && (now == a || now == b)) << "round " << round << ": " << now.size() << " bytes";
  }
  EXPECT_GE(interrupted, 3);
}

}  // namespace vell::test
