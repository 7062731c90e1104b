// Linux: a test run again under glibc's checking allocator.
#include "support/CheckingAllocator.h"

#include <filesystem>

#include "support/Media.h"

namespace vell::test {

// glibc's checking allocator puts a guard byte after every block and checks it when freed.
bool runUnderCheckingAllocator(const std::string& gtestFilter, int& exitCode, std::string& output) {
#if defined(__SANITIZE_ADDRESS__)
  // AddressSanitizer already checks the run itself, and refuses a preloaded allocator.
  const char* checker = "";
#else
  const char* checker = "/usr/lib/x86_64-linux-gnu/libc_malloc_debug.so.0";
#endif
  if (!*checker || !std::filesystem::exists(checker)) return false;
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  exitCode = runCommand(std::string("VELL_CHECKED_CHILD=1 MALLOC_CHECK_=3 LD_PRELOAD=") + checker + " '" + self +
                            "' --gtest_filter=" + gtestFilter,
                        &output);
  return true;
}

}  // namespace vell::test
