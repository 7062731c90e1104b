// Opening network inputs: the headers each URL kind sends, ICY titles, the URL rules and the open bounds.
#include <gtest/gtest.h>

#include <tuple>

#include "engine/StationText.h"
#include "platform/Text.h"
#include "support/EngineFixtures.h"
#include "support/HttpServer.h"
#include "support/Media.h"

namespace vell {
namespace {

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

TEST(UrlKind, FirstMatchingRuleWins) {
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
}

// The format forced from the path before the query (podcasts always probe); a URL given by hand
// that is an episode; a server's title cut to one line by code points.
TEST(UrlKind, ForcedFormatEpisodesAndTitles) {
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

}  // namespace
}  // namespace vell
