// Windows: a stand-in tool as the shim program beside a shell script.
#include "support/FakeTool.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/WinText.h"

namespace vell::test {

namespace {

// The host's name for a path of ours; empty when not under wine.
std::string unixPath(const std::string& path) {
  using Convert = char*(CDECL*)(LPCWSTR);
  auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = convert ? convert(win::widen(path).c_str()) : nullptr;
  std::string result = unix ? unix : "";
  if (unix) HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

}  // namespace

// A real program (tool/FakeToolShim.cpp) that runs "<name>.sh" beside it with the host's shell.
std::string fakeTool(const TempDir& dir, const std::string& name, const std::string& body) {
  std::string exe = dir.file(name + ".exe"), host = unixPath(dir.path());
  if (host.empty()) {
    ADD_FAILURE() << "stand-in tools run their script with the host's shell, which only wine offers";
    return exe;
  }
  // The script runs in the host's shell, which knows the folder by its host name.
  std::string script = body;
  for (size_t at = script.find(dir.path()); at != std::string::npos; at = script.find(dir.path(), at + host.size()))
    script.replace(at, dir.path().size(), host);
  dir.write(name + ".sh", script + "\n");
  EXPECT_TRUE(CopyFileW(win::widen("Z:" VELL_FAKE_TOOL).c_str(), win::widen(exe).c_str(), FALSE)) << VELL_FAKE_TOOL;
  return exe;
}

std::string searchPath(const std::vector<std::string>& dirs) {
  std::string joined;
  for (const std::string& dir : dirs) joined += (joined.empty() ? "" : ";") + dir;
  return joined;
}

std::string hostFile(const std::string& path) { return "Z:" + path; }

}  // namespace vell::test
