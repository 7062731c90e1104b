// The stream browser inside the App: keys, title-bar tabs, clicks that play stations and
// episodes (from a loopback server), the episode loader's message, search typing and the
// clipboard station. Window 1000 x 700: panel (680, 32)-(1000, 632), list from y 102.
#include <gtest/gtest.h>

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/VirtualKeys.h"
#include "settings/Settings.h"
#include "support/HttpServer.h"
#include "support/Media.h"
#include "AppHarness.h"

namespace vell {
namespace {

struct BrowserApp : test::WindowedAppHarness<1000, 700> {};

TEST_F(BrowserApp, KeysTabsAndQuickOpenOpenOnePanel) {
  app.playlist.visible = true;
  app.settingsPanelOpen = true;
  app.onKeyDown('R', false, false, false);
  EXPECT_TRUE(app.browserOpen);
  EXPECT_FALSE(app.browserPodcastMode);
  EXPECT_FALSE(app.playlist.visible);
  EXPECT_FALSE(app.settingsPanelOpen);
  app.onKeyDown('R', true, false, false);  // Ctrl+R: the podcast tab
  EXPECT_TRUE(app.browserOpen);
  EXPECT_TRUE(app.browserPodcastMode);
  app.onKeyDown('R', true, false, false);  // again: closes
  EXPECT_FALSE(app.browserOpen);

  app.onMouseDown(120, 16, 1);  // title-bar podcast tab
  EXPECT_TRUE(app.browserOpen && app.browserPodcastMode);
  app.onMouseDown(50, 16, 1);  // radio tab switches
  EXPECT_TRUE(app.browserOpen && !app.browserPodcastMode);
  app.onMouseDown(50, 16, 1);  // and closes
  EXPECT_FALSE(app.browserOpen);
  app.onMouseMove(920, 10);
  EXPECT_EQ(app.titleHover, kTopBarMaximize);
  app.onMouseMove(120, 16);
  EXPECT_EQ(app.titleHover, kTopBarPodcastTab);

  app.quickOpenVisible = true;
  app.quickOpenAlpha = 1;
  // The bar's fourth button: W = 380 from x 310, buttons 90.5 wide, y 580..622.
  app.onMouseDown(660, 600, 1);
  EXPECT_TRUE(app.browserOpen && app.browserPodcastMode);
  EXPECT_FALSE(app.quickOpenVisible);
  app.onMouseDown(990, 40, 1);  // the panel's close mark
  EXPECT_FALSE(app.browserOpen);
}

TEST_F(BrowserApp, SearchTypingTakesCharactersAndHangulCompositions) {
  app.catalog.loadFromText(
      "RADIO_MP3|r1|라디오 하나|g||http://a/\nRADIO_MP3|r2|Mono FM|g||http://b/\n", "");
  app.toggleStreamBrowser(false);
  app.onKeyDown('M', false, false, false);  // a plain letter is text for the search, not mute
  app.onTextInput("M");
  EXPECT_FALSE(app.player.muted());
  EXPECT_TRUE(app.browserOpen);
  EXPECT_EQ(app.streamBrowser.searchText, "M");
  app.onKeyDown(vk::Back, false, false, false);
  EXPECT_EQ(app.streamBrowser.searchText, "");

  app.onTextEditing("ㄹ");
  EXPECT_EQ(app.streamBrowser.composition, "ㄹ");
  app.onTextInput("라");  // the input method commits whole syllables
  app.onTextEditing("ㄷ");
  app.onTextEditing("디");
  app.onTextInput("디");
  EXPECT_EQ(app.streamBrowser.searchText, "라디");
  EXPECT_EQ(app.streamBrowser.composition, "");
  ASSERT_EQ(app.streamBrowser.rows.size(), 1u);
  EXPECT_EQ(app.streamBrowser.rows[0].entry->id, "r1");
  app.onKeyDown(vk::Back, false, false, false);
  EXPECT_EQ(app.streamBrowser.searchText, "라");

  app.onKeyDown(vk::Escape, false, false, false);
  EXPECT_EQ(app.streamBrowser.searchText, "");
  EXPECT_FALSE(app.streamBrowser.searchFocused);
  app.inputOpen = true;  // a dialog's text field takes the typing then
  app.onTextInput("x");
  EXPECT_EQ(app.streamBrowser.searchText, "");
  app.inputOpen = false;
  app.onKeyDown('R', true, false, false);  // Ctrl keys still reach the key table
  EXPECT_TRUE(app.browserPodcastMode);
}

TEST_F(BrowserApp, StationAndEpisodeClicksPlayAndHighlight) {
  std::string mp3 = test::mediaBytes(test::sineMp3(2.0));
  std::string feed;
  test::HttpServer server([&](const test::HttpRequest& r, test::HttpConnection& c) {
    if (r.target == "/feed.xml") c.respond(200, feed, "application/rss+xml");
    else if (r.target == "/empty.xml") c.respond(200, "<rss></rss>", "application/rss+xml");
    else c.respond(200, mp3, "audio/mpeg");
  });
  feed = "<rss><channel><item><title>첫 회</title><pubDate>Mon, 01 Jan 2024 00:00:00 GMT</pubDate>"
         "<enclosure url=\"" + server.url("/ep1.mp3") + "\" type=\"audio/mpeg\"/></item></channel></rss>";
  app.catalog.loadFromText("RADIO_MP3|st|Loop FM|g||" + server.url("/live") + "\nPODCAST_RSS|pa|Loop Cast|g||" +
                               server.url("/feed.xml") + "\nPODCAST_RSS|pb|Empty Cast|g||" + server.url("/empty.xml") + "\n",
                           "");
  app.toggleStreamBrowser(false);
  app.onMouseMove(800, 150);  // hovering the station warms its host up
  EXPECT_TRUE(app.streamBrowser.warmup().seen("127.0.0.1"));
  app.onMouseDown(800, 150, 1);
  EXPECT_EQ(app.player.state(), Player::Playing);
  EXPECT_EQ(app.toastText, "▶ Loop FM");
  EXPECT_EQ(app.streamBrowser.currentStreamId, "st");

  // While a connection runs, a station click queues the switch.
  app.connecting = true;
  app.onMouseDown(800, 150, 1);
  app.connecting = false;
  EXPECT_EQ(app.pendingOpen.url, server.url("/live"));
  EXPECT_FALSE(app.pendingOpen.podcast);
  EXPECT_EQ(app.toastText, "스트림 전환 중...");
  app.pendingOpen = OpenRequest{};

  // Podcasts: the empty feed is asked first, then Loop Cast before that answer is handled.
  app.toggleStreamBrowser(true);
  app.onMouseDown(800, 180, 1);  // Empty Cast (row 2, 174..210)
  EXPECT_TRUE(app.streamBrowser.loading);
  EXPECT_EQ(app.toastText, "에피소드 로딩 중...");
  sleepMs(300);  // its answer is already waiting in the queue
  app.onMouseDown(800, 150, 1);  // Loop Cast
  pump(5000, [&] { return !app.streamBrowser.loading; });
  EXPECT_FALSE(app.streamBrowser.loading);
  ASSERT_EQ(app.streamBrowser.episodes.size(), 1u);
  EXPECT_EQ(app.streamBrowser.expandedPodcast, "pa");
  EXPECT_NE(app.toastText, "에피소드를 불러올 수 없음");  // the stale empty answer was dropped
  ASSERT_EQ(app.streamBrowser.rows.size(), 4u);  // header, Loop Cast, its episode, Empty Cast
  EXPECT_EQ(app.streamBrowser.rows[2].text, "01 Jan 2024  첫 회");

  app.onMouseDown(800, 180, 1);  // the episode (174..204)
  EXPECT_EQ(app.player.state(), Player::Playing);
  EXPECT_TRUE(app.player.podcastRequest());
  EXPECT_EQ(app.streamBrowser.currentEpisodeUrl, server.url("/ep1.mp3"));
  EXPECT_EQ(app.historyKey, server.url("/ep1.mp3"));

  app.onMouseDown(800, 210, 1);  // Empty Cast on its own: the failure is told
  pump(5000, [&] { return !app.streamBrowser.loading; });
  EXPECT_EQ(app.toastText, "에피소드를 불러올 수 없음");
  EXPECT_TRUE(app.streamBrowser.episodes.empty());
  app.player.close();
}

TEST_F(BrowserApp, ClipboardStationAsksBeforeAdding) {
  std::vector<std::string> boxes;
  MessageAnswer answer = MessageAnswer::Cancel;
  setMessageBoxAnswerer([&](const std::string& text, const std::string& caption, MessageButtons) {
    boxes.push_back(caption + ": " + text);
    return answer;
  });
  app.toggleStreamBrowser(false);
  Window::setClipboardText("just words");
  app.addClipboardStation();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "스트림 추가: 클립보드에 URL을 복사한 후 다시 시도하세요.\n(http://, https:// 지원)");

  Window::setClipboardText("  http://127.0.0.1:9/live.m3u8\n");
  app.addClipboardStation();  // cancelled
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1], "스트림 추가: 스트림 URL을 추가합니다:\n\nhttp://127.0.0.1:9/live.m3u8\n\n이 URL을 라디오에 추가할까요?");
  EXPECT_TRUE(app.catalog.radioStreams().empty());

  answer = MessageAnswer::Ok;
  app.addClipboardStation();
  ASSERT_EQ(app.catalog.radioStreams().size(), 1u);
  const StreamEntry& e = app.catalog.radioStreams()[0];
  EXPECT_EQ(e.type, RADIO_HLS);
  EXPECT_EQ(e.name, "사용자 스트림");
  EXPECT_EQ(e.genre, "사용자");
  EXPECT_EQ(e.description, "직접 추가");
  EXPECT_EQ(e.id.rfind("user_", 0), 0u);
  EXPECT_EQ(app.toastText, "스트림 추가됨");
  ASSERT_EQ(app.streamBrowser.rows.size(), 2u);  // the 사용자 header and the new station
  EXPECT_EQ(app.streamBrowser.rows[1].entry, &e);
  StreamCatalog reread(dir.path());
  reread.load();
  EXPECT_EQ(reread.radioStreams().size(), 1u);  // saved in streams_user.ini
}

}  // namespace
}  // namespace vell
