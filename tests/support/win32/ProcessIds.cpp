// Windows: ids of an ended process, a running one and this process.
#include "support/ProcessIds.h"

#include <windows.h>
#include <tlhelp32.h>

#include <string>

namespace vell::test {

namespace {

bool running(DWORD pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!h) return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to open
  bool alive = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return alive;
}

}  // namespace

std::string endedProcessId() {
  // This test program again, listing its tests and leaving at once.
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  std::wstring commandLine = L"\"" + self + L"\" --gtest_list_tests";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                      &startup, &info))
    return "0";
  WaitForSingleObject(info.hProcess, INFINITE);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return std::to_string(info.dwProcessId);
}

std::string runningProcessId() {
  DWORD own = GetCurrentProcessId(), parent = 0, other = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == own) parent = entry.th32ParentProcessID;
    else if (!other && entry.th32ProcessID != 0 && running(entry.th32ProcessID)) other = entry.th32ProcessID;
  }
  CloseHandle(snapshot);
  // The parent's id may already belong to nobody (or to someone else) once it ended.
  return std::to_string(parent != 0 && running(parent) ? parent : other);
}

std::string ownProcessId() { return std::to_string(GetCurrentProcessId()); }

}  // namespace vell::test
