// Windows: a file held without delete sharing, let go after a while.
#include "support/FileHold.h"

#include <windows.h>

#include "platform/win32/WinText.h"

namespace vell::test {

namespace {

struct Release {
  HANDLE file;
  DWORD ms;
};

DWORD WINAPI releaseLater(void* arg) {
  auto* r = static_cast<Release*>(arg);
  Sleep(r->ms);
  CloseHandle(r->file);
  delete r;
  return 0;
}

}  // namespace

FileHold::FileHold(const std::string& path, int ms) {
  // Reading and writing shared, deleting not: the rename over it fails while this is open.
  HANDLE file = CreateFileW(win::widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  auto* release = new Release{file, static_cast<DWORD>(ms > 0 ? ms : 0)};
  HANDLE thread = CreateThread(nullptr, 0, releaseLater, release, 0, nullptr);
  if (!thread) {
    CloseHandle(file);
    delete release;
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  thread_ = reinterpret_cast<std::intptr_t>(thread);
}

FileHold::~FileHold() {
  if (!thread_) return;
  HANDLE thread = reinterpret_cast<HANDLE>(thread_);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

}  // namespace vell::test
