// The Windows program behind support/FakeTool.h: copied as "<name>.exe" beside "<name>.sh", it
// runs that script with the host's shell under wine, with the arguments it was given, and
// passes on the script's standard output, standard error and exit code as they come.
//
// Wine starts a host program but gives it none of our pipes and no handle to wait on, so the
// script's streams come over in files of a host folder, a piece at a time, each taken (removed)
// before the next is written: a script that writes without end is held up as by a full pipe.
// Its status comes last. Nor does a job reach host processes: the shell watches this program
// and ends its whole process group once it is gone, however it ended.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ProcessQuote.h"
#include "platform/win32/WinText.h"

namespace {

using vell::win::narrow;
using vell::win::widen;

// $1 this program's Linux process id, $2 the host folder for the files, $3 the script.
constexpr const char* kRunner = R"(shim=$1 work=$2 body=$3
shift 3
(
  while state=$(sed 's/.*) //' /proc/$shim/stat 2>/dev/null) && [ "${state%% *}" != Z ]; do sleep 0.05; done
  rm -rf "$work"
  kill -9 0
) </dev/null >/dev/null 2>&1 &
# Standard input in pieces "$1.0", "$1.1", ... as it comes, each once the last was taken.
pieces() {
  i=0
  while dd of="$work/$1.$i.part" bs=65536 count=1 2>/dev/null && [ -s "$work/$1.$i.part" ]; do
    mv "$work/$1.$i.part" "$work/$1.$i"
    while [ -e "$work/$1.$i" ]; do sleep 0.01; done
    i=$((i + 1))
  done
}
{ { /bin/sh "$body" "$@" </dev/null 2>&1 >&3 3>&-; echo $? >"$work/code"; } | pieces err; } 3>&1 | pieces out
mv "$work/code" "$work/status"
)";

// Under wine this program is a Linux process too; the shell watches it by this id.
long long linuxProcessId() {
  long long id;
  asm volatile("syscall" : "=a"(id) : "a"(39LL) : "rcx", "r11", "memory");  // getpid
  return id;
}

std::string unixPath(const std::wstring& path) {
  using Convert = char*(CDECL*)(LPCWSTR);
  auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = convert ? convert(path.c_str()) : nullptr;
  std::string result = unix ? unix : "";
  if (unix) HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

// Passes on the next piece of `stream` when it is there; false when it is not.
bool take(const std::wstring& work, const wchar_t* stream, int& next, HANDLE to) {
  std::wstring path = work + L"\\" + stream + L"." + std::to_wstring(next);
  HANDLE from = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (from == INVALID_HANDLE_VALUE) return false;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(from, buffer, sizeof buffer, &n, nullptr) && n > 0) {
    for (DWORD done = 0, w = 0; done < n; done += w)
      if (!WriteFile(to, buffer + done, n - done, &w, nullptr)) ExitProcess(1);  // nobody reads us any more
  }
  CloseHandle(from);
  DeleteFileW(path.c_str());
  ++next;
  return true;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  std::string script = unixPath(self.substr(0, self.size() - 4) + L".sh");
  long long pid = linuxProcessId();
  std::string work = "/tmp/vell-tool-" + std::to_string(pid);
  std::wstring windowsWork = widen("Z:" + work);
  if (script.empty() || !CreateDirectoryW(windowsWork.c_str(), nullptr)) {
    std::fprintf(stderr, "fake tool: no host shell (not under wine?)\n");
    return 127;
  }

  // setsid: the script leads a process group of its own, which the watcher ends.
  std::vector<std::string> args = {"/usr/bin/setsid", "/bin/sh", "-c", kRunner, "sh", std::to_string(pid), work, script};
  for (int i = 1; i < argc; ++i) args.push_back(narrow(argv[i]));
  std::wstring line = widen(vell::quoteWindowsCommandLine(args));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(widen(args[0]).c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &info)) {
    std::fprintf(stderr, "fake tool: the host shell did not start\n");
    return 127;
  }
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);

  HANDLE stdOut = GetStdHandle(STD_OUTPUT_HANDLE), stdErr = GetStdHandle(STD_ERROR_HANDLE);
  int nextOut = 0, nextErr = 0;
  for (;;) {
    // The status comes once every piece was taken.
    HANDLE status = CreateFileW((windowsWork + L"\\status").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (status != INVALID_HANDLE_VALUE) {
      char text[16] = {};
      DWORD n = 0;
      ReadFile(status, text, sizeof text - 1, &n, nullptr);
      CloseHandle(status);
      return std::atoi(text);
    }
    bool moved = take(windowsWork, L"out", nextOut, stdOut);
    moved = take(windowsWork, L"err", nextErr, stdErr) || moved;
    if (!moved) Sleep(5);
  }
}
