// The shell against hostile state and slow desktop helpers: the file chooser, the exit's
// playlist save, the start with saved state from a bad day.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/WindowPlacement.h"
#include "AppHarness.h"

namespace vell {
namespace {

bool processGone(const std::string& pid) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t paren = text.rfind(')');
  return paren == std::string::npos || text.compare(paren + 2, 1, "Z") == 0;  // gone or a zombie
}

using Shell = test::WindowedAppHarness<640, 400>;

TEST_F(Shell, ClosingTheWindowEndsTheChooserAndOpensNothing) {
  // A stand-in chooser that starts a helper of its own and answers late.
  std::string pidFile = dir.file("pids");
  std::string script = dir.write("bin/zenity", "#!/bin/sh\necho $$ > " + pidFile + "\nsleep 3 &\necho $! >> " + pidFile +
                                                   "\nwait\necho " + dir.write("chosen.mp4", "x") + "\n");
  chmod(script.c_str(), 0755);
  std::string oldPath = std::getenv("PATH");
  setenv("PATH", (dir.file("bin") + ":" + oldPath).c_str(), 1);
  app.chooseAndOpenFile();  // the window goes on while the chooser is open
  std::vector<std::string> pids;
  for (int i = 0; i < 500 && pids.size() < 2; ++i) {
    sleepMs(10);
    std::istringstream lines(dir.read("pids"));
    pids.clear();
    for (std::string line; std::getline(lines, line);) pids.push_back(line);
  }
  setenv("PATH", oldPath.c_str(), 1);
  ASSERT_EQ(pids.size(), 2u);
  app.requestClose();
  // The chooser itself is reaped; its helper dies as soon as it is scheduled after the kill.
  for (const auto& pid : pids) {
    for (int i = 0; i < 100 && !processGone(pid); ++i) sleepMs(10);
    EXPECT_TRUE(processGone(pid)) << pid;
  }
  app.onMessage(kMsgRunTasks);  // nothing chosen may arrive after the close
  EXPECT_EQ(app.currentPath, "");
  EXPECT_TRUE(app.playlist.empty());
}

TEST(ShellExit, TheSavedListOutlivesAQueueOnlyOpened) {
  struct Case {
    const char* what;
    std::function<void(App&)> act;
    int savedCount;  // entries in playlist.dat after the exit
  } cases[] = {
      {"one file opened", [](App& a) { a.openPath("/nowhere/film.mp4"); }, 3},
      {"opened, then added to", [](App& a) { a.openPath("/nowhere/film.mp4"), a.playlist.addFile("/nowhere/b.mp3"); }, 2},
      {"several files dropped", [](App& a) { a.onDropFiles({"/nowhere/a.mp3", "/nowhere/b.mp3"}, 10, 10); }, 2},
  };
  for (const Case& c : cases) {
    test::TempDir folder;
    Playlist saved;
    for (const char* f : {"/music/1.mp3", "/music/2.mp3", "/music/3.mp3"}) saved.addFile(f);
    ASSERT_TRUE(saved.save(folder.file("playlist.dat")));
    {
      App a{folder.path()};
      test::openHiddenWindow(a, 640, 400);
      a.initialized = true;
      c.act(a);
      a.requestClose();
    }
    Playlist after;
    ASSERT_TRUE(after.load(folder.file("playlist.dat")));
    EXPECT_EQ(after.count(), c.savedCount) << c.what;
  }
}

TEST(ShellStart, HostileStateFilesStillStart) {
  test::TempDir dir;
  settings() = Settings{};
  DataPaths paths;  // settings and history in separate folders, as in the desktop's folders
  paths.configDir = dir.file("config");
  paths.dataDir = paths.builtinDir = dir.file("data");
  dir.write("config/vell_player.ini", "\xEF\xBB\xBFwindowX=-99999\nwindowY=40000\nwindowW=30000\nwindowH=20000\n");
  pid_t pid = fork();  // a process id no process has any more
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  std::string dead = std::to_string(pid);
  std::string stale = dir.write("data/podcast_history.ini.tmp" + dead, std::string(4096, 'x'));
  std::string staleSettings = dir.write("config/vell_player.ini.tmp" + dead, "x");
  std::string foreign = dir.write("data/notes.txt.tmp" + dead, "x");
  {
    App app{paths};
    ASSERT_TRUE(app.create(""));
    Rect work = app.window.usableBounds();
    int x = 0, y = 0, w = 0, h = 0;
    app.window.position(x, y);
    app.window.size(w, h);
    EXPECT_LE(w, work.w);
    EXPECT_LE(h, work.h);
    EXPECT_GE(x, work.x);
    EXPECT_GE(y, work.y);
    app.requestClose();
  }
  EXPECT_FALSE(fileExists(stale));
  EXPECT_FALSE(fileExists(staleSettings));
  EXPECT_TRUE(fileExists(foreign));  // not one of the program's files
}

TEST(ShellStart, SavedPlacementIsBroughtOntoTheWorkArea) {
  struct Case {
    Rect saved, expected;
  } cases[] = {
      {{100, 100, 800, 600}, {100, 100, 800, 600}},      // fits: as saved
      {{100, 100, 30000, 720}, {0, 80, 1280, 720}},      // too wide: cut, moved back to fit
      {{-5000, 100, 800, 600}, {100, 100, 800, 600}},    // far off: left + 100
      {{10, 2000000000, 100, 100}, {0, 50, 1280, 720}},  // below the minimum: the default size
  };
  for (const Case& c : cases) {
    Rect r = startPlacement(c.saved, {0, 0, 1280, 800});
    EXPECT_EQ(std::vector<int>({r.x, r.y, r.w, r.h}), std::vector<int>({c.expected.x, c.expected.y, c.expected.w, c.expected.h}));
  }
}

}  // namespace
}  // namespace vell
