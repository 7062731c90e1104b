// Linux: files and folders, atomic saves and stale temporaries, the program's folder.
#include "platform/Files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace vell {

std::string executableDir() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  std::string dir = parentPath(path);
  return dir.empty() ? std::string("/") : dir;
}

bool fileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeDirectories(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return isDirectory(path);
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool readFileLimited(const std::string& path, size_t maxBytes, std::string& out) {
  out.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    if (out.size() + static_cast<size_t>(n) > maxBytes) {
      ok = false;
      break;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  if (!ok) out.clear();
  return ok;
}

bool readFile(const std::string& path, std::string& out) { return readFileLimited(path, SIZE_MAX, out); }

bool writeFileAtomic(const std::string& path, std::string_view data) {
  std::string dir = parentPath(path);
  std::string tmp = path + ".tmp" + std::to_string(getpid());
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const char* p = data.data();
  size_t left = data.size();
  bool ok = true;
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself durable.
  int dfd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

int removeStaleTemporaries(const std::string& directory, const std::vector<std::string>& names) {
  int removed = 0;
  for (const std::string& entry : listDirectory(directory)) {
    for (const std::string& name : names) {
      std::string prefix = name + ".tmp";
      if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0) continue;
      std::string digits = entry.substr(prefix.size());
      if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
      pid_t pid = static_cast<pid_t>(std::stol(digits));
      std::string path = directory + "/" + entry;
      struct stat st;
      if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      bool gone = pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH);
      bool old = std::time(nullptr) - st.st_mtime > 3600;  // the process id was reused
      if ((gone || pid == getpid() || old) && unlink(path.c_str()) == 0) ++removed;
    }
  }
  return removed;
}

std::vector<std::string> listDirectory(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(path, ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace vell
