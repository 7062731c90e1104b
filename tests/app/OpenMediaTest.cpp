// Opening network media: what waits for a running connection, what aborts it, failures and
// their retry, podcast resume, and a close in the middle of a connection.
#include <atomic>
#include <thread>

#include "support/HttpServer.h"
#include "support/Media.h"
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

// A 60 s podcast episode, served with byte ranges.
struct Episode {
  std::string bytes = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=60 -ac 1 -c:a libmp3lame -b:a 32k", "mp3"));
  test::HttpServer server{[this](const test::HttpRequest& r, test::HttpConnection& c) { c.respondFile(r, bytes, "audio/mpeg"); }};
  std::string url = server.url("/episode.mp3");
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
      [&] { key(vk::Space); },
      [&] { key(vk::MediaStop); },
      [&] { key(vk::Next); },
      [&] { key(vk::MediaNextTrack); },
      [&] { key('X'); },
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
  EXPECT_EQ(app.toastText, "▶ Slow FM");
  EXPECT_EQ(app.window.title(), "Vell Player - Slow FM");
  EXPECT_TRUE(app.historyKey.empty());  // a station keeps no place
  app.player.close();
}

TEST_F(OpenMedia, AStationClickWhileConnectingAbortsAndOpensTheNewOne) {
  test::HttpServer silent([](const test::HttpRequest&, test::HttpConnection& c) { c.wait(30000); });
  test::HttpServer radio([&](const test::HttpRequest&, test::HttpConnection& c) { c.send(kMpegOk + mp3); });
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
  EXPECT_EQ(app.window.title(), "Vell Player");
  int before = requests.load();
  ASSERT_GT(before, 0);
  // The retry button: 110 x 34 below the middle of the empty screen.
  ClientLayout l = app.computeLayout();
  click((l.width - l.sidePanelWidth) / 2, (l.topBar + l.controlBarTop) / 2 + 42 + 17);
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
  Episode ep;
  app.history.update(ep.url, 30.0, 60.0);
  app.openMedia(ep.url, "Episode", true);
  ASSERT_EQ(app.player.state(), Player::Playing);
  EXPECT_EQ(app.toastText, "▶ 0:30부터 이어듣기");
  EXPECT_EQ(app.historyKey, ep.url);
  EXPECT_EQ(settings().lastPodcastUrl, ep.url);
  EXPECT_EQ(settings().lastPodcastName, "Episode");
  app.player.close();
  app.history.update(ep.url, 57.6, 60.0);  // 96 %: from the start
  app.openMedia(ep.url, "Episode", true);
  EXPECT_EQ(app.toastText, "▶ Episode");
  app.player.close();
}

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
  // The volume of a closed-while-connecting session is not taken from the player.
  EXPECT_NE(dir.read("vell_player.ini").find("volume=0.60\n"), std::string::npos);
}

// A podcast URL given on the command line keeps its place as one opened from the dialog.
TEST(CommandLine, AnEpisodeUrlIsResumedOnTheNextStart) {
  settings() = Settings{};
  test::TempDir dir;
  Episode ep;
  PodcastHistory stored;
  stored.update(ep.url, 30.0, 60.0);
  ASSERT_TRUE(stored.save(dir.file("podcast_history.ini")));
  App app{dir.path()};
  ASSERT_TRUE(app.create(ep.url));
  EXPECT_EQ(app.historyKey, ep.url);
  EXPECT_TRUE(app.player.podcastRequest());
  EXPECT_EQ(app.toastText, "▶ 0:30부터 이어듣기");
  app.player.close();
}

}  // namespace
}  // namespace vell
