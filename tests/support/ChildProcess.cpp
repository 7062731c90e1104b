// Test support: the check that saves survive a full disk and a killed process.
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "platform/Files.h"

namespace vell::test {

void expectCrashSafeSaves(const std::string& path, const std::function<bool(bool b)>& save, long diskLimit) {
  crash::serveAsSavingChild(path, save);
  std::string dir = parentPath(path), name = path.substr(dir.size() + 1), a, b, now;
  EXPECT_TRUE(save(true) && readFile(path, b));
  EXPECT_TRUE(save(false));  // twice: the first warms the file and the page cache
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(save(false) && readFile(path, a));
  auto saveTime = std::chrono::steady_clock::now() - t0;

  if (crash::canFillDisk()) {
    EXPECT_EQ(crash::saveOnFullDisk(save, diskLimit), 0) << "the save reported success";
  } else {  // said, not passed in silence
    std::cout << "[   NOTE   ] no full disk can be made for one process here: that save is not checked\n";
    ::testing::Test::RecordProperty("full_disk", "not checked");
  }
  EXPECT_TRUE(readFile(path, now) && now == a);
  EXPECT_EQ(listDirectory(dir), std::vector<std::string>{name});

  int interrupted = 0;  // kills that left a temporary beside the file: they landed inside a save
  for (int round = 0; round < 13; ++round) {
    crash::SavingChild child(path, save, a, b);
    if (child.path().empty()) return ADD_FAILURE() << "no child, or its first save failed";
    std::string childDir = parentPath(child.path());
    if (round % 2 == 0) {
      std::this_thread::sleep_for(saveTime * (round % 13) / 6);
    } else {  // wait for the temporary: this kill lands inside the write however the save's time is spent
      auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while (listDirectory(childDir).size() < 2 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    child.kill();
    for (const std::string& entry : listDirectory(childDir)) {
      if (entry != name) interrupted += removeFile(childDir + "/" + entry);
    }
    EXPECT_TRUE(readFile(child.path(), now) && child.isAOrB(now))
        << "round " << round << ": " << now.size() << " bytes";
  }
  EXPECT_GE(interrupted, 3);
}

}  // namespace vell::test
