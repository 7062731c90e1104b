// Windows test support: the running test started again in a child process that answers on a pipe.
#pragma once
#include <windows.h>

#include <string>

namespace vell::test {

struct TestChild {
  HANDLE process = nullptr;
  HANDLE pipe = nullptr;  // our end; the child's end is named in its environment
};

// Starts this test program again with only the running test, its standard handles on NUL. The
// environment variable `mark` tells the child the handle of its end of the pipe, followed by
// " " and `extra` when that is not empty. False when nothing started (nothing is left open).
bool startTestChild(const wchar_t* mark, const std::wstring& extra, TestChild& child);

}  // namespace vell::test
