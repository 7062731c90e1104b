// Test support: crash-safe saves proven on a full disk and with a killed saving child.
#pragma once
#include <cstdint>
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

// The parts of expectCrashSafeSaves that differ per target.
namespace crash {

using Save = std::function<bool(bool b)>;

// Whether saveOnFullDisk can make a full disk here.
bool canFillDisk();
// Runs save(true) where files cannot grow past `maxBytes`, as on a full disk: 1 when the save
// reported success, 0 when it failed, -1 when that could not be set up.
int saveOnFullDisk(const Save& save, long maxBytes);

// A process that saves A once, then B and A in turn until it is killed.
class SavingChild {
 public:
  // Starts it and waits for its first save. `a` and `b` are what save(false) and save(true)
  // wrote here.
  SavingChild(const std::string& path, const Save& save, const std::string& a, const std::string& b);
  ~SavingChild();
  SavingChild(const SavingChild&) = delete;
  SavingChild& operator=(const SavingChild&) = delete;

  // The file it saves; empty when it did not start or its first save failed. On Windows the
  // child is the test run again: it saves in a temporary folder of its own, and versions A
  // and B of its own, made anew (with a clock of their own, say).
  const std::string& path() const { return path_; }
  bool isAOrB(const std::string& bytes) const { return bytes == a_ || bytes == b_; }
  // Ends it at once and waits until it is gone.
  void kill();

 private:
  std::string path_, a_, b_;
  bool ownFolder_ = false;  // the child's, removed with it
  intptr_t process_ = 0;
};

// In the child that SavingChild starts on Windows (this test run again) it runs the child's
// saves and never returns; elsewhere it returns at once.
void serveAsSavingChild(const std::string& path, const Save& save);

}  // namespace crash

}  // namespace vell::test
