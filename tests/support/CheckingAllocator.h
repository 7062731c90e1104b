// Test support: a test run again under an allocator that checks guard bytes.
#pragma once
#include <string>

namespace vell::test {

// Runs this test program again with only the tests of `gtestFilter`, under an allocator that
// aborts when a block's guard byte was overwritten; the child has VELL_CHECKED_CHILD set.
// False when the target has no such allocator (then `exitCode` is not set).
bool runUnderCheckingAllocator(const std::string& gtestFilter, int& exitCode, std::string& output);

}  // namespace vell::test
