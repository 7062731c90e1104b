// Opening network media (waits, aborts, failures and their retry, a close in the middle, a podcast's
// place) and the shell against hostile state: the exit's playlist save, saved state from a bad day.
#include <atomic>
#include <thread>

#include "app/MediaSession.h"
#include "app/WindowPlacement.h"
#include "support/HttpServer.h"
#include "support/Media.h"
#include "support/ProcessIds.h"
#include "support/QuitRequest.h"
#include "AppHarness.h"

namespace vell {
namespace {

const std::string kMpegOk = "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n";

struct OpenMedia : test::WindowedAppHarness<640, 400> {
  std::string mp3 = test::mediaBytes(test::sineMp3(3.0));
  // Runs `task` on the window thread `delayMs` from now, while openMedia waits.
  void later(int delayMs, std::function<void()> task) {
    std::thread([this, delayMs, task] {
      sleepMs(delayMs);
      app.postTask(task);
    }).detach();
  }
};

// The connection thread closes and opens the player meanwhile: opens, keys, media keys and
// drops that would reach the player or the playlist wait with the message instead.
TEST_F(OpenMedia, CommandsWhileConnectingShowTheWaitingMessage) {
  test::HttpServer slow([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.wait(800);
    c.send(kMpegOk + mp3);
  });
  std::string file = test::sineMp3(1.0);
  app.playlist.addFile(file);
  app.playlist.addFile(file);
  app.playlist.setCurrent(0);
  std::function<void()> commands[] = {
      [&] { app.openMedia("http://127.0.0.1:1/other", "other", false); },
      [&] { key(vk::Space); },         [&] { key(vk::MediaStop); }, [&] { key(vk::Next); },
      [&] { key(vk::MediaNextTrack); }, [&] { key('X'); },         [&] { app.onDropFiles({file}, 10, 10); },
  };
  std::vector<std::string> toasts;
  later(200, [&] {
    for (auto& command : commands) {
      app.toast.text.clear();
      command();
      toasts.push_back(app.toast.text);
    }
  });
  app.openMedia(slow.url("/stream"), "Slow FM", false);
  EXPECT_EQ(toasts, std::vector<std::string>(std::size(commands), "연결 중... 잠시 기다려주세요"));
  EXPECT_EQ(std::tuple(app.playlist.currentIndex(), app.playlist.count(), app.player.speed()), std::tuple(0, 2, 1.0));
  EXPECT_EQ(std::tuple(app.player.state(), app.player.url()), std::tuple(Player::Playing, slow.url("/stream")));
  EXPECT_EQ(app.window.title(), "Vell Player - Slow FM");
  EXPECT_TRUE(app.medium.historyKey.empty());  // a station keeps no place
  app.player.close();
}

// An open waiting on a server that never answers gives way at once: to a station clicked
// meanwhile, which opens next (the superseded attempt reports nothing), and to the window's close,
// which saves.
TEST_F(OpenMedia, AnOpenWaitingOnASilentServerGivesWayToAStationClickAndToTheClose) {
  test::HttpServer silent([](const test::HttpRequest&, test::HttpConnection& c) { c.wait(30000); });
  test::HttpServer radio([&](const test::HttpRequest&, test::HttpConnection& c) { c.send(kMpegOk + mp3); });
  later(300, [&] { app.requestOpen(radio.url("/stream"), "Second FM", false); });
  uint32_t t0 = tickCount();
  app.openMedia(silent.url("/stream"), "Silent FM", false);
  EXPECT_LT(tickCount() - t0, 2000u);
  EXPECT_FALSE(app.connection.retryOffered);
  pump(2000);  // the queued request opens next
  EXPECT_EQ(std::tuple(app.player.url(), app.medium.title), std::tuple(radio.url("/stream"), "Second FM"));
  app.life.initialized = true;  // as after create: the close runs the whole shutdown
  app.player.setVolume(0.3f);
  settings().volume = 0.6f;
  later(300, [&] { app.requestClose(); });
  t0 = tickCount();
  app.openMedia(silent.url("/again"), "Silent FM", false);
  EXPECT_LT(tickCount() - t0, 2000u);
  EXPECT_TRUE(app.life.quitRequested);
  // The volume of a closed-while-connecting session is not taken from the player.
  EXPECT_NE(dir.read("vell_player.ini").find("volume=0.60\n"), std::string::npos);
}

TEST_F(OpenMedia, FailureOffersARetryThatTriesAgain) {
  std::atomic<int> requests{0};
  test::HttpServer broken([&](const test::HttpRequest&, test::HttpConnection& c) {
    ++requests;
    c.respond(200, "<html>not audio</html>", "text/html");
  });
  app.openMedia(broken.url("/page"), "Broken", false);
  EXPECT_EQ(std::tuple(app.connection.retryOffered, app.window.title()), std::tuple(true, "Vell Player"));
  int before = requests.load();
  ASSERT_GT(before, 0);
  ClientLayout l = app.computeLayout();  // the retry button: 110 x 34 below the middle of the screen
  click((l.width - l.sidePanelWidth) / 2, (l.topBar + l.controlBarTop) / 2 + 42 + 17);
  EXPECT_GT(requests.load(), before);
  EXPECT_TRUE(app.connection.retryOffered);  // failed again, offered again
}

TEST_F(OpenMedia, AGivenUpStationShowsTheFailureScreenWithItsRetry) {
  auto station = std::make_unique<test::HttpServer>([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
    c.sendPaced(mp3, 6000, 16000);
  });
  std::string url = station->url("/stream");
  app.player.onEnded = [] { Window::postUserEvent(kMsgMediumEnded); };  // as create does
  app.player.reconnectLimit = 1;
  app.player.reconnectSleep = [](int) {};
  app.openMedia(url, "Gone FM", false);
  ASSERT_TRUE(app.player.isLive());
  station.reset();  // for good
  pump(15000, [&] { return app.connection.retryOffered; });
  // No LIVE, no pause button, no counter: the failure screen.
  EXPECT_EQ(std::tuple(app.connection.retryOffered, app.player.state(), app.player.reconnecting()),
            std::tuple(true, Player::Stopped, false));
  EXPECT_EQ(app.toast.text, "연결 실패 — 화면을 클릭하여 재시도");
  EXPECT_EQ(app.connection.lastAttempt.url + "|" + app.connection.lastAttempt.name, url + "|Gone FM");  // what the retry opens
}

// While a box is open the loop goes on inside it: an episode list that arrives and a Quit from
// the desktop are each handled once, as they come; the Quit closes the box.
TEST_F(OpenMedia, MessagesAndDesktopCommandsRunWhileABoxIsOpen) {
  test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.wait(300);  // the list comes once the box is up
    c.respond(200, test::kOneEpisodeFeed, "application/rss+xml");
  });
  app.catalog.loadFromText("PODCAST_RSS|pa|Loop Cast|g||" + server.url("/feed.xml"), "");
  app.toggleStreamBrowser(true);
  click(480, 156);
  app.mediaSession = std::make_unique<MediaSession>(app);  // its requests, as the bus thread hands them over
  std::vector<std::string> handled;
  later(1000, [&] {
    handled.push_back(std::string(app.about.open ? "in the box" : "after it") +
                      (app.streamBrowser.loading ? "" : ", after the list"));
    MediaRequest quit;
    quit.command = MediaCommand::Quit;
    app.mediaSession->handle(quit);
  });
  app.showAboutWindow();
  pump(300);  // nothing comes again after the box
  EXPECT_EQ(handled, std::vector<std::string>{"in the box, after the list"});
  EXPECT_EQ(std::tuple(app.streamBrowser.episodes.size(), app.about.open), std::tuple(1u, false));
}

// A podcast URL given on the command line keeps its place as one opened from the browser.
TEST(CommandLine, AnEpisodeUrlIsResumedOnTheNextStart) {
  settings() = Settings{};
  test::TempDir dir;
  std::string episode = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=60 -ac 1 -c:a libmp3lame -b:a 32k", "mp3"));
  test::HttpServer server([&](const test::HttpRequest& r, test::HttpConnection& c) { c.respondFile(r, episode, "audio/mpeg"); });
  std::string url = server.url("/episode.mp3");
  PodcastHistory stored;
  stored.update(url, 30.0, 60.0);
  ASSERT_TRUE(stored.save(dir.file("podcast_history.ini")));
  App app{dir.path()};
  ASSERT_TRUE(app.create(url));
  EXPECT_EQ(std::tuple(app.player.podcastRequest(), app.toast.text), std::tuple(true, "▶ 0:30부터 이어듣기"));
  EXPECT_EQ(app.medium.historyKey + "|" + settings().lastPodcastUrl, url + "|" + url);
  app.player.close();
  app.history.update(url, 57.6, 60.0);  // 96 %: from the start
  app.openMedia(url, "Episode", true);
  EXPECT_EQ(app.toast.text, "▶ Episode");
  app.player.close();
}

TEST(ShellExit, TheSavedListOutlivesAQueueOnlyOpened) {
  // What the session does, and the entries playlist.dat has after the exit.
  struct Case { std::function<void(App&)> act; int savedCount; } cases[] = {
      {[](App& a) { a.openPath("/nowhere/film.mp4"); }, 3},  // one file opened
      {[](App& a) { a.openPath("/nowhere/film.mp4"), a.playlist.addFile("/nowhere/b.mp3"); }, 2},  // then added to
      {[](App& a) { a.onDropFiles({"/nowhere/a.mp3", "/nowhere/b.mp3"}, 10, 10); }, 2},  // several dropped
  };
  for (const Case& c : cases) {
    test::TempDir folder;
    Playlist saved;
    for (const char* f : {"/music/1.mp3", "/music/2.mp3", "/music/3.mp3"}) saved.addFile(f);
    ASSERT_TRUE(saved.save(folder.file("playlist.dat")));
    {
      App a{folder.path()};
      test::openHiddenWindow(a, 640, 400);
      a.life.initialized = true;
      c.act(a);
      a.requestClose();
    }
    ASSERT_TRUE(saved.load(folder.file("playlist.dat")));
    EXPECT_EQ(saved.count(), c.savedCount) << c.savedCount;
  }
}

// The session's end runs the close path with its saves before the program may be ended, and
// the program ends in a moment, even with a file dialog whose thread does not answer; an end
// another program cancelled changes nothing.
TEST(ShellExit, TheSessionsEndSavesAndEndsWhileTheFileDialogHangs) {
  test::TempDir dir;
  settings() = Settings{};
  App app{dir.path()};
  test::openHiddenWindow(app, 640, 400);
  app.life.initialized = true;
  installQuitHandling();
  app.playlist.addFile("/music/1.mp3");
  app.playlist.addFile("/music/2.mp3");
  app.player.setVolume(0.4f);
  auto released = std::make_shared<std::atomic<bool>>(false);
  app.fileChooser().setRunner([released](const FileDialogOptions&, const std::atomic<bool>*) {
    while (!released->load()) sleepMs(10);
    return std::string();
  });
  ASSERT_TRUE(app.fileChooser().start({}, [](const std::string&) {}));
  std::atomic<int> ran{0};
  auto loopRuns = [&] {  // a task posted now runs: the loop goes on
    int before = ran;
    app.postTask([&ran] { ++ran; });
    for (uint32_t start = tickCount(); ran == before && tickCount() - start < 3000;) sleepMs(10);
    return ran > before;
  };
  bool agreed = false, wentOn = false, savedAtReturn = false;
  std::atomic<uint32_t> asked{0};
  std::thread session([&] {
    if (!loopRuns()) return;
    agreed = test::endSession(app.window.handle(), true);
    wentOn = loopRuns();
    asked = tickCount();
    test::endSession(app.window.handle());
    savedAtReturn = fileExists(dir.file("playlist.dat"));
  });
  app.run();
  uint32_t took = tickCount() - asked;
  session.join();
  released->store(true);
  EXPECT_TRUE(agreed);
  EXPECT_TRUE(wentOn) << "a cancelled end closed the program";
  EXPECT_LT(took, 3000u);
  if (test::sessionEndWaitsForTheClose()) {
    EXPECT_TRUE(savedAtReturn);
  }
  Playlist saved;
  ASSERT_TRUE(saved.load(dir.file("playlist.dat")));
  EXPECT_EQ(saved.count(), 2);
  EXPECT_NE(dir.read("vell_player.ini").find("volume=0.40\n"), std::string::npos);
}

TEST(ShellStart, HostileStateFilesStillStart) {
  test::TempDir dir;
  settings() = Settings{};
  DataPaths paths;  // settings and history in separate folders, as in the desktop's folders
  paths.configDir = dir.file("config");
  paths.dataDir = paths.builtinDir = dir.file("data");
  dir.write("config/vell_player.ini", "\xEF\xBB\xBFwindowX=-99999\nwindowY=40000\nwindowW=30000\nwindowH=20000\nshowPlaylist=1\n");
  std::string dead = test::endedProcessId();  // a process id no process has any more
  std::string stale = dir.write("data/podcast_history.ini.tmp" + dead, std::string(4096, 'x'));
  std::string staleSettings = dir.write("config/vell_player.ini.tmp" + dead, "x");
  std::string foreign = dir.write("data/notes.txt.tmp" + dead, "x");  // not one of the program's files
  {
    App app{paths};
    ASSERT_TRUE(app.create(""));
    Rect work = app.window.usableBounds();
    int x = 0, y = 0, w = 0, h = 0;
    app.window.position(x, y);
    app.window.size(w, h);
    EXPECT_TRUE(x >= work.x && y >= work.y && w <= work.w && h <= work.h) << x << "," << y << " " << w << "x" << h;
    EXPECT_TRUE(app.playlistPanelShown());  // the saved panel opens at start
    app.requestClose();
  }
  EXPECT_EQ(std::tuple(fileExists(stale), fileExists(staleSettings), fileExists(foreign)), std::tuple(false, false, true));
}

TEST(ShellStart, SavedPlacementIsBroughtOntoTheWorkArea) {
  // Fits: as saved; too wide: cut and moved back; far off: left + 100; below the minimum: the default.
  const Rect cases[][2] = {{{100, 100, 800, 600}, {100, 100, 800, 600}}, {{100, 100, 30000, 720}, {0, 80, 1280, 720}},
                           {{-5000, 100, 800, 600}, {100, 100, 800, 600}}, {{10, 2000000000, 100, 100}, {0, 50, 1280, 720}}};
  for (const auto& [saved, e] : cases) {
    Rect r = startPlacement(saved, {0, 0, 1280, 800});
    EXPECT_EQ(std::tuple(r.x, r.y, r.w, r.h), std::tuple(e.x, e.y, e.w, e.h)) << saved.x << "," << saved.y;
  }
}

}  // namespace
}  // namespace vell
