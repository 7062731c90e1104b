#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "catalog/PodcastFeeds.h"
#include "engine/ConnectJob.h"
#include "engine/LiveReconnect.h"
#include "engine/Player.h"
#include "engine/YtDlpResolver.h"
#include "platform/Clock.h"
#include "support/HttpServer.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "EngineTestUtil.h"

namespace vell {
namespace {

using test::LogCapture;

// An Icecast-like source: MP3 at about real-time pace with no length, dropping the
// connection after `perConnectionMs`.
struct RadioServer {
  std::string mp3 = test::mediaBytes(test::makeMedia("-f lavfi -i sine=frequency=500:duration=20 -c:a libmp3lame -b:a 64k", "mp3"));
  int perConnectionMs;
  // After a drop the server stays away for a while, so that FFmpeg's own quick resume
  // fails and the player's reconnection has to step in.
  int downAfterDropMs = 0;
  std::atomic<uint32_t> droppedAt{0};
  std::atomic<int> drops{0};
  test::HttpServer server{[this](const test::HttpRequest&, test::HttpConnection& c) {
    uint32_t dropped = droppedAt.load();
    if (dropped != 0 && tickCount() - dropped < static_cast<uint32_t>(downAfterDropMs)) {
      c.respond(503, "down");
      return;
    }
    c.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: Drop FM\r\n\r\n");
    size_t off = 0;
    const size_t chunk = 8000 / 10;  // 64 kbit/s in 100 ms pieces
    for (int t = 0; t < perConnectionMs && off < mp3.size(); t += 100) {
      // A head start so the open can probe, then real-time pace.
      size_t n = t == 0 ? chunk * 8 : chunk;
      if (!c.send(mp3.substr(off, n))) return;
      off += n;
      if (!c.wait(100)) return;
    }
    droppedAt = tickCount();
    ++drops;
  }};
  RadioServer(int ms, int downMs) : perConnectionMs(ms), downAfterDropMs(downMs) {}
};

TEST(LiveReconnectPolicy, ElevenQuickErrorsForceAReconnectSpacedOnesNever) {
  LiveReconnect quick;
  uint32_t t = 100000;
  for (int i = 1; i <= 10; ++i) EXPECT_FALSE(quick.readError(t += 1400, true)) << i;
  EXPECT_TRUE(quick.readError(t += 1400, true));
  LiveReconnect notLive;
  for (int i = 0; i < 50; ++i) EXPECT_FALSE(notLive.readError(t += 10, false));

  LiveReconnect spaced;
  for (int i = 0; i < 50; ++i) EXPECT_FALSE(spaced.readError(t += 1501, true));
  EXPECT_EQ(spaced.errorCount, 1);

  LiveReconnect exhausted;
  exhausted.failureCount = LiveReconnect::kMaxFailures;
  for (int i = 0; i < 20; ++i) EXPECT_FALSE(exhausted.readError(t += 10, true));
}

TEST(LiveReconnectPolicy, BackOffSequences) {
  std::vector<int> errors, ends;
  for (int f = 1; f <= 6; ++f) {
    errors.push_back(LiveReconnect::errorBackoffMs(f));
    ends.push_back(LiveReconnect::endBackoffMs(f));
  }
  EXPECT_EQ(errors, (std::vector<int>{400, 800, 1500, 1500, 1500, 1500}));
  EXPECT_EQ(ends, (std::vector<int>{200, 400, 800, 1500, 1500, 1500}));

  // Ends soon after a reconnection back off in a row; one after a long play does not.
  LiveReconnect r;
  EXPECT_EQ(r.reopenPauseMs(5000), 0);  // the first connection
  std::vector<int> pauses;
  for (uint32_t t = 10000; t < 15000; t += 1000) {
    r.reconnected(t);
    pauses.push_back(r.reopenPauseMs(t + 100));
  }
  EXPECT_EQ(pauses, (std::vector<int>{200, 400, 800, 1500, 1500}));
  r.reconnected(20000);
  EXPECT_EQ(r.reopenPauseMs(20000 + LiveReconnect::kEarlyEndMs), 0);
  r.reconnected(40000);
  EXPECT_EQ(r.reopenPauseMs(40100), 200);
}

TEST(LiveStream, ServerThatStaysDownIsGivenUpAfterTheLimit) {
  std::atomic<int> ended{0};
  std::vector<int> pauses;
  std::mutex pausesLock;
  auto radio = std::make_unique<RadioServer>(800, 0);
  Player player;
  player.onEnded = [&] { ++ended; };
  player.reconnectSleep = [&](int ms) {
    std::lock_guard<std::mutex> lock(pausesLock);
    pauses.push_back(ms);
  };
  player.reconnectLimit = 4;  // the real limit is 30; every attempt here costs FFmpeg's own retries
  ASSERT_TRUE(player.openUrl(radio->server.url("/stream"), false));
  player.play();
  sleepMs(300);
  radio.reset();  // the server goes away for good
  for (int i = 0; i < 300 && ended.load() == 0; ++i) sleepMs(50);
  EXPECT_EQ(ended.load(), 1);
  player.close();
  std::lock_guard<std::mutex> lock(pausesLock);
  ASSERT_EQ(pauses.size(), 4u);
  // The first failure follows the run of read errors, the rest the end of the input.
  EXPECT_EQ(pauses, (std::vector<int>{400, 400, 800, 1500}));
}

TEST(LiveStream, ShortDropsAreResumedWithoutStopping) {
  RadioServer radio(1000, 0);
  LogCapture log;
  std::atomic<int> ended{0};
  Player player;
  player.onEnded = [&] { ++ended; };
  ASSERT_TRUE(player.openUrl(radio.server.url("/stream"), false));
  ASSERT_TRUE(player.isLive());
  EXPECT_FALSE(player.audioOutput().blockingWrite.load());
  player.play();
  sleepMs(3500);
  EXPECT_EQ(ended.load(), 0);
  EXPECT_EQ(player.state(), Player::Playing);
  EXPECT_GE(radio.drops.load(), 2);
  EXPECT_GE(radio.server.connectionCount(), 3u);
  // A drop is never reported more than once.
  EXPECT_LE(log.count("[VellPlayer] Live stream EOF - reconnecting...\n"), radio.drops.load());
  player.close();
}

TEST(LiveStream, LongOutageIsBridgedByReconnecting) {
  RadioServer radio(1000, 3500);
  LogCapture log;
  std::atomic<int> ended{0};
  Player player;
  player.onEnded = [&] { ++ended; };
  ASSERT_TRUE(player.openUrl(radio.server.url("/stream"), false));
  player.play();
  bool sawReconnecting = false;
  // Wait for the stream to come back after the outage: a second drop means it played again.
  for (int i = 0; i < 150 && radio.drops.load() < 2; ++i) {
    sawReconnecting |= player.reconnecting();
    sleepMs(50);
  }
  EXPECT_GE(radio.drops.load(), 2);
  EXPECT_TRUE(sawReconnecting);
  EXPECT_EQ(ended.load(), 0);
  EXPECT_GE(log.count("[VellPlayer] Live stream errors - forcing reconnect\n") +
                log.count("[VellPlayer] Live stream EOF - reconnecting...\n"),
            1);
  player.close();
}

TEST(LiveStream, PodcastWithALengthIsNeverReopened) {
  std::string mp3 = test::mediaBytes(test::sineMp3(1.0));
  test::HttpServer server(
      [&](const test::HttpRequest& r, test::HttpConnection& c) { c.respondFile(r, mp3, "audio/mpeg"); });
  LogCapture log;
  Player player;
  std::atomic<int> ended{0};
  player.onEnded = [&] { ++ended; };
  ASSERT_TRUE(player.openUrl(server.url("/episode.mp3"), true));
  EXPECT_FALSE(player.isLive());
  EXPECT_TRUE(player.podcastRequest());
  player.play();
  for (int i = 0; i < 160 && ended.load() == 0; ++i) sleepMs(50);
  EXPECT_EQ(ended.load(), 1);
  EXPECT_EQ(log.count("[VellPlayer] Live stream EOF - reconnecting...\n"), 0);
  player.close();
}

TEST(LiveStream, RemotePlaylistCannotReachLocalFiles) {
  test::TempDir dir;
  std::string ts = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=2 -c:a aac -f mpegts", "ts"));
  std::string local = dir.write("secret.ts", ts);
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    std::string segment = req.target == "/local.m3u8" ? "file://" + local : "/seg.ts";
    if (req.target == "/seg.ts") c.respondFile(req, ts, "video/mp2t");
    else
      c.respondFile(req, "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n" + segment + "\n#EXT-X-ENDLIST\n",
                    "application/vnd.apple.mpegurl");
  });
  MediaSource source;
  EXPECT_TRUE(source.open(server.url("/remote.m3u8"), false));  // segments on the network: fine
  EXPECT_FALSE(source.open(server.url("/local.m3u8"), false));  // a segment on this disk: refused
}

TEST(ConnectJob, OpensRestoresVolumeAndFallsBackToGeneric) {
  RadioServer radio(3000, 0);
  Player player;
  player.setVolume(0.3f);
  player.setMuted(true);
  YtDlpResolver resolver("/nonexistent/yt-dlp");
  ConnectJob job(player, radio.server.url("/stream"), false);
  runConnectJob(job, resolver, nullptr);
  EXPECT_TRUE(job.success);
  EXPECT_EQ(job.resolvedUrl, radio.server.url("/stream"));
  EXPECT_FLOAT_EQ(player.volume(), 0.3f);
  EXPECT_TRUE(player.muted());
  player.close();

  LogCapture log;
  ConnectJob failing(player, "http://127.0.0.1:1/nothing.mp3", true);
  runConnectJob(failing, resolver, nullptr);
  EXPECT_FALSE(failing.success);
  EXPECT_EQ(log.count("[VellPlayer] First attempt failed, retrying as generic\n"), 1);
}

TEST(ConnectJob, PlsIsResolvedOnlyWithItsLowerCaseExtension) {
  RadioServer radio(3000, 0);
  Player player;
  YtDlpResolver resolver("/nonexistent/yt-dlp");
  std::vector<std::string> asked;
  PlsResolver pls = [&](const std::string& url, int) {
    asked.push_back(url);
    return radio.server.url("/stream");
  };
  ConnectJob job(player, "http://127.0.0.1:1/list.pls", false);
  runConnectJob(job, resolver, pls);
  EXPECT_TRUE(job.success);
  EXPECT_EQ(job.resolvedUrl, radio.server.url("/stream"));
  player.close();
  ConnectJob upper(player, "http://127.0.0.1:1/LIST.PLS", false);
  runConnectJob(upper, resolver, pls);
  EXPECT_FALSE(upper.success);
  EXPECT_EQ(asked.size(), 1u);
}

TEST(ConnectJob, VideoSitePageThroughTheResolver) {
  RadioServer media(3000, 0);
  test::TempDir dir;
  std::string script = dir.write("yt-dlp", "#!/bin/sh\necho 'Clip title'\necho '" + media.server.url("/stream") + "'\n");
  chmod(script.c_str(), 0755);
  Player player;
  YtDlpResolver resolver(script);
  ConnectJob job(player, "https://youtu.be/abc", false);
  runConnectJob(job, resolver, nullptr);
  EXPECT_TRUE(job.success);
  EXPECT_EQ(job.title, "Clip title");
  player.close();

  // A resolved URL that does not open ends the attempt: no direct try of the page.
  std::string dead = dir.write("dead", "#!/bin/sh\necho 'T'\necho 'http://127.0.0.1:1/x'\n");
  chmod(dead.c_str(), 0755);
  LogCapture log;
  YtDlpResolver deadResolver(dead);
  ConnectJob failed(player, "https://youtu.be/abc", false);
  runConnectJob(failed, deadResolver, nullptr);
  EXPECT_FALSE(failed.success);
  EXPECT_EQ(log.count("[VellPlayer] First attempt failed, retrying as generic\n"), 0);

  // No tool: the page itself is tried.
  YtDlpResolver none("/nonexistent/yt-dlp");
  ConnectJob direct(player, "https://youtu.be/abc", false);
  runConnectJob(direct, none, nullptr);
  EXPECT_EQ(log.count("[VellPlayer] yt-dlp failed, trying direct open\n"), 1);
}

TEST(ConnectJob, CancelEndsAnAttemptThatNeverGetsAnAnswer) {
  test::HttpServer silent([](const test::HttpRequest&, test::HttpConnection& c) { c.wait(30000); });
  Player player;
  YtDlpResolver resolver("/nonexistent/yt-dlp");
  ConnectJob job(player, silent.url("/stream"), false);
  std::thread canceller([&] {
    sleepMs(300);
    job.cancelled = true;
  });
  uint32_t t0 = tickCount();
  runConnectJob(job, resolver, nullptr);
  canceller.join();
  EXPECT_FALSE(job.success);
  EXPECT_LT(tickCount() - t0, 1000u);
}

// Servers that never give media: each attempt ends in a failure within the attempt's time,
// with a handful of requests, never a flood.
TEST(ConnectJob, HostileServersFailInTimeWithFewRequests) {
  std::string mp3 = test::mediaBytes(test::sineMp3(2.0));
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    const std::string& t = req.target;
    if (t == "/page") c.respond(200, "<html><body>" + std::string(2000, 'w') + "</body></html>", "text/html");
    if (t == "/self.m3u8")  // a master playlist whose only variant is itself
      c.respond(200, "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000\n/self.m3u8\n", "application/vnd.apple.mpegurl");
    if (t == "/endless.m3u8") {  // a playlist that never ends
      c.send("HTTP/1.1 200 OK\r\nContent-Type: application/vnd.apple.mpegurl\r\n\r\n#EXTM3U\n#EXT-X-TARGETDURATION:2\n");
      for (int i = 0; c.send("#EXTINF:2.0,\n/s" + std::to_string(i) + ".ts\n"); ++i) {
      }
    }
    if (t == "/trickle") {
      c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
      c.sendPaced(mp3, 10);
    }
    if (t == "/silent") c.wait(30000);
  });
  struct Case {
    const char* path;
    size_t maxRequests;
  } cases[] = {{"/page", 6}, {"/self.m3u8", 2 * (MediaSource::kMaxNestedOpens + 2)}, {"/endless.m3u8", 4},
               {"/trickle", 4}, {"/silent", 4}};
  Player player;
  YtDlpResolver resolver("/nonexistent/yt-dlp");
  for (const Case& c : cases) {
    size_t before = server.requestCount(c.path);
    ConnectJob job(player, server.url(c.path), false);
    job.budgetMs = 1500;
    uint32_t t0 = tickCount();
    runConnectJob(job, resolver, nullptr);
    uint32_t took = tickCount() - t0;
    EXPECT_FALSE(job.success) << c.path;
    EXPECT_LT(took, 2500u) << c.path;
    EXPECT_LE(server.requestCount(c.path) - before, c.maxRequests) << c.path;
    player.close();
  }
}

// A plain static server: no byte ranges, every request counted.
TEST(LiveStream, HlsFromAServerWithoutRangesPlaysWithFewPlaylistRequests) {
  std::string ts = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=1 -c:a aac -f mpegts", "ts"));
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    if (req.target == "/live.m3u8")  // a master playlist with two variants
      c.respond(200, "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000\n/v1.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=128000\n/v2.m3u8\n",
                "application/vnd.apple.mpegurl");
    else if (req.target.rfind("/v", 0) == 0)
      c.respond(200, "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-MEDIA-SEQUENCE:0\n#EXTINF:1.0,\n/a.ts\n#EXTINF:1.0,\n/b.ts\n",
                "application/vnd.apple.mpegurl");
    else
      c.respond(200, ts, "video/mp2t");
  });
  MediaSource source;
  ASSERT_TRUE(source.open(server.url("/live.m3u8"), false));
  ASSERT_TRUE(source.hasAudio());
  AVPacket* pkt = av_packet_alloc();
  int packets = 0;
  for (uint32_t t0 = tickCount(); tickCount() - t0 < 3000 && packets < 60;) {
    if (source.readPacket(pkt) != 1) break;
    av_packet_unref(pkt);
    ++packets;
  }
  av_packet_free(&pkt);
  source.close();
  EXPECT_GE(packets, 60);  // segments were fetched and read
  EXPECT_GE(server.requestCount("/a.ts"), 1u);
  EXPECT_LT(server.requestCount("/live.m3u8") + server.requestCount("/v"), 20u);
}

// A station that closes after 60 KB each time: reopened, but with the back-off of failed
// attempts, never in a tight loop.
TEST(LiveStream, StationThatClosesEarlyIsReopenedWithBackOff) {
  std::string mp3 = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=10 -c:a libmp3lame -b:a 320k", "mp3"));
  test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3.substr(0, 60000));
  });
  Player player;
  ASSERT_TRUE(player.openUrl(server.url("/stream"), false));
  player.play();
  sleepMs(3000);
  player.close();
  EXPECT_LE(server.requestCount("/stream"), 10u);
}

TEST(ConnectJob, RemotePlsMayNotOpenLocalFiles) {
  test::TempDir dir;
  std::string local = dir.write("secret.mp3", test::mediaBytes(test::sineMp3(1.0)));
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    std::string target = req.target == "/file.pls" ? "file://" + local : local;
    c.respond(200, "[playlist]\nNumberOfEntries=1\nFile1=" + target + "\n", "audio/x-scpls");
  });
  LogCapture log;
  Player player;
  YtDlpResolver resolver("/nonexistent/yt-dlp");
  PlsResolver pls = [](const std::string& url, int budgetMs) {
    return resolvePls(url, kPlsTimeoutMs, static_cast<uint32_t>(budgetMs));
  };
  for (const char* path : {"/file.pls", "/bare.pls"}) {
    ConnectJob job(player, server.url(path), false);
    runConnectJob(job, resolver, pls);
    EXPECT_FALSE(job.success) << path;
    EXPECT_FALSE(player.source().isOpen()) << path;
    player.close();
  }
  EXPECT_EQ(log.count("[VellPlayer] PLS entry refused, not a network address: file://" + local + "\n"), 1);
  EXPECT_EQ(log.count("[VellPlayer] PLS entry refused, not a network address: " + local + "\n"), 1);
}

}  // namespace
}  // namespace vell
