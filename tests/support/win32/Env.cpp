#include "support/Env.h"

#include <windows.h>

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

}  // namespace vell::test
