#pragma once
#include <functional>
#include <string>

namespace vell::test {

// Proves that saves of a state file to `path` survive a full disk and a killed process.
// `save(false)` writes version A, `save(true)` version B; each returns its success. With A
// saved, a save of B on a disk full at `diskLimit` bytes must fail and leave A whole with
// nothing beside it. Then a child saving B and A alternately is killed, at moments spread
// over two saves or while a temporary lies beside the file, and the file must be A or B
// whole every time.
void expectCrashSafeSaves(const std::string& path, const std::function<bool(bool b)>& save, long diskLimit);

}  // namespace vell::test
