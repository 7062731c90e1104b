// Windows: Ctrl+C, the session's end, and a child told to quit.
#include "support/QuitRequest.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "platform/ProcessQuote.h"
#include "platform/win32/WinText.h"
#include "support/win32/TestChild.h"

namespace vell::test {

namespace {

// Set in the environment of the child quitChildProcess starts: "PIPE CALL", its end of the
// pipe that takes the answer and which of the test's calls it serves.
constexpr const wchar_t* kChildMark = L"VELL_TEST_QUIT_CHILD";
// A child that held still to the end exits with this.
constexpr DWORD kHeldOn = 3;

int& childCalls() {
  static int calls = 0;
  return calls;
}

}  // namespace

bool canRaiseQuitRequest() {
  DWORD processes[2];
  if (GetConsoleWindow() && GetConsoleProcessList(processes, 2) == 1) return true;
  // A console of our own (none under wine, the test runner's on Windows): the output keeps
  // going where it went.
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE),
         err = GetStdHandle(STD_ERROR_HANDLE);
  FreeConsole();
  bool ok = AllocConsole();
  if (ok) ShowWindow(GetConsoleWindow(), SW_HIDE);
  SetStdHandle(STD_INPUT_HANDLE, in);
  SetStdHandle(STD_OUTPUT_HANDLE, out);
  SetStdHandle(STD_ERROR_HANDLE, err);
  return ok;
}

// Ctrl+C rather than Ctrl+Break: wine delivers only the former to a whole console (group 0).
void raiseQuitRequest() { GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0); }

std::vector<QuitRequest> quitRequests() {
  return {{"Ctrl+C", [](NativeWindow*) { raiseQuitRequest(); }},
          {"the session's end", [](NativeWindow* window) { endSession(window); }}};
}

bool endSession(NativeWindow* window, bool cancelled) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  LRESULT agreed = SendMessageW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  SendMessageW(hwnd, WM_ENDSESSION, cancelled ? FALSE : TRUE, ENDSESSION_LOGOFF);
  return agreed != 0;
}

bool sessionEndWaitsForTheClose() { return true; }

// No fork: the child is this test program again, running only the current test, whose call
// of the same number serves as the child; it has a console of its own (and no window) for the
// request.
bool quitChildProcess(const std::function<char()>& childPart, char& answer, bool& ended) {
  const int call = childCalls()++;
  wchar_t mark[64];
  DWORD length = GetEnvironmentVariableW(kChildMark, mark, 64);
  if (length > 0 && length < 64) {
    wchar_t* rest = nullptr;
    HANDLE parent = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(mark, &rest, 10)));
    if (std::wcstol(rest, nullptr, 10) != call) {  // an earlier call, the parent's: passed over
      answer = 'q';
      ended = true;
      return true;
    }
    char c = childPart();
    DWORD written = 0;
    WriteFile(parent, &c, 1, &written, nullptr);
    raiseQuitRequest();
    Sleep(5000);
    ExitProcess(kHeldOn);
  }

  TestChild started;
  if (!startTestChild(kChildMark, std::to_wstring(call), started)) return false;
  // Wine tells no end of the pipe while the child lives: polled until the answer or its end.
  answer = 0;
  for (bool gone = false; !gone;) {
    DWORD waiting = 0, n = 0;
    if (!PeekNamedPipe(started.pipe, nullptr, 0, nullptr, &waiting, nullptr)) break;
    if (waiting > 0) {
      ReadFile(started.pipe, &answer, 1, &n, nullptr);
      break;
    }
    gone = WaitForSingleObject(started.process, 10) == WAIT_OBJECT_0;
  }
  CloseHandle(started.pipe);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(started.process, 15000) != WAIT_OBJECT_0) TerminateProcess(started.process, kHeldOn);
  GetExitCodeProcess(started.process, &code);
  CloseHandle(started.process);
  // The default handler ends it: with STATUS_CONTROL_C_EXIT on Windows, with 0 under wine.
  ended = code == static_cast<DWORD>(STATUS_CONTROL_C_EXIT) || code == 0;
  return true;
}

}  // namespace vell::test
