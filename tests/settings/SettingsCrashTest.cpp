#include <gtest/gtest.h>


#include "platform/Files.h"
#include "settings/Settings.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace vell {
namespace {

Settings bigSettings(const std::string& tag) {
  Settings s;
  s.lastPodcastName = tag;
  for (int i = 0; i < 15; ++i) s.recent.push_back("/" + tag + "/" + std::string(3000, 'x') + std::to_string(i));
  return s;
}

// A save that runs out of disk space leaves the previous file as it was.
TEST(SettingsCrash, FullDiskKeepsPreviousFile) {
  test::TempDir dir;
  std::string path = dir.file("vell_player.ini");
  Settings old;
  old.windowX = 321;
  ASSERT_TRUE(old.save(path));
  std::string before = dir.read("vell_player.ini");

  int code = test::runWithFileSizeLimit([&] { return bigSettings("new").save(path) ? 1 : 0; }, 4096);
  EXPECT_EQ(code, 0);  // the save reported failure
  EXPECT_EQ(dir.read("vell_player.ini"), before);
  EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"vell_player.ini"});
}

// A process killed at any moment of a save leaves either the old or the new file, whole.
TEST(SettingsCrash, KilledSaveLeavesOneWholeVersion) {
  test::TempDir dir;
  std::string path = dir.file("vell_player.ini");
  Settings a = bigSettings("A"), b = bigSettings("B");
  ASSERT_TRUE(a.save(path));
  test::SaveKiller killer([&] { a.save(path); }, [&] { b.save(path); });
  for (int round = 0; round < 13; ++round) {
    killer.killRound(round);
    Settings r;
    ASSERT_TRUE(r.load(path));
    ASSERT_EQ(r.recent.size(), 15u);
    ASSERT_TRUE(r.lastPodcastName == "A" || r.lastPodcastName == "B");
    EXPECT_EQ(r.recent.back(), (r.lastPodcastName == "A" ? a : b).recent.back());
  }
}

}  // namespace
}  // namespace vell
