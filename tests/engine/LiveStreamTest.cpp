// Tests of live network streams: drops, outages, HLS, chained Ogg, and the connection job.
#include <gtest/gtest.h>

#include "catalog/PodcastFeeds.h"
#include "engine/ConnectJob.h"
#include "engine/YtDlpResolver.h"
#include "support/DiskAudio.h"
#include "support/EngineFixtures.h"
#include "support/HttpServer.h"
#include "support/Media.h"

namespace vell {
namespace {

using test::LogCapture;
using test::PlayerRun;
using test::waitMs;

const char kEofLine[] = "Live stream EOF - reconnecting";

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
    // A head start so the open can probe, then 64 kbit/s in 100 ms pieces.
    if (!c.sendPaced(mp3.substr(0, 8000 * perConnectionMs / 1000 + 5600), 8000, 6400)) return;
    droppedAt = tickCount();
    ++drops;
  }};
  RadioServer(int ms, int downMs) : perConnectionMs(ms), downAfterDropMs(downMs) {}
};

TEST(LiveStream, ServerThatStaysDownIsGivenUpAfterTheLimit) {
  std::vector<int> pauses;
  std::mutex pausesLock;
  auto radio = std::make_unique<RadioServer>(60000, 0);  // never drops by itself, however slow the open
  PlayerRun r;
  r.player.reconnectSleep = [&](int ms) {
    std::lock_guard<std::mutex> lock(pausesLock);
    pauses.push_back(ms);
  };
  r.player.reconnectLimit = 4;  // the real limit is 30; every attempt here costs FFmpeg's own retries
  ASSERT_TRUE(r.player.openUrl(radio->server.url("/stream"), false));
  r.player.play();
  waitMs(300);
  radio.reset();  // the server goes away for good
  for (int i = 0; i < 300 && r.ended.load() == 0; ++i) waitMs(50);
  EXPECT_EQ(r.ended.load(), 1);
  r.player.close();
  std::lock_guard<std::mutex> lock(pausesLock);
  // The first failure follows the run of read errors, the rest the end of the input.
  EXPECT_EQ(pauses, (std::vector<int>{400, 400, 800, 1500}));
}

// Short drops are resumed at once; a longer outage is bridged by the player's reconnection.
TEST(LiveStream, DropsAndOutagesAreBridgedWithoutStopping) {
  for (int downMs : {0, 3500}) {
    SCOPED_TRACE(downMs);
    RadioServer radio(1000, downMs);
    LogCapture log;
    PlayerRun r;
    ASSERT_TRUE(r.player.openUrl(radio.server.url("/stream"), false));
    ASSERT_TRUE(r.player.isLive());
    EXPECT_FALSE(r.player.audioOutput().blockingWrite.load());
    r.player.play();
    bool sawReconnecting = false;
    // A second drop means it played again after the first.
    test::waitFor([&] {
      sawReconnecting |= r.player.reconnecting();
      return radio.drops.load() >= 2;
    }, 7500);
    waitMs(300);
    EXPECT_GE(radio.drops.load(), 2);
    EXPECT_EQ(r.ended.load(), 0);
    EXPECT_EQ(r.player.state(), Player::Playing);
    if (downMs == 0) {
      EXPECT_LE(log.count(kEofLine), radio.drops.load());  // a drop is never reported twice
    } else {
      EXPECT_TRUE(sawReconnecting);
      EXPECT_GE(log.count("Live stream errors - forcing reconnect") + log.count(kEofLine), 1);
    }
  }
}

// A plain static server: no byte ranges, every request counted. Of a master playlist's two
// live variants only the one played goes on being fetched, its playlist reloaded at its pace.
TEST(LiveStream, HlsFromAServerWithoutRangesFetchesOnlyThePlayedVariant) {
  // Twelve one-second segments cut from one stream, so that time runs on across them.
  std::string ts = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=12 -c:a aac -f mpegts", "ts"));
  const size_t segment = ts.size() / 12 / 188 * 188;
  const uint32_t start = tickCount();
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    const std::string& t = req.target;
    if (t == "/live.m3u8") {
      c.respond(200, "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000\n/v1.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=128000\n/v2.m3u8\n",
                "application/vnd.apple.mpegurl");
    } else if (t == "/v1.m3u8" || t == "/v2.m3u8") {  // a window of three segments, moving on every second
      uint32_t seq = (tickCount() - start) / 1000;
      std::string list = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(seq) + "\n";
      for (uint32_t i = seq; i < seq + 3; ++i) list += "#EXTINF:1.0,\n" + t.substr(0, 3) + "/" + std::to_string(i % 12) + ".ts\n";
      c.respond(200, list, "application/vnd.apple.mpegurl");
    } else {
      size_t n = std::strtoul(t.c_str() + 4, nullptr, 10);
      c.respond(200, ts.substr(n * segment, segment), "video/mp2t");
    }
  });
  MediaSource source;
  ASSERT_TRUE(source.open(server.url("/live.m3u8"), false));
  test::PacketGuard pkt;
  int packets = 0;
  for (uint32_t t0 = tickCount(); tickCount() - t0 < 4000 && source.readPacket(pkt.p) == 1; ++packets)
    av_packet_unref(pkt.p);
  source.close();
  EXPECT_GE(packets, 150);  // segments were fetched and read
  size_t v1 = server.requestCount("/v1"), v2 = server.requestCount("/v2");  // playlist and segments
  EXPECT_GE(std::max(v1, v2), 8u);
  EXPECT_LE(std::min(v1, v2), 3u);  // its playlist and what the open probed
  EXPECT_LT(server.requestCount("/live.m3u8") + server.requestCount("/v1.m3u8") + server.requestCount("/v2.m3u8"), 12u);
}

// An Ogg station, Vorbis or Opus: each song a chained stream with its own tags, here also its
// own rate and channel count. Each song's title is shown and the sound goes on into the second.
TEST(LiveStream, ChainedOggSongsAreNamedAndKeepSounding) {
  for (const char* codec : {"libvorbis", "libopus"}) {
    SCOPED_TRACE(codec);
    auto song = [&](const char* tone, const char* layout, const char* tags) {
      return test::mediaBytes(test::makeMedia(std::string("-f lavfi -i sine=duration=3:") + tone + " -c:a " + codec + " " + layout +
                                              " " + tags, "ogg"));
    };
    const std::string first = song("frequency=440:sample_rate=48000", "-ac 2", "-metadata TITLE='First Song' -metadata ARTIST='Band A'");
    const std::string second = song("frequency=660:sample_rate=24000", "-ac 1", "-metadata TITLE='Second Song' -metadata ARTIST='Band B'");
    test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) {
      c.send("HTTP/1.0 200 OK\r\nContent-Type: application/ogg\r\nicy-name: Ogg FM\r\n\r\n");
      // The first song at once, as a server's burst on connect, then the second at its real pace.
      if (c.sendPaced(first + second, second.size() / 3, first.size())) c.wait(30000);
    });
    test::DiskRun disk;
    std::vector<std::string> titles;
    {
      PlayerRun r;
      ASSERT_TRUE(r.player.openUrl(server.url("/stream.ogg"), false));
      r.player.play();
      test::waitFor([&] {  // a second into the second song
        std::string title;
        if (r.player.source().pollStreamTitle(title)) titles.push_back(title);
        return r.player.audioOutput().heardSeconds() > 4.0;
      }, 10000);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Band A - First Song", "Band B - Second Song"}));
    std::vector<float> pcm = disk.samples();
    const size_t rate = 48000, begin = test::nextFrame(pcm, 0, true);
    size_t end = pcm.size() / 2, silence = 0;
    while (end > begin && pcm[2 * (end - 1)] == 0.0f) --end;
    ASSERT_GT(end, begin + 7 * rate / 2);  // into the second song
    for (size_t f = begin, run = 0; f < end; ++f) silence = std::max(silence, run = pcm[2 * f] == 0.0f ? run + 1 : 0);
    EXPECT_LT(silence, rate / 20);  // no gap at the chain boundary
    EXPECT_NEAR(test::toneFrequency(pcm, begin + rate / 2, begin + 2 * rate), 440.0, 3.0);
    EXPECT_NEAR(test::toneFrequency(pcm, end - rate / 2, end), 660.0, 4.0);
  }
}

// A podcast episode with a length ends once and is never reopened; a station that closes after
// 60 KB each time is reopened with the back-off of failed attempts, never in a tight loop.
TEST(LiveStream, EndsAreNeverReopenedInALoop) {
  std::string episode = test::mediaBytes(test::sineMp3(1.0));
  std::string station = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=10 -c:a libmp3lame -b:a 320k", "mp3"));
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    if (req.target == "/episode.mp3")
      c.respondFile(req, episode, "audio/mpeg");
    else
      c.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + station.substr(0, 60000));
  });
  for (bool podcast : {true, false}) {
    SCOPED_TRACE(podcast ? "podcast" : "station");
    const std::string path = podcast ? "/episode.mp3" : "/stream";
    LogCapture log;
    PlayerRun r;
    ASSERT_TRUE(r.player.openUrl(server.url(path), podcast));
    EXPECT_EQ(std::make_pair(r.player.isLive(), r.player.podcastRequest()), std::make_pair(!podcast, podcast));
    r.player.play();
    for (int i = 0; i < 60 || (podcast && i < 160 && r.ended.load() == 0); ++i) waitMs(50);
    EXPECT_LE(server.requestCount(path), 10u);
    if (podcast) {
      EXPECT_EQ(r.ended.load(), 1);
      EXPECT_EQ(log.count(kEofLine), 0);
    }
  }
}

// A playlist from the network names a file on this machine: HLS segments and PLS entries alike are refused.
TEST(LiveStream, RemotePlaylistsCannotReachLocalFiles) {
  test::TempDir dir;
  std::string ts = test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=2 -c:a aac -f mpegts", "ts"));
  std::string local = dir.write("secret.ts", ts);
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    const std::string& t = req.target;
    if (t == "/seg.ts") c.respondFile(req, ts, "video/mp2t");
    else if (t.size() > 4 && t.compare(t.size() - 4, 4, ".pls") == 0)
      c.respond(200, "[playlist]\nNumberOfEntries=1\nFile1=" + (t == "/file.pls" ? "file://" + local : local) + "\n", "audio/x-scpls");
    else
      c.respondFile(req, "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n" + (t == "/local.m3u8" ? "file://" + local : "/seg.ts") +
                             "\n#EXT-X-ENDLIST\n", "application/vnd.apple.mpegurl");
  });
  MediaSource source;
  EXPECT_TRUE(source.open(server.url("/remote.m3u8"), false));  // segments on the network: fine
  EXPECT_FALSE(source.open(server.url("/local.m3u8"), false));

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
  }
  EXPECT_EQ(log.count("PLS entry refused, not a network address: file://" + local + "\n"), 1);
  EXPECT_EQ(log.count("PLS entry refused, not a network address: " + local + "\n"), 1);
}

// Each way in: a direct URL, a PLS playlist, a video-site page through the resolver; with
// the fall-backs when the first attempt fails.
TEST(ConnectJob, OpensEachWayInOrFallsBack) {
  std::string mp3 = test::mediaBytes(test::sineMp3(2.0));
  test::HttpServer server([&](const test::HttpRequest& r, test::HttpConnection& c) { c.respondFile(r, mp3, "audio/mpeg"); });
  const std::string media = server.url("/stream");
  test::TempDir dir;
  std::string tool = test::fakeTool(dir, "yt-dlp", "printf 'Clip\\ttitle\\n" + media + "\\n'");
  std::string dead = test::fakeTool(dir, "dead", "echo T\necho http://127.0.0.1:1/x");
  std::string none = "/nonexistent/yt-dlp";
  int plsAsked = 0;
  PlsResolver pls = [&](const std::string&, int) { return ++plsAsked, media; };
  const char* retry = "First attempt failed, retrying as generic";
  // Each attempt: whether it opens, the title it finds, and how often (n) it writes `line`.
  struct Row { std::string url, tool; bool podcast, success; std::string title; const char* line; int n; } rows[] = {
      {media, none, false, true, "", retry, 0},
      {"http://127.0.0.1:1/list.pls", none, false, true, "", retry, 0},
      {"http://127.0.0.1:1/LIST.PLS", none, false, false, "", retry, 1},
      {"https://youtu.be/abc", tool, false, true, "Clip title", retry, 0},  // the title cut to one line
      {"https://youtu.be/abc", dead, false, false, "", retry, 0},  // no direct try of the page
      {"https://youtu.be/abc", none, false, false, "", "yt-dlp failed, trying direct open", 1},
      {"http://127.0.0.1:1/nothing.mp3", none, true, false, "", retry, 1},
  };
  Player player;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.url + " " + row.tool);
    LogCapture log;
    YtDlpResolver resolver(row.tool);
    ConnectJob job(player, row.url, row.podcast);
    runConnectJob(job, resolver, pls);
    EXPECT_EQ(job.success, row.success);
    EXPECT_TRUE(!row.success || job.resolvedUrl == media) << job.resolvedUrl;
    EXPECT_EQ(job.title, row.title);
    EXPECT_EQ(log.count(row.line), row.n);
    player.close();
  }
  EXPECT_EQ(plsAsked, 1);  // only the lower-case extension names a playlist
}

// Servers that never give media, and an attempt cancelled from the window: each ends within
// its time with a handful of requests, never a flood.
TEST(ConnectJob, HostileServersFailInTimeWithFewRequests) {
  std::string mp3 = test::mediaBytes(test::sineMp3(2.0));
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    const std::string& t = req.target;
    if (t == "/page") c.respond(200, "<html><body>" + std::string(2000, 'w') + "</body></html>", "text/html");
    if (t == "/self.m3u8")  // a master playlist whose only variant is itself
      c.respond(200, "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000\n/self.m3u8\n", "application/vnd.apple.mpegurl");
    if (t == "/endless.m3u8") {  // a playlist that never ends
      c.send("HTTP/1.1 200 OK\r\nContent-Type: application/vnd.apple.mpegurl\r\n\r\n#EXTM3U\n#EXT-X-TARGETDURATION:2\n");
      for (int i = 0; c.send("#EXTINF:2.0,\n/s" + std::to_string(i) + ".ts\n"); ++i) continue;
    }
    if (t == "/trickle") {
      c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
      c.sendPaced(mp3, 10);
    }
    if (t == "/silent") c.wait(30000);
  });
  struct Case { const char* path; size_t maxRequests; int budgetMs, cancelAfterMs, maxMs; } cases[] = {
               {"/page", 6, 1500, 0, 2500},        {"/self.m3u8", 2 * (MediaSource::kMaxNestedOpens + 2), 1500, 0, 2500},
               {"/endless.m3u8", 4, 1500, 0, 2500}, {"/trickle", 4, 1500, 0, 2500},
               {"/silent", 4, 1500, 0, 2500},       {"/silent", 4, ConnectJob::kBudgetMs, 300, 1000}};
  Player player;
  YtDlpResolver resolver("/nonexistent/yt-dlp");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    size_t before = server.requestCount(c.path);
    ConnectJob job(player, server.url(c.path), false);
    job.budgetMs = c.budgetMs;
    std::thread canceller([&] {
      waitMs(c.cancelAfterMs);
      job.cancelled = c.cancelAfterMs > 0;
    });
    uint32_t t0 = tickCount();
    runConnectJob(job, resolver, nullptr);
    canceller.join();
    EXPECT_FALSE(job.success);
    EXPECT_LT(tickCount() - t0, static_cast<uint32_t>(c.maxMs));
    EXPECT_LE(server.requestCount(c.path) - before, c.maxRequests);
    player.close();
  }
}

}  // namespace
}  // namespace vell
