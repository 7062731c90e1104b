// Linux: tools run with posix_spawn, their pipes, time limits and process groups.
#include "platform/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/Files.h"

extern char** environ;

namespace vell {

namespace {

using Clock = std::chrono::steady_clock;

int msSince(Clock::time_point t) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// The child leads its own process group: everything it started goes with it.
void killAndReap(pid_t pid) {
  kill(-pid, SIGKILL);
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

std::string findTool(const std::string& baseName, const std::string& programDir, const std::string& searchPath) {
  std::string beside = programDir + "/" + baseName;
  if (isExecutableFile(beside)) return beside;
  return findOnSearchPath(baseName, searchPath);
}

std::string findTool(const std::string& baseName) { return findTool(baseName, executableDir(), processSearchPath()); }

ProcessResult runProcess(const std::string& executable, const std::vector<std::string>& args,
                         const ProcessLimits& limits, const std::atomic<bool>* cancel) {
  ProcessResult result;
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(executable.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  int rc = posix_spawn(&pid, executable.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(out[1]);
  close(err[1]);
  if (rc != 0) {
    close(out[0]);
    close(err[0]);
    return result;
  }
  result.started = true;

  auto start = Clock::now();
  char buffer[4096];
  pollfd p[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.output, &result.errors};
  // Until standard output closes; standard error is read meanwhile so the child never
  // blocks on a full pipe.
  while (p[0].fd >= 0) {
    if ((cancel && cancel->load()) || msSince(start) > limits.totalTimeoutMs) {
      result.killed = true;
      break;
    }
    int r = poll(p, 2, 50);
    if (r < 0 && errno != EINTR) break;
    if (r <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (p[i].fd < 0 || !(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(p[i].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        close(p[i].fd);
        p[i].fd = -1;  // poll skips negative descriptors
        continue;
      }
      std::string& sink = *sinks[i];
      if (i == 1) {
        if (sink.size() < limits.maxOutputBytes)
          sink.append(buffer, std::min(static_cast<size_t>(n), limits.maxOutputBytes - sink.size()));
        continue;
      }
      sink.append(buffer, static_cast<size_t>(n));
      if (sink.size() > limits.maxOutputBytes) result.killed = true;
    }
    if (result.killed) break;
  }
  // What the child wrote to standard error just before closing its output.
  while (!result.killed && p[1].fd >= 0 && poll(&p[1], 1, 0) > 0 && result.errors.size() < limits.maxOutputBytes) {
    ssize_t n = read(p[1].fd, buffer, sizeof buffer);
    if (n <= 0) break;
    result.errors.append(buffer, std::min(static_cast<size_t>(n), limits.maxOutputBytes - result.errors.size()));
  }
  for (auto& f : p)
    if (f.fd >= 0) close(f.fd);
  if (result.killed) {
    killAndReap(pid);
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
      killAndReap(pid);
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace vell
