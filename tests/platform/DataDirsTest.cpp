#include <gtest/gtest.h>

#include <map>

#include "platform/DataDirs.h"
#include "platform/Files.h"
#include "platform/Uri.h"
#include "support/TempDir.h"

namespace vell {
namespace {

TEST(DataDirs, FolderChoice) {
  test::TempDir dir;
  std::string program = dir.path() + "/prog";
  makeDirectories(program);
  std::map<std::string, std::string> env;
  auto lookup = [&](const char* name) -> const char* {
    auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  };

  env = {{"HOME", "/home/u"}};
  DataPaths p = chooseDataPaths(program, lookup);
  EXPECT_FALSE(p.portable);
  EXPECT_EQ(p.configDir, "/home/u/.config/vell-player");
  EXPECT_EQ(p.dataDir, "/home/u/.local/share/vell-player");
  EXPECT_EQ(p.folderFor("playlist.dat"), p.configDir);
  EXPECT_EQ(p.folderFor("streams_user.ini"), p.dataDir);

  env = {{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_HOME", "relative/ignored"}};
  p = chooseDataPaths(program, lookup);
  EXPECT_EQ(p.configDir, "/c/vell-player");
  EXPECT_EQ(p.dataDir, "/home/u/.local/share/vell-player");

  // The built-in catalogue: beside the program first, else the installed share folder.
  EXPECT_EQ(p.builtinDir, program);
  dir.write("share/vell-player/streams.ini", "");
  EXPECT_EQ(chooseDataPaths(program, lookup).builtinDir, dir.path() + "/share/vell-player");
  dir.write("prog/streams.ini", "");
  EXPECT_EQ(chooseDataPaths(program, lookup).builtinDir, program);

  // Settings left by an earlier run inside a build tree are no portable marker...
  dir.write("prog/vell_player.ini", "volume=0.5\n");
  dir.write("prog/CMakeCache.txt", "");
  EXPECT_FALSE(chooseDataPaths(program, lookup).portable);
  // ...elsewhere they are, and so is the marker file.
  removeFile(program + "/CMakeCache.txt");
  EXPECT_TRUE(chooseDataPaths(program, lookup).portable);
  removeFile(program + "/vell_player.ini");
  dir.write("prog/portable", "");
  p = chooseDataPaths(program, lookup);
  EXPECT_TRUE(p.portable);
  EXPECT_EQ(p.configDir, program);
  EXPECT_EQ(p.dataDir, program);
}

TEST(DataDirs, EarlierFilesMoveOnceAndNothingIsLost) {
  test::TempDir dir;
  std::string program = dir.path() + "/prog";
  dir.write("prog/vell_player.ini", "old settings");
  dir.write("prog/podcast_history.ini", "old history");
  dir.write("prog/streams.ini", "built-in");
  dir.write("config/vell-player/vell_player.ini", "new settings");
  dir.write("config/vell-player/vell_player.ini.old", "older set aside");
  DataPaths p;
  p.configDir = dir.path() + "/config/vell-player";
  p.dataDir = dir.path() + "/data/vell-player";

  EXPECT_EQ(prepareDataPaths(program, p).size(), 2u);
  EXPECT_EQ(dir.read("data/vell-player/podcast_history.ini"), "old history");
  EXPECT_EQ(dir.read("config/vell-player/vell_player.ini"), "new settings");
  EXPECT_EQ(dir.read("config/vell-player/vell_player.ini.old"), "older set aside");
  EXPECT_EQ(dir.read("config/vell-player/vell_player.ini.old1"), "old settings");
  EXPECT_FALSE(fileExists(program + "/vell_player.ini"));
  EXPECT_TRUE(fileExists(program + "/streams.ini"));  // the program's own file stays
  EXPECT_TRUE(prepareDataPaths(program, p).empty());   // once only
}

TEST(Uri, FileUris) {
  std::string path;
  ASSERT_TRUE(fileUriToPath("file:///home/u/%ED%95%9C%20a.mp4", path));
  EXPECT_EQ(path, "/home/u/한 a.mp4");
  ASSERT_TRUE(fileUriToPath("file://localhost/x%2", path));
  EXPECT_EQ(path, "/x%2");  // a broken escape stays as typed
  EXPECT_FALSE(fileUriToPath("file://otherhost/x", path));
  EXPECT_FALSE(fileUriToPath("http://h/x.mp3", path));
  EXPECT_FALSE(fileUriToPath("file:///a%00b", path));
  EXPECT_EQ(pathToFileUri("/home/u/한 a.mp4"), "file:///home/u/%ED%95%9C%20a.mp4");
}

}  // namespace
}  // namespace vell
