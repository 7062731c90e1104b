#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "platform/DataDirs.h"
#include "platform/Files.h"
#include "platform/Uri.h"
#include "support/DataDirCases.h"
#include "support/ProcessIds.h"
#include "support/TempDir.h"

namespace vell {
namespace {

TEST(Files, SavesLeaveNoTemporaryBehind) {
  test::TempDir dir;
  std::string path = dir.file("state.ini"), out;
  ASSERT_TRUE(writeFileAtomic(path, "first\n"));
  ASSERT_TRUE(writeFileAtomic(path, "second\n"));
  ASSERT_TRUE(makeDirectories(dir.file("sub/x")));  // a directory in the way of the rename
  EXPECT_FALSE(writeFileAtomic(dir.file("sub"), "new"));
  EXPECT_EQ(dir.read("state.ini"), "second\n");
  EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"state.ini", "sub"}));
  EXPECT_FALSE(readFileLimited(path, 6, out));
  EXPECT_TRUE(readFileLimited(path, 7, out));
  EXPECT_TRUE(isDirectory(executableDir()));
  // Temporaries of our own files whose save was killed go; others stay.
  std::string gone = test::endedProcessId(), live = test::runningProcessId(), own = test::ownProcessId();
  const std::pair<std::string, bool> kept[] = {
      {"playlist.dat.tmp" + gone, false},    // its save was killed
      {"vell_player.ini.tmp" + own, false},  // an earlier process with our id
      {"playlist.dat.tmp" + live, true},     // another process may be saving right now
      {"notes.txt.tmp" + gone, true},        // not one of ours
      {"playlist.dat.tmpx1", true},
  };
  for (const auto& [name, _] : kept) dir.write(name, "x");
  EXPECT_EQ(removeStaleTemporaries(dir.path(), {"playlist.dat", "vell_player.ini"}), 2);
  for (const auto& [name, stays] : kept) EXPECT_EQ(fileExists(dir.file(name)), stays) << name;
}

TEST(DataDirs, FolderChoiceTheMoveOfEarlierFilesAndFileUris) {
  test::TempDir dir;
  const std::string program = dir.path() + "/prog";
  std::map<std::string, std::string> env;
  auto choose = [&] {
    return chooseDataPaths(program, [&](const char* name) { return env.count(name) ? env[name].c_str() : nullptr; });
  };
  dir.write("prog/streams.ini", "");
  for (const auto& c : test::dataDirCases(program)) {
    env = c.env;
    DataPaths p = choose();
    EXPECT_EQ(std::tie(p.configDir, p.dataDir), std::tie(c.configDir, c.dataDir));
    EXPECT_FALSE(p.portable);
    EXPECT_EQ(p.folderFor("playlist.dat"), c.configDir);
    EXPECT_EQ(p.folderFor("streams.ini"), program);  // the built-in catalogue beside the program first
  }
  removeFile(program + "/streams.ini");
  if (std::string installed = test::installedCatalogueFolder(); !installed.empty()) {
    dir.write(installed + "/streams.ini", "");  // else the installed share folder
    EXPECT_EQ(choose().builtinDir, dir.path() + "/" + installed);
  }
  // Settings left in a build tree are no portable marker; elsewhere they are, and so is the marker file.
  dir.write("prog/vell_player.ini", "volume=0.5\n");
  dir.write("prog/CMakeCache.txt", "");
  EXPECT_FALSE(choose().portable);
  removeFile(program + "/CMakeCache.txt");
  EXPECT_TRUE(choose().portable);
  removeFile(program + "/vell_player.ini");
  dir.write("prog/portable", "");
  EXPECT_EQ(choose().dataDir, program);
  // Files an earlier run left in the program folder move once; where both exist nothing is lost.
  removeFile(program + "/portable");
  dir.write("prog/vell_player.ini", "old settings");
  dir.write("prog/podcast_history.ini", "old history");
  dir.write("prog/streams.ini", "built-in");
  dir.write("config/vell-player/vell_player.ini", "new settings");
  dir.write("config/vell-player/vell_player.ini.old", "older set aside");
  DataPaths p;  // not portable
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
  std::string path;  // file URIs
  ASSERT_TRUE(fileUriToPath("file:///home/u/%ED%95%9C%20a.mp4", path));
  EXPECT_EQ(path, "/home/u/한 a.mp4");
  EXPECT_EQ(pathToFileUri(path), "file:///home/u/%ED%95%9C%20a.mp4");
  ASSERT_TRUE(fileUriToPath("file://localhost/x%2", path));
  EXPECT_EQ(path, "/x%2");  // a broken escape stays as typed
  for (const char* refused : {"file://otherhost/x", "http://h/x.mp3", "file:///a%00b"})
    EXPECT_FALSE(fileUriToPath(refused, path)) << refused;
}

}  // namespace
}  // namespace vell
