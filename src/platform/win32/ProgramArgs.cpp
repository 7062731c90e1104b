// Windows: the program's arguments read from the wide command line.
#include "platform/ProgramArgs.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/WinText.h"

namespace vell {

std::vector<std::string> programArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(win::narrow(wide[i]));
  LocalFree(wide);
  return out;
}

}  // namespace vell
