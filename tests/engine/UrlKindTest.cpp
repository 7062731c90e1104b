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

TEST(UrlKind, ForcedFormatFromThePathBeforeTheQuery) {
  struct Row {
    const char* url;
    bool podcast;
    const char* format;
  } rows[] = {
      {"http://h/a.mp3?token=1", false, "mp3"}, {"http://h/A.MP3", false, ""},  {"/x.m3u8", false, "hls"},
      {"http://h/live.aac?x=.mp3", false, "aac"}, {"http://h/page?f=a.mp3", false, ""},
      {"http://h/ep.mp3", true, ""},  // podcasts always probe
  };
  for (const auto& r : rows) EXPECT_EQ(forcedInputFormat(r.url, r.podcast), r.format) << r.url;
}

TEST(UrlKind, HandGivenUrlsThatAreEpisodes) {
  for (const char* url : {"http://h/ep.mp3", "http://h/ep.mp3?x=1"}) EXPECT_TRUE(looksLikePodcastEpisode(url)) << url;
  for (const char* url : {"http://h/list.m3u8?f=a.mp3", "http://h/a.mp3.pls", "http://h/stream", "http://h/EP.MP3"})
    EXPECT_FALSE(looksLikePodcastEpisode(url)) << url;
}

TEST(UrlKind, ServerTitlesAreCutByCodePoints) {
  EXPECT_EQ(oneLineTitle("Song\n"), "Song");
  EXPECT_EQ(oneLineTitle("가나다라", 2), "가나…");  // never a broken character
}

}  // namespace
}  // namespace vell
