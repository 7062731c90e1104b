// Windows: the argument vector from CommandLineToArgvW.
#include "support/WindowsArgv.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/WinText.h"

namespace vell::test {

bool windowsArgv(const std::string& commandLine, std::vector<std::string>& out) {
  out.clear();
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(win::widen(commandLine).c_str(), &count);
  if (!args) return false;
  for (int i = 0; i < count; ++i) out.push_back(win::narrow(args[i]));
  LocalFree(args);
  return true;
}

}  // namespace vell::test
