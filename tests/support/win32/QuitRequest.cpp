// Windows: Ctrl+C, the session's end, and a child told to quit.
#include "support/QuitRequest.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "platform/ProcessQuote.h"
#include "platform/win32/WinText.h"

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
bool quitChildProcess(const std::function<char()>& child, char& answer, bool& ended) {
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
    char c = child();
    DWORD written = 0;
    WriteFile(parent, &c, 1, &written, nullptr);
    raiseQuitRequest();
    Sleep(5000);
    ExitProcess(kHeldOn);
  }

  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  std::wstring line = win::widen(quoteWindowsCommandLine(
      {win::narrow(self), std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name()}));
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE ours = nullptr, theirs = nullptr;
  if (!CreatePipe(&ours, &theirs, &inherit, 0)) return false;
  SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
  HANDLE quiet = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = quiet;
  PROCESS_INFORMATION info{};
  std::wstring value = std::to_wstring(reinterpret_cast<uintptr_t>(theirs)) + L" " + std::to_wstring(call);
  SetEnvironmentVariableW(kChildMark, value.c_str());
  BOOL started = CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                &startup, &info);
  SetEnvironmentVariableW(kChildMark, nullptr);
  CloseHandle(theirs);
  CloseHandle(quiet);
  if (!started) {
    CloseHandle(ours);
    return false;
  }
  CloseHandle(info.hThread);
  // Wine tells no end of the pipe while the child lives: polled until the answer or its end.
  answer = 0;
  for (bool gone = false; !gone;) {
    DWORD waiting = 0, n = 0;
    if (!PeekNamedPipe(ours, nullptr, 0, nullptr, &waiting, nullptr)) break;
    if (waiting > 0) {
      ReadFile(ours, &answer, 1, &n, nullptr);
      break;
    }
    gone = WaitForSingleObject(info.hProcess, 10) == WAIT_OBJECT_0;
  }
  CloseHandle(ours);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(info.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, kHeldOn);
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  // The default handler ends it: with STATUS_CONTROL_C_EXIT on Windows, with 0 under wine.
  ended = code == static_cast<DWORD>(STATUS_CONTROL_C_EXIT) || code == 0;
  return true;
}

}  // namespace vell::test
