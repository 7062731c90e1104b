#include <gtest/gtest.h>


#include "platform/Files.h"
#include "playlist/Playlist.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace vell {
namespace {

// Long paths make a big file that is quick to format, so a save is mostly writing.
Playlist queueOf(const std::string& tag, int n) {
  Playlist p;
  std::string folder = "/미디어/" + tag + "/" + std::string(40000, 'd') + "/";
  for (int i = 0; i < n; ++i) p.addFile(folder + std::to_string(i) + ".mp3");
  return p;
}

TEST(PlaylistCrash, FullDiskKeepsPreviousFile) {
  test::TempDir dir;
  std::string path = dir.file("playlist.dat");
  ASSERT_TRUE(queueOf("old", 3).save(path));
  std::string before = dir.read("playlist.dat");
  Playlist big = queueOf("new", 5);
  EXPECT_EQ(test::runWithFileSizeLimit([&] { return big.save(path) ? 1 : 0; }, 16384), 0);
  EXPECT_EQ(dir.read("playlist.dat"), before);
  EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"playlist.dat"});
}

TEST(PlaylistCrash, KilledSaveLeavesOneWholeVersion) {
  test::TempDir dir;
  std::string path = dir.file("playlist.dat");
  const int n = 50;
  Playlist a = queueOf("A", n), b = queueOf("B", n);
  ASSERT_TRUE(a.save(path));
  test::SaveKiller killer([&] { a.save(path); }, [&] { b.save(path); });
  int interrupted = 0;
  // Kills land at varied moments of the save loop; keep going until a few landed inside
  // the write itself.
  for (int round = 0; round < 40 && (round < 8 || interrupted < 3); ++round) {
    killer.killRound(round);
    // A leftover temporary file shows that the kill landed inside a save.
    std::vector<std::string> names = listDirectory(dir.path());
    for (const std::string& name : names) {
      if (name != "playlist.dat") {
        ++interrupted;
        removeFile(dir.file(name));
      }
    }
    Playlist r;
    ASSERT_TRUE(r.load(path));
    ASSERT_EQ(r.count(), n) << "round " << round;
    std::string tag = r.items().front().path.substr(0, 12);
    EXPECT_EQ(r.items().back().path.substr(0, 12), tag);
  }
  RecordProperty("interrupted", interrupted);
  EXPECT_GT(interrupted, 0);
}

}  // namespace
}  // namespace vell
