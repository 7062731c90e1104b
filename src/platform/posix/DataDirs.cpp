#include "platform/DataDirs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/Files.h"

namespace vell {

namespace {

std::string envOr(const EnvLookup& env, const char* name, const std::string& fallback) {
  const char* v = env(name);
  // Relative values are invalid by the XDG rules and would follow the working directory.
  if (v && v[0] == '/') return v;
  return fallback;
}

// Moves `from` to `to`, across file systems too (copy, then remove).
bool moveFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::rename(from, to, ec);
  if (!ec) return true;
  std::string bytes;
  if (!readFile(from, bytes) || !writeFileAtomic(to, bytes)) return false;
  return removeFile(from);
}

}  // namespace

DataPaths DataPaths::inOneFolder(const std::string& dir) {
  DataPaths p;
  p.configDir = p.dataDir = p.builtinDir = dir;
  p.portable = true;
  return p;
}

const std::vector<UserFile>& userFiles() {
  static const std::vector<UserFile> files = {
      {"vell_player.ini", true},
      {"playlist.dat", true},
      {"podcast_history.ini", false},
      {"streams_user.ini", false},
  };
  return files;
}

const std::string& DataPaths::folderFor(const std::string& name) const {
  for (const auto& f : userFiles())
    if (name == f.name) return f.config ? configDir : dataDir;
  if (name == "streams.ini") return builtinDir;
  return dataDir;
}

DataPaths chooseDataPaths(const std::string& programDir, const EnvLookup& env) {
  std::string shared = parentPath(programDir) + "/share/vell-player";
  std::string builtin = programDir;
  if (!fileExists(programDir + "/streams.ini") && fileExists(shared + "/streams.ini")) builtin = shared;

  // A settings file beside the program marks a portable copy, except in a build tree, where
  // it is only what an earlier run left behind.
  bool buildTree = fileExists(programDir + "/CMakeCache.txt");
  if (fileExists(programDir + "/portable") || (!buildTree && fileExists(programDir + "/vell_player.ini"))) {
    DataPaths p = DataPaths::inOneFolder(programDir);
    p.builtinDir = builtin;
    return p;
  }
  std::string home = envOr(env, "HOME", "");
  if (home.empty()) home = "/tmp";
  DataPaths p;
  p.configDir = envOr(env, "XDG_CONFIG_HOME", home + "/.config") + "/vell-player";
  p.dataDir = envOr(env, "XDG_DATA_HOME", home + "/.local/share") + "/vell-player";
  p.builtinDir = builtin;
  return p;
}

DataPaths dataPathsForProgram() {
  return chooseDataPaths(executableDir(), [](const char* name) { return std::getenv(name); });
}

std::vector<std::string> prepareDataPaths(const std::string& programDir, const DataPaths& paths) {
  std::vector<std::string> moved;
  makeDirectories(paths.configDir);
  makeDirectories(paths.dataDir);
  if (paths.portable) return moved;
  for (const auto& f : userFiles()) {
    std::string from = programDir + "/" + f.name;
    if (!fileExists(from)) continue;
    std::string to = (f.config ? paths.configDir : paths.dataDir) + "/" + f.name;
    if (from == to) continue;
    if (!fileExists(to)) {
      if (moveFile(from, to)) moved.push_back(to);
      continue;
    }
    // Both exist: the new home keeps its file; the old one goes beside it, never deleted.
    std::string aside = to + ".old";
    for (int n = 1; fileExists(aside) && n < 1000; ++n) aside = to + ".old" + std::to_string(n);
    if (moveFile(from, aside)) moved.push_back(aside);
  }
  return moved;
}

}  // namespace vell
