// Tests of network inputs: the headers each URL kind sends, ICY titles, the URL rules and the
// open bounds; live streams' drops, outages, HLS and chained Ogg; and the connection job.
#include <gtest/gtest.h>

#include <tuple>

#include "catalog/PodcastFeeds.h"
#include "engine/ConnectJob.h"
#include "engine/StationText.h"
#include "engine/YtDlpResolver.h"
#include "platform/Text.h"
#include "support/DiskAudio.h"
#include "support/EngineFixtures.h"
#include "support/HttpServer.h"
#include "support/Media.h"

namespace vell {
namespace {

using test::LogCapture;
using test::PlayerRun;
using test::waitMs;

TEST(NetworkSource, EachUrlKindSendsItsHeaders) {
  std::string mp3 = test::mediaBytes(test::sineMp3(1.0));
  test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) { c.respond(200, mp3, "audio/mpeg"); });
  struct Case {
    std::string path;
    bool podcast;
    std::vector<std::string> headerLines;
    std::vector<std::string> absentLines;
  } cases[] = {
      {"/stream", false, {"Icy-MetaData: 1"}, {"Origin:"}},
      {"/episode.mp3", true,
       {"Accept: audio/mpeg, audio/aac, audio/*, */*", "Accept-Encoding: identity"},
       {"Origin:", "Icy-MetaData"}},
      {"/videoplayback?host=googlevideo.com", false,
       {"Origin: https://www.youtube.com", "Accept: */*", "Referer: https://www.youtube.com/"},
       {"Accept-Encoding: identity", "Icy-MetaData"}},
  };
  for (const Case& c : cases) {
    MediaSource source;
    size_t before = server.requests().size();
    ASSERT_TRUE(source.open(server.url(c.path), c.podcast)) << c.path;
    EXPECT_EQ(source.info().bitrateKbps, 128);  // the codec's rate when the server names none
    EXPECT_EQ(source.info().stationName, "");
    auto requests = server.requests();
    ASSERT_GT(requests.size(), before);
    const test::HttpRequest& r = requests[before];
    EXPECT_EQ(r.target, c.path);
    for (const auto& line : c.headerLines) EXPECT_NE(r.rawHeaders.find(line + "\r\n"), std::string::npos) << c.path << ": " << line;
    for (const auto& line : c.absentLines) EXPECT_EQ(r.rawHeaders.find(line), std::string::npos) << c.path << ": " << line;
  }
}

// An episode behind a redirect: the redirecting server hears of it once per open, however
// often the listener seeks (FFmpeg takes a redirect as temporary and would follow it again).
TEST(NetworkSource, SeeksInAnEpisodeBehindARedirectGoStraightToItsHost) {
  std::string mp3 = test::mediaBytes(test::sineMp3(20.0));
  test::HttpServer server([&](const test::HttpRequest& r, test::HttpConnection& c) {
    if (r.target == "/episode.mp3")
      c.respond(302, "", "text/plain", "Location: /cdn/episode.mp3\r\n");
    else
      c.respondFile(r, mp3, "audio/mpeg");
  });
  MediaSource source;
  ASSERT_TRUE(source.open(server.url("/episode.mp3"), true));
  test::PacketGuard packet;
  for (double t : {12.0, 3.0, 15.0}) {
    ASSERT_TRUE(source.seek(t));
    ASSERT_EQ(source.readPacket(packet.p), 1);
    av_packet_unref(packet.p);
  }
  EXPECT_EQ(server.requestCount("/episode.mp3"), 1u);
  EXPECT_GE(server.requestCount("/cdn/"), 3u);  // the seeks reached the host
}

// An Icecast-like body: MP3 bytes with a metadata block after every `metaint` bytes. The
// title changes after the fourth block; `titleAt` gets the body offset of that change.
std::string icyBody(const std::string& mp3, size_t metaint, const std::string& second, size_t& titleAt) {
  std::string out;
  size_t off = 0;
  for (int block = 0; off < mp3.size(); ++block) {
    size_t n = std::min(metaint, mp3.size() - off);
    out += mp3.substr(off, n);
    off += n;
    if (n < metaint) break;
    if (block == 4) titleAt = out.size();
    std::string meta = "StreamTitle='" + (block < 4 ? std::string("Rock 'n' Roll';s A") : second) + "';StreamUrl='';";
    size_t len16 = (meta.size() + 15) / 16;
    meta.resize(len16 * 16, '\0');
    out.push_back(static_cast<char>(len16));
    out += meta;
  }
  return out;
}

// At real-time pace the reader sits inside the demuxer almost all the time: the window,
// polling from its own thread, must still see each new title promptly.
TEST(NetworkSource, SongTitleOfAPacedStationReachesAnotherThread) {
  const size_t metaint = 4000, rate = 8000;  // 64 kbit/s: a title block every half second
  size_t titleAt = 0;
  // A Korean station: its name and titles in CP949.
  std::string name, songB;
  ASSERT_TRUE(utf8ToCp949("테스트 FM ", name) && utf8ToCp949("노래 B", songB));
  std::string body = icyBody(test::mediaBytes(test::makeMedia("-f lavfi -i sine=duration=6 -c:a libmp3lame -b:a 64k", "mp3")),
                             metaint, songB + "\r\nInjected line", titleAt);
  std::atomic<uint32_t> changeSent{0};
  test::HttpServer server([&](const test::HttpRequest& req, test::HttpConnection& c) {
    bool wantsMeta = req.header("icy-metadata") == "1";
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: " + name +
                       std::string(5000, 'x') + "\r\nicy-genre: Jazz\r\nicy-br: 128\r\n";
    if (wantsMeta) head += "icy-metaint: " + std::to_string(metaint) + "\r\n";
    c.send(head + "\r\n");
    if (!c.sendPaced(body.substr(0, titleAt), rate, 8000)) return;
    changeSent = tickCount();
    c.sendPaced(body.substr(titleAt), rate);
  });

  MediaSource source;
  ASSERT_TRUE(source.open(server.url("/stream"), false));
  MediaInfo info = source.info();
  EXPECT_EQ(info.stationName, oneLineTitle("테스트 FM " + std::string(5000, 'x')));  // never a 5000-character block
  EXPECT_EQ(info.genre, "Jazz");
  EXPECT_EQ(info.bitrateKbps, 128);
  EXPECT_EQ(info.duration, 0.0);  // a stream has no length

  std::atomic<bool> stop{false};
  std::thread reader([&] {
    test::PacketGuard pkt;
    while (!stop.load() && source.readPacket(pkt.p) == 1) av_packet_unref(pkt.p);
  });
  std::vector<std::string> titles;
  uint32_t seenB = 0;
  for (uint32_t t0 = tickCount(); tickCount() - t0 < 5000 && seenB == 0; sleepMs(100)) {
    std::string title;
    if (!source.pollStreamTitle(title)) continue;
    titles.push_back(title);
    if (title != "Rock 'n' Roll';s A") seenB = tickCount();
  }
  stop = true;
  source.close();
  reader.join();
  ASSERT_EQ(titles, (std::vector<std::string>{"Rock 'n' Roll';s A", "노래 B…"}));  // each title once, whole, one line
  EXPECT_LT(seenB - changeSent.load(), 1000u);
}

// What stations send in their metadata blocks, as the listener reads it.
TEST(NetworkSource, IcyTitlesAreDecodedWhole) {
  std::string cp949;
  ASSERT_TRUE(utf8ToCp949("노래 - 가수", cp949));
  struct Row { std::string block, title; } rows[] = {
      {"StreamTitle='Song A';StreamUrl='';", "Song A"},
      {"StreamTitle='" + cp949 + "';", "노래 - 가수"},
      {"StreamTitle='&#45432;&#47000; &#xB178;';", "노래 노"},
      {"StreamTitle='Tom &amp; Jerry &lt;Live&gt; &quot;1&quot; &apos;2&apos;';", "Tom & Jerry <Live> \"1\" '2'"},
      {"StreamTitle='Caf\xE9';", "Café"},  // neither UTF-8 nor CP949
      {"StreamTitle='Rock 'n' Roll';StreamUrl='http://x/';", "Rock 'n' Roll"},
      {std::string("StreamTitle='Don';t Stop';\0\0\0", 29), "Don';t Stop"},
      {"StreamUrl='x';StreamTitle='Second key';", "Second key"},
      {"StreamUrl='x';", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(icyStreamTitle(row.block), row.title) << row.block;
}

// The demuxer is busy in an open that never gets an answer: polling from another thread does
// not wait behind it, and close breaks it at once.
TEST(NetworkSource, CloseBreaksAnOpenThatNeverGetsAnAnswerAndPollingNeverWaits) {
  test::HttpServer server([](const test::HttpRequest&, test::HttpConnection& c) { c.wait(30000); });
  MediaSource source;
  std::atomic<int> result{-1};
  std::thread opener([&] { result = source.open(server.url("/stream"), false); });
  EXPECT_TRUE(test::waitFor([&] { return server.requestCount() == 1; }, 5000)) << "the open should be waiting";
  EXPECT_EQ(result.load(), -1);
  uint32_t t0 = tickCount();
  std::string title, mime;
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(source.pollStreamTitle(title));
  EXPECT_FALSE(source.extractCoverArt(bytes, mime));
  EXPECT_LT(tickCount() - t0, 50u);
  source.close();
  opener.join();
  EXPECT_LT(tickCount() - t0, 1000u);
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(source.isOpen());
}

TEST(UrlKind, RulesForcedFormatsEpisodesAndTitles) {
  struct Row { const char* url; bool podcast; UrlKind kind; } rows[] = {
      {"http://radio.example:8000/", false, UrlKind::Radio},
      {"http://radio.example:8000", false, UrlKind::Generic},  // no slash after the port
      {"http://host/a/stream.aac", false, UrlKind::Radio}, {"https://host/live/index.m3u8", false, UrlKind::Radio},
      {"HTTP://host/list.pls", false, UrlKind::Radio},     {"http://icecast.host/x", false, UrlKind::Radio},
      {"http://host/song.mp3", false, UrlKind::Generic},
      {"http://host:8000/episode.mp3", true, UrlKind::Podcast},  // podcast beats the radio markers
      {"https://r1---sn.googlevideo.com/videoplayback?x", true, UrlKind::VideoSiteMedia},
      {"https://i.ytimg.com/vi/abc/x.jpg", false, UrlKind::VideoSiteMedia},
      {"http://host/STREAM", false, UrlKind::Generic},  // markers are case-sensitive
      {"http://host/x?next=/live", false, UrlKind::Radio},  // the query counts too
  };
  for (const auto& r : rows) {  // whatever the kind, what came from the network may only reach the network
    EXPECT_EQ(classifyUrl(r.url, r.podcast), r.kind) << r.url;
    EXPECT_EQ(buildOpenOptions(r.url, r.podcast).entry("protocol_whitelist"), "http,https,tls,tcp,crypto,httpproxy");
  }
  // The format forced from the path before the query (podcasts always probe); a URL given by hand
  // that is an episode; a server's title cut to one line by code points.
  const std::tuple<const char*, bool, const char*> formats[] = {
      {"http://h/a.mp3?token=1", false, "mp3"}, {"http://h/A.MP3", false, ""},  {"/x.m3u8", false, "hls"},
      {"http://h/live.aac?x=.mp3", false, "aac"}, {"http://h/page?f=a.mp3", false, ""}, {"http://h/ep.mp3", true, ""}};
  for (const auto& [url, podcast, format] : formats) EXPECT_EQ(forcedInputFormat(url, podcast), format) << url;
  for (const char* url : {"http://h/ep.mp3", "http://h/ep.mp3?x=1"}) EXPECT_TRUE(looksLikePodcastEpisode(url)) << url;
  for (const char* url : {"http://h/list.m3u8?f=a.mp3", "http://h/a.mp3.pls", "http://h/stream", "http://h/EP.MP3"})
    EXPECT_FALSE(looksLikePodcastEpisode(url)) << url;
  EXPECT_EQ(oneLineTitle("Song\n"), "Song");
  EXPECT_EQ(oneLineTitle("가나다라", 2), "가나…");  // never a broken character
}

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
      {"/page", 6, 1500, 0, 2500},   {"/self.m3u8", 2 * (MediaSource::kMaxNestedOpens + 2), 1500, 0, 2500},
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
