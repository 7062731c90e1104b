#include "support/Env.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>

#include "platform/win32/WinText.h"

namespace vell::test {

// Both copies: the C runtime's (getenv) and the process's (GetEnvironmentVariableW, children).
void setEnv(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
  SetEnvironmentVariableW(win::widen(name).c_str(), win::widen(value).c_str());
}

void unsetEnv(const std::string& name) {
  _putenv_s(name.c_str(), "");
  SetEnvironmentVariableW(win::widen(name).c_str(), nullptr);
}

bool setHttpProxy(const std::string&) { return false; }

// The known folder follows the profile folder where its path is written with %USERPROFILE%.
bool setPicturesFolder(const std::string& home) {
  std::string profile = home;
  std::replace(profile.begin(), profile.end(), '/', '\\');
  setEnv("USERPROFILE", profile);
  PWSTR path = nullptr;
  bool moved = SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_DONT_VERIFY, nullptr, &path)) &&
               win::narrow(path) == profile + "\\Pictures";
  CoTaskMemFree(path);
  return moved;
}

}  // namespace vell::test
