#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/VirtualKeys.h"
#include "settings/Settings.h"
#include "support/HttpServer.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "AppHarness.h"

namespace vell {
namespace {

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

TEST_F(OpenMedia, SecondRequestWhileConnectingIsTurnedAway) {
  test::HttpServer slow([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.wait(600);
    c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3);
  });
  std::string toastDuringConnect;
  later(200, [&] {
    app.openMedia("http://127.0.0.1:1/other", "other", false);
    toastDuringConnect = app.toastText;
  });
  app.openMedia(slow.url("/stream"), "Slow FM", false);
  EXPECT_EQ(toastDuringConnect, "연결 중... 잠시 기다려주세요");
  EXPECT_EQ(app.player.state(), Player::Playing);
  EXPECT_EQ(app.toastText, "▶ Slow FM");
  EXPECT_EQ(app.window.title(), "Vell Player - Slow FM");
  EXPECT_TRUE(app.historyKey.empty());
  app.player.close();
}

// The connection thread closes and opens the player meanwhile: keys, media keys and drops
// that would reach the player or the playlist wait with the message instead.
TEST_F(OpenMedia, CommandsWhileConnectingShowTheWaitingMessage) {
  test::HttpServer slow([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.wait(800);
    c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3);
  });
  std::string file = test::sineMp3(1.0);
  app.playlist.addFile(file);
  app.playlist.addFile(file);
  app.playlist.setCurrent(0);
  std::function<void()> commands[] = {
      [&] { app.onKeyDown(vk::Space, false, false, false); },
      [&] { app.onKeyDown(vk::MediaStop, false, false, false); },
      [&] { app.onKeyDown(vk::Next, false, false, false); },
      [&] { app.onKeyDown(vk::MediaNextTrack, false, false, false); },
      [&] { app.onKeyDown('X', false, false, false); },
      [&] { app.onDropFiles({file}, 10, 10); },
  };
  std::vector<std::string> toasts;
  later(200, [&] {
    for (auto& command : commands) {
      app.toastText.clear();
      command();
      toasts.push_back(app.toastText);
    }
  });
  app.openMedia(slow.url("/stream"), "Slow FM", false);
  ASSERT_EQ(toasts.size(), std::size(commands));
  for (size_t i = 0; i < toasts.size(); ++i) EXPECT_EQ(toasts[i], "연결 중... 잠시 기다려주세요") << "command " << i;
  EXPECT_EQ(app.playlist.currentIndex(), 0);
  EXPECT_EQ(app.playlist.count(), 2);
  EXPECT_EQ(app.player.speed(), 1.0);
  EXPECT_EQ(app.player.state(), Player::Playing);
  EXPECT_EQ(app.player.url(), slow.url("/stream"));
  app.player.close();
}

TEST_F(OpenMedia, AStationClickWhileConnectingAbortsAndOpensTheNewOne) {
  test::HttpServer silent([](const test::HttpRequest&, test::HttpConnection& c) { c.wait(30000); });
  test::HttpServer radio([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3);
  });
  later(300, [&] { app.requestOpen(radio.url("/stream"), "Second FM", false); });
  uint32_t t0 = tickCount();
  app.openMedia(silent.url("/stream"), "Silent FM", false);
  EXPECT_LT(tickCount() - t0, 2000u);  // the first attempt gave up at once
  EXPECT_FALSE(app.retryOffered);      // a superseded attempt reports nothing
  pump(2000);                          // the queued request opens next
  EXPECT_EQ(app.player.url(), radio.url("/stream"));
  EXPECT_EQ(app.currentTitle, "Second FM");
  app.player.close();
}

TEST_F(OpenMedia, FailureOffersARetryThatTriesAgain) {
  std::atomic<int> requests{0};
  test::HttpServer broken([&](const test::HttpRequest&, test::HttpConnection& c) {
    ++requests;
    c.respond(200, "<html>not audio</html>", "text/html");
  });
  app.openMedia(broken.url("/page"), "Broken", false);
  EXPECT_TRUE(app.retryOffered);
  EXPECT_EQ(app.toastText, "연결 실패 — 화면을 클릭하여 재시도");
  EXPECT_EQ(app.lastAttempt.url, broken.url("/page"));
  EXPECT_EQ(app.window.title(), "Vell Player");
  int before = requests.load();
  ASSERT_GT(before, 0);
  // The retry button: 110 x 34 below the middle of the empty screen.
  ClientLayout l = app.computeLayout();
  int x = (l.width - l.sidePanelWidth) / 2;
  int y = (l.topBar + l.controlBarTop) / 2 + 42 + 17;
  app.onMouseDown(x, y, 1);
  EXPECT_GT(requests.load(), before);
  EXPECT_TRUE(app.retryOffered);  // failed again, offered again
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
  ASSERT_EQ(app.player.state(), Player::Playing);
  ASSERT_TRUE(app.player.isLive());
  station.reset();  // for good
  pump(15000, [&] { return app.retryOffered; });
  EXPECT_TRUE(app.retryOffered);
  EXPECT_EQ(app.player.state(), Player::Stopped);  // no LIVE, no pause button, no counter
  EXPECT_FALSE(app.player.reconnecting());
  EXPECT_EQ(app.toastText, "연결 실패 — 화면을 클릭하여 재시도");
  EXPECT_EQ(app.lastAttempt.url, url);  // the retry click opens the station again
  EXPECT_EQ(app.lastAttempt.name, "Gone FM");
}

TEST_F(OpenMedia, PodcastResumesFromItsStoredPosition) {
  std::string episode = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=60 -ac 1 -c:a libmp3lame -b:a 32k", "mp3"));
  test::HttpServer server(
      [&](const test::HttpRequest& r, test::HttpConnection& c) { c.respondFile(r, episode, "audio/mpeg"); });
  std::string url = server.url("/episode.mp3");
  app.history.update(url, 30.0, 60.0);
  app.openMedia(url, "Episode", true);
  ASSERT_EQ(app.player.state(), Player::Playing);
  EXPECT_EQ(app.toastText, "▶ 0:30부터 이어듣기");
  EXPECT_EQ(app.historyKey, url);
  EXPECT_EQ(settings().lastPodcastUrl, url);
  EXPECT_EQ(settings().lastPodcastName, "Episode");
  app.player.close();

  app.history.update(url, 57.6, 60.0);  // 96 %: from the start
  app.openMedia(url, "Episode", true);
  EXPECT_EQ(app.toastText, "▶ Episode");
  app.player.close();
}

}  // namespace
}  // namespace vell

namespace vell {
namespace {

TEST_F(OpenMedia, ClosingTheWindowWhileConnectingEndsTheAttemptAndSaves) {
  test::HttpServer silent([](const test::HttpRequest&, test::HttpConnection& c) { c.wait(30000); });
  app.initialized = true;  // as after create: the close runs the whole shutdown
  app.player.setVolume(0.3f);
  settings().volume = 0.6f;
  later(300, [&] { app.requestClose(); });
  uint32_t t0 = tickCount();
  app.openMedia(silent.url("/stream"), "Silent FM", false);
  EXPECT_LT(tickCount() - t0, 2000u);
  EXPECT_TRUE(app.quitRequested);
  std::string ini = dir.read("vell_player.ini");
  // The volume of a closed-while-connecting session is not taken from the player.
  EXPECT_NE(ini.find("volume=0.60\n"), std::string::npos) << ini;
}

}  // namespace
}  // namespace vell

namespace vell {
namespace {

// A podcast URL given on the command line keeps its place as one opened from the dialog.
TEST(CommandLine, AnEpisodeUrlIsResumedOnTheNextStart) {
  settings() = Settings{};
  test::TempDir dir;
  std::string episode = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=60 -ac 1 -c:a libmp3lame -b:a 32k", "mp3"));
  test::HttpServer server(
      [&](const test::HttpRequest& r, test::HttpConnection& c) { c.respondFile(r, episode, "audio/mpeg"); });
  std::string url = server.url("/episode.mp3");
  {
    PodcastHistory stored;
    stored.update(url, 30.0, 60.0);
    ASSERT_TRUE(stored.save(dir.file("podcast_history.ini")));
  }
  App app{dir.path()};
  ASSERT_TRUE(app.create(url));
  EXPECT_EQ(app.historyKey, url);
  EXPECT_TRUE(app.player.podcastRequest());
  EXPECT_EQ(app.toastText, "▶ 0:30부터 이어듣기");
  app.player.close();
}

}  // namespace
}  // namespace vell
