// Windows: the log's lines to the debugger and to stderr when there is one.
#include <windows.h>

#include <string>

#include "platform/Log.h"
#include "platform/win32/WinText.h"

namespace vell::detail {

void writeLogLine(const std::string& line);

void writeLogLine(const std::string& line) {
  // A program without a console still shows up in a debugger or DebugView.
  OutputDebugStringA(line.c_str());
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
  DWORD mode;
  if (GetConsoleMode(err, &mode)) {
    // A console shows UTF-16 whatever its code page.
    std::wstring wide = win::widen(line);
    DWORD written;
    WriteConsoleW(err, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  // A pipe or file gets the same bytes as on Linux.
  for (size_t done = 0; done < line.size();) {
    DWORD written = 0;
    if (!WriteFile(err, line.data() + done, static_cast<DWORD>(line.size() - done), &written, nullptr) || written == 0)
      break;
    done += written;
  }
}

}  // namespace vell::detail
