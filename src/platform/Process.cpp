#include "platform/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace vell {

namespace {

using Clock = std::chrono::steady_clock;

int msSince(Clock::time_point t) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

void killAndReap(pid_t pid, bool group) {
  if (group) kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

bool isExecutableFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string processSearchPath() {
  const char* p = std::getenv("PATH");
  return p ? p : "";
}

std::string findOnSearchPath(const std::string& name, const std::string& searchPath) {
  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t end = searchPath.find(':', start);
    if (end == std::string::npos) end = searchPath.size();
    std::string dir = searchPath.substr(start, end - start);
    if (!dir.empty()) {
      std::string candidate = dir + "/" + name;
      if (isExecutableFile(candidate)) return candidate;
    }
    start = end + 1;
  }
  return {};
}

ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& args,
                         const ProcessLimits& limits, const std::atomic<bool>* cancel) {
  ProcessResult result;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return result;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(executable.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (limits.ownProcessGroup) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }

  pid_t pid = -1;
  int rc = posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return result;
  }
  result.started = true;

  auto start = Clock::now();
  char buffer[4096];
  bool open = true;
  while (open) {
    if ((cancel && cancel->load()) || msSince(start) > limits.totalTimeoutMs) {
      result.killed = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    int r = poll(&p, 1, 50);
    if (r < 0 && errno != EINTR) break;
    if (r <= 0) continue;
    ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      open = false;
      break;
    }
    result.output.append(buffer, static_cast<size_t>(n));
    if (result.output.size() > limits.maxOutputBytes) {
      result.killed = true;
      break;
    }
  }
  close(fds[0]);
  if (result.killed) {
    killAndReap(pid, limits.ownProcessGroup);
    return result;
  }

  // The output is closed; the child gets a bounded time to exit.
  auto closedAt = Clock::now();
  for (;;) {
    int status = 0;
    pid_t w = waitpid(pid, &status, WNOHANG);
    if (w == pid) {
      result.exited = WIFEXITED(status);
      result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return result;
    }
    if (w < 0 && errno != EINTR) return result;
    if ((cancel && cancel->load()) || msSince(closedAt) > limits.exitWaitMs) {
      result.killed = true;
      killAndReap(pid, limits.ownProcessGroup);
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace vell
