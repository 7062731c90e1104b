// Linux: the XDG folders for settings and data, and the installed catalogue.
#include "platform/DataDirs.h"

#include <cstdlib>

#include "platform/Files.h"

namespace vell {

namespace {

std::string envOr(const EnvLookup& env, const char* name, const std::string& fallback) {
  const char* v = env(name);
  // Relative values are invalid by the XDG rules and would follow the working directory.
  if (v && v[0] == '/') return v;
  return fallback;
}

}  // namespace

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

}  // namespace vell
