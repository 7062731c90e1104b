// Windows: writing to the standard output or the console the program was started from.
#include "platform/Console.h"

#include <windows.h>

#include "platform/win32/WinText.h"

namespace vell {

void writeStdout(const std::string& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  // A GUI program started from a console has no standard output unless it was redirected.
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
    out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD mode, written;
  if (GetConsoleMode(out, &mode)) {
    std::wstring wide = win::widen(text);
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  for (size_t done = 0; done < text.size(); done += written)
    if (!WriteFile(out, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) || written == 0)
      break;
}

}  // namespace vell
