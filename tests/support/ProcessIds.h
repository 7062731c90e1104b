// Test support: process ids of ended, running and this process.
#pragma once
#include <string>

namespace vell::test {

// Process ids as decimal text, for files named after the process that wrote them.
// One of a process that ran and has ended.
std::string endedProcessId();
// One of another process that is running (this one's parent where it can be had).
std::string runningProcessId();
std::string ownProcessId();

}  // namespace vell::test
