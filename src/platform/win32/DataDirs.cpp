// Windows: the folders for settings and data under %APPDATA%.
#include "platform/DataDirs.h"

#include <windows.h>

#include <list>
#include <mutex>

#include "platform/Files.h"
#include "platform/win32/WinText.h"

namespace vell {

namespace {

// "C:\..." or "\\server\...": a relative value would follow the working directory.
bool isAbsolute(const char* path) {
  if (!path) return false;
  std::string_view p = path;
  bool drive = p.size() >= 3 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':' &&
               (p[2] == '\\' || p[2] == '/');
  return drive || (p.size() >= 3 && (p[0] == '\\' || p[0] == '/') && p[0] == p[1]);
}

// The process environment in UTF-8 (the narrow C runtime would give the ANSI code page).
// The values stay valid for the life of the process.
const char* environmentValue(const char* name) {
  static std::mutex lock;
  static std::list<std::string> values;
  std::wstring wideName = win::widen(name);
  DWORD n = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (n == 0) return nullptr;
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
  value.resize(n);
  std::lock_guard<std::mutex> guard(lock);
  return values.emplace_back(win::narrow(value)).c_str();
}

}  // namespace

DataPaths chooseDataPaths(const std::string& programDir, const EnvLookup& env) {
  // A settings file beside the program marks a portable copy, except in a build tree, where
  // it is only what an earlier run left behind.
  bool buildTree = fileExists(programDir + "\\CMakeCache.txt");
  if (fileExists(programDir + "\\portable") || (!buildTree && fileExists(programDir + "\\vell_player.ini")))
    return DataPaths::inOneFolder(programDir);

  std::string roaming;
  if (const char* appData = env("APPDATA"); isAbsolute(appData)) {
    roaming = appData;
  } else if (const char* profile = env("USERPROFILE"); isAbsolute(profile)) {
    roaming = std::string(profile) + "\\AppData\\Roaming";
  }
  while (!roaming.empty() && (roaming.back() == '\\' || roaming.back() == '/')) roaming.pop_back();
  DataPaths p;
  // Without a profile there is nowhere else: the program's folder, but still not portable.
  p.configDir = p.dataDir = roaming.empty() ? programDir : roaming + "\\Vell Player";
  p.builtinDir = programDir;
  return p;
}

DataPaths dataPathsForProgram() { return chooseDataPaths(executableDir(), environmentValue); }

}  // namespace vell
