// Windows test support: the running test started again in a child process that answers on a pipe.
#include "support/win32/TestChild.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/ProcessQuote.h"
#include "platform/win32/WinText.h"

namespace vell::test {

bool startTestChild(const wchar_t* mark, const std::wstring& extra, TestChild& child) {
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
  std::wstring value = std::to_wstring(reinterpret_cast<uintptr_t>(theirs));
  if (!extra.empty()) value += L" " + extra;
  SetEnvironmentVariableW(mark, value.c_str());
  BOOL started = CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                &startup, &info);
  SetEnvironmentVariableW(mark, nullptr);
  CloseHandle(theirs);
  CloseHandle(quiet);
  if (!started) {
    CloseHandle(ours);
    return false;
  }
  CloseHandle(info.hThread);
  child.process = info.hProcess;
  child.pipe = ours;
  return true;
}

}  // namespace vell::test
