// The side panels (settings, playlist, stream browser) driven through the App as the window
// drives it, in a hidden 1000 x 700 window: panels at x 680..1000, y 32..632.
#include <thread>

#include "app/Menus.h"
#include "catalog/StreamCatalog.h"
#include "support/HttpServer.h"
#include "support/Media.h"
#include "AppHarness.h"

namespace vell {
namespace {

struct SidePanels : test::WindowedAppHarness<1000, 700> {
  void TearDown() override {
    WindowedAppHarness::TearDown();
    app.player.close();
  }
  // A click on settings row `row` (scrolled by settingsScroll), on its right or left half.
  void clickRow(int row, bool right) {
    static const int tops[] = {76, 104, 140, 176, 212, 248, 284, 312, 348, 384, 420, 448, 484, 520, 556, 584, 620, 656};
    click(right ? 990 : 700, tops[row] + 18 - app.settingsPanel.scroll);
  }
};

TEST_F(SidePanels, SettingsRowsStepClampAndShowTheirValues) {
  Settings& s = settings();
  s.wheelSeekDelta = 1;
  app.openSettingsPanel();
  // A click on a row's half, and what the setting the row shows (id) shows then.
  struct Click { int row; bool right; int id; const char* shown; } clicks[] = {
      {2, 1, 1, "3초"},        {2, 1, 1, "5초"},  {2, 1, 1, "10초"}, {2, 1, 1, "10초"}, {2, 0, 1, "5초"},
      {2, 0, 1, "3초"},        {2, 0, 1, "1초"},  {2, 0, 1, "1초"},  {1, 0, 0, "탐색 이동"},  // either half flips it
      {4, 1, 3, "ON"},         {3, 0, 2, "전체 반복"},              {5, 1, 4, "15분"},   {5, 1, 4, "30분"},
      {5, 0, 4, "15분"},       {5, 0, 4, "해제"}, {12, 1, 8, "24pt"}, {15, 0, 9, "-10 ms"}, {11, 1, 7, "OFF"},
  };
  for (const Click& c : clicks) {
    clickRow(c.row, c.right);
    if (app.sleepDeadline) app.sleepDeadline -= 1000;  // a second passes before the next look
    EXPECT_EQ(app.settingValueText(c.id), c.shown) << "row " << c.row;
  }
  s.aspectRatio = 7;  // out of range: shown as the last name, stepped back into range
  EXPECT_EQ(app.settingValueText(13), "채우기");
  clickRow(9, false);
  s.subtitleColor = 3;
  clickRow(13, true);
  EXPECT_EQ(std::tuple(s.aspectRatio, s.subtitleColor), std::tuple(3, 3));
  for (auto [before, right, after] : {std::tuple(1.0f, true, "100%"), std::tuple(1.0f, false, "90%"),
                                      std::tuple(0.5f, false, "50%"), std::tuple(0.5f, true, "60%"),
                                      std::tuple(0.77f, true, "90%"), std::tuple(0.3f, false, "90%")}) {
    s.opacity = before;  // off the steps: from the nearest one, or the last
    clickRow(7, right);
    EXPECT_EQ(app.settingValueText(5), after) << before;
  }
  // Hover marks only value rows; the section headers are not selectable.
  for (const auto& h : {std::array{800, 158, 2}, std::array{800, 290, -1}, std::array{600, 158, -1}}) {
    app.onMouseMove(h[0], h[1]);
    EXPECT_EQ(app.settingsPanel.hover, h[2]) << h[0] << "," << h[1];
  }
  // The wheel over the panel scrolls it (never above the top).
  app.pointer.x = 900;
  app.onWheel(-1);
  EXPECT_EQ(app.settingsPanel.scroll, 30);
  app.onWheel(1);
  app.onWheel(1);
  EXPECT_EQ(app.settingsPanel.scroll, 0);
  // The catalogue resets ask first; the last rows are below the fold.
  ASSERT_TRUE(app.catalog.addUserStream(StreamEntry{RADIO_MP3, "u1", "내 방송", "기타", "", "http://h/s", true, false}));
  answerBoxes();
  app.settingsPanel.scroll = 84;
  clickRow(16, false);
  EXPECT_EQ(asked.back().rfind("초기화 확인|모든 라디오 스트림을", 0), 0u) << asked.back();
  EXPECT_NE(app.catalog.findById("u1"), nullptr);
  answer = MessageAnswer::Yes;
  clickRow(17, true);
  EXPECT_NE(app.catalog.findById("u1"), nullptr);  // a podcast reset keeps the radio station
  EXPECT_EQ(app.toast.text, "팟캐스트 초기화됨");
  click(990, 50);  // the close button
  EXPECT_FALSE(app.view.settingsOpen);
}

TEST_F(SidePanels, PlaylistPanelOpensPlaysRemovesAndScrolls) {
  std::string a = test::sineMp3(1.0, 440), b = test::sineMp3(1.0, 550), c = test::sineMp3(1.0, 660);
  for (const std::string& f : {a, b, c}) app.playlist.addFile(f);
  // P and the control bar's button take the side from the other panels; the settings follow.
  app.view.settingsOpen = true;
  key('P');
  EXPECT_EQ(open() + std::to_string(settings().showPlaylist), "----l-1");
  key('P');
  EXPECT_FALSE(settings().showPlaylist);
  app.openSettingsPanel();
  click(970, 673);  // the playlist button beside the settings button
  EXPECT_EQ(open(), "----l-");
  app.onMouseMove(800, 158);  // rows from y 68, 36 high
  EXPECT_EQ(app.playlist.hoverRow, 2);
  app.onMouseMove(990, 158);
  EXPECT_EQ(app.playlist.hoverRow, 10002);  // its delete cross
  click(800, 158);  // row 3 plays and, unpinned, the panel closes
  EXPECT_EQ(std::tuple(app.medium.path, app.playlist.visible), std::tuple(c, false));
  app.setPlaylistVisible(true);
  click(948, 50);  // the pin
  click(800, 122);  // pinned: it stays
  EXPECT_EQ(std::tuple(app.medium.path, app.playlist.visible), std::tuple(b, true));
  click(990, 122);  // delete the current item: the one after it takes its place
  EXPECT_EQ(std::tuple(app.medium.path, app.playlist.currentIndex()), std::tuple(c, 1));
  click(990, 122);  // the current last item: the new last one plays
  EXPECT_EQ(app.medium.path, a);
  app.pointer.x = 800, app.pointer.y = 300;
  app.onWheel(-1);
  EXPECT_EQ(app.playlist.scrollOffset, 108);
  app.onWheel(1);
  app.onWheel(1);
  EXPECT_EQ(app.playlist.scrollOffset, 0);
  app.onDropFiles({b, dir.write("notes.txt", "x")}, 900, 300);  // onto the panel: added, not played
  EXPECT_EQ(std::tuple(app.playlist.count(), app.medium.path), std::tuple(2, a));
}

// The stream browser: list from y 102, rows 36 high.
TEST_F(SidePanels, BrowserKeysTabsQuickOpenAndSearch) {
  app.playlist.visible = app.view.settingsOpen = true;
  app.view.quickOpenAlpha = 1;
  struct Step { std::function<void(SidePanels&)> act; const char* open; } steps[] = {
      {[](SidePanels& t) { t.key('R'); }, "r-----"},        {[](SidePanels& t) { t.key('R', true); }, "p-----"},
      {[](SidePanels& t) { t.key('R', true); }, "------"},  {[](SidePanels& t) { t.click(120, 16); }, "p-----"},  // tabs
      {[](SidePanels& t) { t.click(50, 16); }, "r-----"},   {[](SidePanels& t) { t.click(50, 16); }, "------"},
      {[](SidePanels& t) { t.app.view.quickOpenVisible = true; }, "-----q"},
      {[](SidePanels& t) { t.click(660, 600); }, "p-----"},  // the quick-open bar's fourth button
      {[](SidePanels& t) { t.click(990, 40); }, "------"},   // the panel's close mark
  };
  for (const Step& s : steps) {
    s.act(*this);
    EXPECT_EQ(open(), s.open);
  }
  app.onMouseMove(920, 10);
  EXPECT_EQ(app.pointer.titleHover, kTopBarMaximize);
  app.onMouseMove(120, 16);
  EXPECT_EQ(app.pointer.titleHover, kTopBarPodcastTab);
  click(830, 16);  // the title bar's pin
  EXPECT_TRUE(app.view.alwaysOnTop);
  // The search takes the input method's compositions.
  app.catalog.loadFromText("RADIO_MP3|r1|라디오 하나|g||http://a/\nRADIO_MP3|r2|Mono FM|g||http://b/\n", "");
  app.toggleStreamBrowser(false);
  app.onTextEditing("ㄹ");
  EXPECT_EQ(app.streamBrowser.composition, "ㄹ");
  app.onTextInput("라");  // the input method commits whole syllables
  app.onTextEditing("디");
  app.onTextInput("디");
  EXPECT_EQ(app.streamBrowser.searchText + "|" + app.streamBrowser.composition, "라디|");
  ASSERT_EQ(app.streamBrowser.rows.size(), 1u);
  EXPECT_EQ(app.streamBrowser.rows[0].entry->id, "r1");
  key(vk::Back);
  key('R', true);  // Ctrl keys still reach the key table
  EXPECT_EQ(std::tuple(app.streamBrowser.searchText, app.view.browserPodcastMode), std::tuple("라", true));
}

// A key pressed while the browser is open: its command until the search has the keyboard (text
// typed, a click on the search box, Ctrl+F), then its character, until Escape, the clear mark or
// a click elsewhere. The key's own text input follows each key, as the window sends it.
TEST(BrowserKeys, CommandsRunUntilTheSearchHasTheKeyboard) {
  auto press = [](App& a, int k, const char* text, bool ctrl = false) {
    a.onKeyDown(k, ctrl, false, false);
    if (*text) a.onTextInput(text);
  };
  auto click = [](App& a, int x, int y) { a.onMouseDown(x, y, 1); };
  // What is open | the search | p paused, m muted.
  struct Row { const char* what; std::function<void(App&)> act; const char* state; } rows[] = {
      {"Space pauses", [&](App& a) { press(a, vk::Space, " "); }, "r-----||p"},
      {"R closes the browser", [&](App& a) { press(a, 'R', "r"); }, "------||"},
      {"P brings the playlist", [&](App& a) { press(a, 'P', "p"); }, "----l-||"},
      {"M mutes", [&](App& a) { press(a, 'M', "m"); }, "r-----||m"},
      {"Hangul starts the search", [&](App& a) { a.onTextEditing("ㅁ"), a.onTextInput("모"); }, "r-----|모|"},
      {"a character without a command starts it, then every character types",
       [&](App& a) { press(a, 'B', "b"), press(a, '7', "7"), press(a, 'M', "m"), press(a, vk::Space, " "); },
       "r-----|b7m |"},
      {"Ctrl+F gives the search the keyboard", [&](App& a) { press(a, 'F', "", true), press(a, 'M', "m"); },
       "r-----|m|"},
      {"Escape clears it and gives the keys back",
       [&](App& a) { press(a, 'B', "b"), press(a, vk::Escape, ""), press(a, 'M', "m"); }, "r-----||m"},
      {"the clear mark clears it", [&](App& a) { press(a, 'B', "b"), click(a, 990, 116), press(a, vk::Space, " "); },
       "r-----||p"},
      {"a click elsewhere leaves it, a click on it comes back",
       [&](App& a) {
         press(a, 'B', "b"), click(a, 100, 500), press(a, 'M', "m");
         click(a, 800, 116), press(a, 'M', "m");
       },
       "r-----|bm|m"},
  };
  test::TempDir dir;
  std::string file = test::sineMp3(3.0);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    settings() = Settings{};
    App app{dir.path()};
    test::openHiddenWindow(app, 1000, 700);
    app.openPath(file);
    app.toggleStreamBrowser(false);
    r.act(app);
    EXPECT_EQ(test::openPieces(app) + "|" + app.streamBrowser.searchText + "|" +
                  (app.player.state() == Player::Paused ? "p" : "") + (app.player.muted() ? "m" : ""),
              r.state);
    app.player.close();
  }
}

// A click reaches the one piece under the pointer, decided before anything runs; the open panel
// takes all of its rectangle, to the last pixel of a row cut by its bottom.
TEST_F(SidePanels, OneClickReachesOneTarget) {
  std::string mp3 = test::mediaBytes(test::sineMp3(1.0));
  test::HttpServer server([&](const test::HttpRequest& r, test::HttpConnection& c) {
    if (r.target == "/live") c.wait(600);
    c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3);
  });
  app.catalog.loadFromText("RADIO_MP3|r1|Other FM|g||http://127.0.0.1:9/other\nPODCAST_RSS|p1|Cast|g||http://f/\n", "");
  app.playlist.addFile("/nowhere/a.mp3");
  app.playlist.addFile("/nowhere/b.mp3");
  app.playlist.addStream(server.url("/live"), "Slow FM", "");
  app.setPlaylistVisible(true);
  // While the queue's third entry connects, R opens the browser with a station under the pointer.
  std::thread([this] {
    sleepMs(200);
    app.postTask([this] { key('R'); });
  }).detach();
  click(800, 156);
  EXPECT_EQ(std::tuple(open(), app.connection.lastAttempt.name), std::tuple("r-----", "Slow FM"));
  // Episodes 174..204, 204..234, ...: the sixteenth shows its top 8 pixels above the seek bar.
  app.toggleStreamBrowser(true);
  app.streamBrowser.expandedPodcast = "p1";
  for (int i = 0; i < 16; ++i)
    app.streamBrowser.episodes.push_back({"ep" + std::to_string(i), "", server.url("/" + std::to_string(i))});
  app.streamBrowser.rebuildRows();
  click(800, 630);
  EXPECT_EQ(std::tuple(app.connection.lastAttempt.url, app.pointer.seekDragging), std::tuple(server.url("/15"), false));
}

TEST_F(SidePanels, BrowserHoverWarmsUpStaleEpisodeListsAreDroppedAndSearchedPodcastsList) {
  test::HttpServer server([&](const test::HttpRequest& r, test::HttpConnection& c) {
    c.respond(200, r.target == "/feed.xml" ? test::kOneEpisodeFeed : "<rss></rss>", "application/rss+xml");
  });
  app.catalog.loadFromText("RADIO_MP3|st|Loop FM|g||http://127.0.0.1:9/live\nPODCAST_RSS|pa|Loop Cast|g||" +
                               server.url("/feed.xml") + "\nPODCAST_RSS|pb|Empty Cast|g||" + server.url("/empty.xml"),
                           "");
  app.toggleStreamBrowser(false);
  app.onMouseMove(800, 150);  // hovering the station warms its host up
  EXPECT_TRUE(app.streamBrowser.warmup().seen("127.0.0.1"));
  app.connection.active = true;  // while a connection runs, a station click queues the switch
  click(800, 150);
  app.connection.active = false;
  EXPECT_EQ(app.connection.pending.url, "http://127.0.0.1:9/live");
  app.connection.pending = OpenRequest{};
  app.toggleStreamBrowser(true);  // the empty feed is asked first, then Loop Cast before that answer is handled
  click(800, 180);
  sleepMs(300);  // its answer is already waiting in the queue
  click(800, 150);
  pump(5000, [&] { return !app.streamBrowser.loading; });
  EXPECT_EQ(app.streamBrowser.episodes.size(), 1u);
  EXPECT_NE(app.toast.text, "에피소드를 불러올 수 없음");
  click(800, 210);  // Empty Cast on its own: the failure is told
  pump(5000, [&] { return !app.streamBrowser.loading; });
  EXPECT_EQ(app.toast.text, "에피소드를 불러올 수 없음");
  answerBoxes();  // a click that misses the episode must not wait on a box
  app.onTextInput("loop");  // a podcast found by search lists its episodes there, under it
  click(800, 148);          // the only result, 130..166 below the search box
  pump(5000, [&] { return !app.streamBrowser.loading; });
  click(800, 180);  // its episode, 166..196
  EXPECT_EQ(std::tuple(app.streamBrowser.searchText, app.connection.lastAttempt.url),
            std::tuple("loop", "http://127.0.0.1:9/ep1.mp3"));
}

// The browser marks what plays: set by every way of opening once the open succeeded, and a
// failed open (which closed what played) leaves no mark.
TEST_F(SidePanels, ThePlayingMarkFollowsOpensThatSucceeded) {
  std::string mp3 = test::mediaBytes(test::sineMp3(1.0));
  test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3);
  });
  const std::string up = server.url("/up"), episode = server.url("/ep.mp3"), nowhere = "http://127.0.0.1:9/";
  // Rows: the genre 102..138, then the stations 138..174 and 174..210.
  app.catalog.loadFromText("RADIO_MP3|up|Up FM|g||" + up + "\nRADIO_MP3|down|Down FM|g||" + nowhere, "");
  // The mark left: station id | episode URL.
  struct Case { const char* what; std::function<void(App&)> open; std::string mark; } cases[] = {
      {"a row that opens", [](App& a) { a.onMouseDown(800, 156, 1); }, "up|"},
      {"a row that fails", [](App& a) { a.onMouseDown(800, 192, 1); }, "|"},
      {"the menu's play that opens", [](App& a) { a.streamMenuCommand(kStPlay, "up"); }, "up|"},
      {"the menu's play that fails", [](App& a) { a.streamMenuCommand(kStPlay, "down"); }, "|"},
      {"the station's address from elsewhere", [&](App& a) { a.openMedia(up, "x", false); }, "up|"},
      {"an episode that opens", [&](App& a) { a.openMedia(episode, "ep", true); }, "|" + episode},
      {"an episode that fails", [&](App& a) { a.openMedia(nowhere, "ep", true); }, "|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    app.toggleStreamBrowser(false);
    app.streamBrowser.currentStreamId = "before";  // what played until now
    c.open(app);
    EXPECT_EQ(app.streamBrowser.currentStreamId + "|" + app.streamBrowser.currentEpisodeUrl, c.mark);
    app.view.browserOpen = false;
  }
}

TEST_F(SidePanels, ClipboardStationAsksBeforeAdding) {
  answer = MessageAnswer::Cancel;
  answerBoxes();
  app.toggleStreamBrowser(false);
  Window::setClipboardText("just words");
  app.addClipboardStation();
  EXPECT_EQ(asked.back(), "스트림 추가|클립보드에 URL을 복사한 후 다시 시도하세요.\n(http://, https:// 지원)");
  Window::setClipboardText("  http://127.0.0.1:9/live.m3u8\n");
  app.addClipboardStation();  // cancelled
  EXPECT_EQ(asked.back(), "스트림 추가|스트림 URL을 추가합니다:\n\nhttp://127.0.0.1:9/live.m3u8\n\n이 URL을 라디오에 추가할까요?");
  EXPECT_TRUE(app.catalog.radioStreams().empty());
  answer = MessageAnswer::Ok;
  app.addClipboardStation();
  ASSERT_EQ(app.catalog.radioStreams().size(), 1u);
  const StreamEntry& e = app.catalog.radioStreams()[0];
  EXPECT_EQ(std::tuple(e.type, e.name, e.id.substr(0, 5)), std::tuple(RADIO_HLS, "사용자 스트림", "user_"));
  ASSERT_EQ(app.streamBrowser.rows.size(), 2u);  // the 사용자 header and the new station
  EXPECT_EQ(app.streamBrowser.rows[1].entry, &e);
  StreamCatalog reread(dir.path());
  reread.load();
  EXPECT_EQ(reread.radioStreams().size(), 1u);  // saved in streams_user.ini
}

}  // namespace
}  // namespace vell
