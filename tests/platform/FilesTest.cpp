// Tests of files: atomic saves, held files, the data folders and file URIs.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "platform/DataDirs.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Uri.h"
#include "support/DataDirCases.h"
#include "support/FileHold.h"
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

// A scanner that opened the saved file for a moment delays the next save; one that keeps it
// makes the save fail with the old file whole and nothing beside it. Either is logged.
TEST(Files, ASaveWaitsBrieflyForAFileAnotherProgramHolds) {
  test::TempDir dir;
  const std::string path = dir.write("playlist.dat", "old");
  std::string log;
  setLogSink([&log](const std::string& line) { log += line; });
  auto logged = [&log](const std::string& text) { return log.find(text) != std::string::npos; };
  bool held;
  {
    test::FileHold hold(path, 100);
    held = hold.holds();
    EXPECT_TRUE(writeFileAtomic(path, "new"));
  }
  EXPECT_EQ(dir.read("playlist.dat"), "new");
  EXPECT_EQ(logged("waited for another program"), held) << log;
  {
    test::FileHold hold(path, 800);
    EXPECT_EQ(writeFileAtomic(path, "newer"), !hold.holds());
  }
  EXPECT_EQ(dir.read("playlist.dat"), held ? "new" : "newer");
  EXPECT_EQ(logged("failed: another program held it"), held) << log;
  EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"playlist.dat"});
  setLogSink(nullptr);
}

TEST(DataDirs, FolderChoiceAndTheMoveOfEarlierFiles) {
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
}

TEST(FileUris, BothPathStylesBothWays) {
  constexpr auto P = PathStyle::Posix, W = PathStyle::Windows;
  struct Case {
    PathStyle style;
    const char* uri;
    const char* path;  // nullptr: refused
    bool roundTrip;
  };
  const Case cases[] = {
      {P, "file:///home/u/%ED%95%9C%20a.mp4", "/home/u/한 a.mp4", true},
      {P, "file://localhost/x%2", "/x%2", false},  // a broken escape stays as typed
      {P, "file://otherhost/x", nullptr, false},
      {P, "http://h/x.mp3", nullptr, false},
      {P, "file:///a%00b", nullptr, false},
      {P, "file:///C:/a", "/C:/a", false},
      {W, "file:///C:/%ED%95%9C%20a.mp4", "C:\\한 a.mp4", true},
      {W, "file://localhost/d|/x?t=1", "d:\\x", false},
      {W, "file://server/share/a%20b.mkv", "\\\\server\\share\\a b.mkv", true},
      {W, "file:///C:", "C:", true},
      {W, "file://", nullptr, false},
  };
  for (const Case& c : cases) {
    std::string path;
    ASSERT_EQ(fileUriToPath(c.uri, path, c.style), c.path != nullptr) << c.uri;
    if (!c.path) continue;
    EXPECT_EQ(path, c.path) << c.uri;
    if (c.roundTrip) {
      EXPECT_EQ(pathToFileUri(path, c.style), c.uri);
    }
  }
}

}  // namespace
}  // namespace vell
