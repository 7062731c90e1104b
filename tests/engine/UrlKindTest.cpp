#include <gtest/gtest.h>

#include "engine/MediaSource.h"

namespace vell {
namespace {

TEST(UrlKind, FirstMatchingRuleWins) {
  struct Row {
    const char* url;
    bool podcast;
    UrlKind kind;
  } rows[] = {
      {"http://radio.example:8000/", false, UrlKind::Radio},
      {"http://radio.example:8000", false, UrlKind::Generic},  // no slash after the port
      {"http://host/a/stream.aac", false, UrlKind::Radio},
      {"https://host/live/index.m3u8", false, UrlKind::Radio},
      {"http://host/list.pls", false, UrlKind::Radio},
      {"http://icecast.host/x", false, UrlKind::Radio},
      {"http://host/song.mp3", false, UrlKind::Generic},
      {"http://host:8000/episode.mp3", true, UrlKind::Podcast},  // podcast beats the radio markers
      {"https://r1---sn.googlevideo.com/videoplayback?x", true, UrlKind::VideoSiteMedia},
      {"https://i.ytimg.com/vi/abc/x.jpg", false, UrlKind::VideoSiteMedia},
      {"http://host/STREAM", false, UrlKind::Generic},  // markers are case-sensitive
      {"http://host/x?next=/live", false, UrlKind::Radio},  // the query counts too
  };
  for (const auto& r : rows) EXPECT_EQ(classifyUrl(r.url, r.podcast), r.kind) << r.url;
}

TEST(UrlKind, ForcedFormatFromThePathBeforeTheQuery) {
  EXPECT_EQ(forcedInputFormat("http://h/a.mp3?token=1", false), "mp3");
  EXPECT_EQ(forcedInputFormat("http://h/A.MP3", false), "");
  EXPECT_EQ(forcedInputFormat("/a.mp3", false), "mp3");   // six characters: long enough
  EXPECT_EQ(forcedInputFormat("x.mp3", false), "");       // five: too short
  EXPECT_EQ(forcedInputFormat(".mp3", false), "");        // four: too short
  EXPECT_EQ(forcedInputFormat("/x.m3u8", false), "hls");  // seven
  EXPECT_EQ(forcedInputFormat("x.m3u8", false), "");      // six: too short for m3u8
  EXPECT_EQ(forcedInputFormat("http://h/live.aac?x=.mp3", false), "aac");
  EXPECT_EQ(forcedInputFormat("http://h/ep.mp3", true), "");  // podcasts always probe
  EXPECT_EQ(forcedInputFormat("http://h/page?f=a.mp3", false), "");
}

TEST(UrlKind, OptionTablesPerKind) {
  OpenOptions radio = buildOpenOptions("http://radio.example:8000/", false);
  EXPECT_EQ(radio.kind, UrlKind::Radio);
  EXPECT_EQ(radio.probeSize, 32768);
  EXPECT_EQ(radio.maxAnalyzeDurationUs, 100000);
  EXPECT_TRUE(radio.noBuffer);
  EXPECT_EQ(radio.entry("timeout"), "6000000");
  EXPECT_EQ(radio.entry("rw_timeout"), "6000000");
  EXPECT_EQ(radio.entry("icy"), "1");
  EXPECT_EQ(radio.entry("headers"), "Icy-MetaData: 1\r\nConnection: keep-alive\r\n");
  EXPECT_EQ(radio.entry("reconnect_at_eof"), "");  // endless reopening at every end
  EXPECT_EQ(radio.entry("reconnect_streamed"), "");
  EXPECT_EQ(radio.entry("reconnect_on_http_error"), "4xx,5xx");

  OpenOptions generic = buildOpenOptions("http://host/file", false);
  EXPECT_EQ(generic.maxAnalyzeDurationUs, 150000);
  EXPECT_FALSE(generic.noBuffer);

  OpenOptions podcast = buildOpenOptions("http://host:8000/ep.mp3", true);
  EXPECT_EQ(podcast.kind, UrlKind::Podcast);
  EXPECT_EQ(podcast.maxAnalyzeDurationUs, 200000);
  EXPECT_EQ(podcast.entry("timeout"), "5000000");
  EXPECT_EQ(podcast.entry("http_persistent"), "1");
  EXPECT_EQ(podcast.entry("icy"), "0");
  EXPECT_EQ(podcast.forcedFormat, "");

  OpenOptions site = buildOpenOptions("https://x.googlevideo.com/videoplayback", true);
  EXPECT_EQ(site.probeSize, 262144);
  EXPECT_EQ(site.maxAnalyzeDurationUs, 1500000);
  EXPECT_EQ(site.entry("timeout"), "10000000");
  EXPECT_EQ(site.entry("reconnect_delay_max"), "3");
  EXPECT_EQ(site.entry("referer"), "https://www.youtube.com/");
  EXPECT_EQ(site.entry("headers"), "Origin: https://www.youtube.com\r\nAccept: */*\r\nConnection: keep-alive\r\n");
  EXPECT_EQ(site.entry("icy"), "0");
}

TEST(UrlKind, HandGivenUrlsThatAreEpisodes) {
  struct {
    const char* url;
    bool episode;
  } cases[] = {{"http://h/ep.mp3", true},        {"http://h/ep.mp3?x=1", true}, {"http://h/list.m3u8?f=a.mp3", false},
               {"http://h/a.mp3.pls", false},    {"http://h/stream", false},    {"http://h/EP.MP3", false}};
  for (const auto& c : cases) EXPECT_EQ(looksLikePodcastEpisode(c.url), c.episode) << c.url;
}

TEST(UrlKind, ServerTitlesAreCutToOneSaneLine) {
  EXPECT_EQ(oneLineTitle("Artist - Song"), "Artist - Song");
  EXPECT_EQ(oneLineTitle("Song\r\nInjected line"), "Song…");
  EXPECT_EQ(oneLineTitle("Song\n"), "Song");
  EXPECT_EQ(oneLineTitle("a\tb"), "a b");
  EXPECT_EQ(oneLineTitle(std::string(100000, 'x')), std::string(120, 'x') + "…");
  EXPECT_EQ(oneLineTitle("가나다라", 2), "가나…");  // code points, never a broken character
}

TEST(UrlKind, RemoteInputsMayOnlyReachTheNetwork) {
  EXPECT_EQ(buildOpenOptions("https://host/live.m3u8", false).entry("protocol_whitelist"),
            "http,https,tls,tcp,crypto,httpproxy");
  EXPECT_EQ(buildOpenOptions("HTTP://host/x.pls", false).entry("protocol_whitelist"),
            "http,https,tls,tcp,crypto,httpproxy");
  // A path the user typed is opened as it is.
  EXPECT_EQ(buildOpenOptions("/home/user/a.mp3", false).entry("protocol_whitelist"), "");
}

}  // namespace
}  // namespace vell
