// Windows: a host shell command run under wine, its output through files.
#include <windows.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "platform/Files.h"
#include "platform/ProcessQuote.h"
#include "platform/win32/WinText.h"
#include "support/Media.h"

namespace vell::test {

// Wine starts a host program given by its absolute path, so the host's shell and its ffmpeg
// make the test media for the Windows programs too. Wine gives such a process no handle to wait
// on and no pipes, so the shell writes its output and then its status into files (the status
// last, by rename) in a host folder that the Windows side sees under drive Z:.
int runCommand(const std::string& command, std::string* output) {
  std::string hostDir = VELL_TEST_MEDIA_DIR;
  makeDirectories("Z:" + hostDir);
  std::string base = hostDir + "/command-" + std::to_string(std::random_device{}());
  std::string out = base + ".out", status = base + ".status";
  std::string script = "{ " + command + "\n} >'" + out + "' 2>&1 </dev/null; echo $? >'" + status + ".part'; mv '" +
                       status + ".part' '" + status + "'";
  std::wstring line = win::widen(quoteWindowsCommandLine({"/bin/sh", "-c", script}));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(L"/bin/sh", line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &info))
    return -1;
  if (info.hThread) CloseHandle(info.hThread);
  if (info.hProcess) CloseHandle(info.hProcess);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
  std::string code;
  while (!readFile("Z:" + status, code) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::string text;
  readFile("Z:" + out, text);
  removeFile("Z:" + out);
  removeFile("Z:" + status);
  if (output) *output = text;
  return code.empty() ? -1 : std::atoi(code.c_str());
}

}  // namespace vell::test
