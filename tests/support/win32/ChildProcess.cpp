// Windows: a full disk under wine, and the saving child as the test run again.
#include "support/ChildProcess.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/Files.h"
#include "platform/ProcessQuote.h"
#include "platform/win32/WinText.h"
#include "support/win32/TestChild.h"

namespace vell::test::crash {

namespace {

// Set in the child's environment: its end of the pipe that takes its report.
constexpr const wchar_t* kChildMark = L"VELL_TEST_SAVING_CHILD";

bool underWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Under wine this program is a Linux process, whose system calls reach the kernel directly.
long long linuxCall(long long number, const void* a, const void* b, const void* c, long long d) {
  long long result;
  register long long r10 asm("r10") = d;
  asm volatile("syscall" : "=a"(result) : "a"(number), "D"(a), "S"(b), "d"(c), "r"(r10) : "rcx", "r11", "memory");
  return result;
}

}  // namespace

bool canFillDisk() { return underWine(); }

// Windows has no limit on the size of one process's files. Under wine Linux's does the job:
// set on this process for the one save and lifted after, it makes the writes past it fail as
// on a full disk. SIGXFSZ is ignored meanwhile, or the first such write would end the program.
int saveOnFullDisk(const Save& save, long maxBytes) {
  constexpr long long kSigaction = 13, kPrlimit = 302, kSigXfsz = 25, kFileSize = 1;
  struct {
    unsigned long long handler, flags, restorer, mask;
  } ignore = {1, 0, 0, 0}, old = {};
  unsigned long long before[2] = {}, limit[2] = {};
  if (!underWine() || linuxCall(kPrlimit, nullptr, reinterpret_cast<void*>(kFileSize), nullptr,
                                reinterpret_cast<long long>(before)) != 0)
    return -1;
  limit[0] = static_cast<unsigned long long>(maxBytes);
  limit[1] = before[1];
  if (linuxCall(kSigaction, reinterpret_cast<void*>(kSigXfsz), &ignore, &old, 8) != 0) return -1;
  int result = -1;
  if (linuxCall(kPrlimit, nullptr, reinterpret_cast<void*>(kFileSize), limit, 0) == 0) {
    result = save(true) ? 1 : 0;
    linuxCall(kPrlimit, nullptr, reinterpret_cast<void*>(kFileSize), before, 0);
  }
  linuxCall(kSigaction, reinterpret_cast<void*>(kSigXfsz), &old, nullptr, 8);
  return result;
}

// No fork: the child is this test program again, running only the current test, which
// reaches serveAsSavingChild below.
SavingChild::SavingChild(const std::string& path, const Save&, const std::string&, const std::string&) {
  TestChild child;
  if (startTestChild(kChildMark, L"", child)) {
    process_ = reinterpret_cast<intptr_t>(child.process);
    // Once its first saves are done: its file's path and the sizes of A and B, each on a
    // line, then A and B. Wine tells no end of the pipe while the child lives, so the sizes
    // say when it is all there, and a child that died says no more.
    std::string text;
    char buffer[65536];
    while (path_.empty()) {
      DWORD waiting = 0, n = 0;
      if (!PeekNamedPipe(child.pipe, nullptr, 0, nullptr, &waiting, nullptr)) break;
      if (waiting == 0) {
        if (WaitForSingleObject(child.process, 10) == WAIT_OBJECT_0) break;
        continue;
      }
      if (!ReadFile(child.pipe, buffer, std::min<DWORD>(waiting, sizeof buffer), &n, nullptr)) break;
      text.append(buffer, n);
      size_t pathEnd = text.find('\n');
      size_t aEnd = pathEnd == std::string::npos ? pathEnd : text.find('\n', pathEnd + 1);
      size_t bEnd = aEnd == std::string::npos ? aEnd : text.find('\n', aEnd + 1);
      if (bEnd == std::string::npos) continue;
      size_t aSize = std::strtoull(text.c_str() + pathEnd + 1, nullptr, 10);
      size_t bSize = std::strtoull(text.c_str() + aEnd + 1, nullptr, 10);
      if (text.size() - bEnd - 1 < aSize + bSize) continue;
      a_ = text.substr(bEnd + 1, aSize);
      b_ = text.substr(bEnd + 1 + aSize, bSize);
      path_ = text.substr(0, pathEnd);
      ownFolder_ = parentPath(path_) != parentPath(path);
    }
    CloseHandle(child.pipe);
  }
}

SavingChild::~SavingChild() {
  kill();
  std::error_code ignored;
  if (ownFolder_) std::filesystem::remove_all(std::filesystem::u8path(parentPath(path_)), ignored);
}

void SavingChild::kill() {
  if (process_ == 0) return;
  HANDLE process = reinterpret_cast<HANDLE>(process_);
  TerminateProcess(process, 9);
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
  process_ = 0;
}

void serveAsSavingChild(const std::string& path, const Save& save) {
  wchar_t mark[32];
  DWORD n = GetEnvironmentVariableW(kChildMark, mark, 32);
  if (n == 0 || n >= 32) return;
  HANDLE parent = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(mark, nullptr, 10)));
  std::string a, b;
  if (!save(true) || !readFile(path, b) || !save(false) || !readFile(path, a)) ExitProcess(3);
  std::string message = path + "\n" + std::to_string(a.size()) + "\n" + std::to_string(b.size()) + "\n" + a + b;
  DWORD written = 0;
  if (!WriteFile(parent, message.data(), static_cast<DWORD>(message.size()), &written, nullptr) ||
      written != message.size())
    ExitProcess(3);
  CloseHandle(parent);
  for (;;) save(true), save(false);
}

}  // namespace vell::test::crash
