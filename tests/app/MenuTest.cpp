#include "app/Menus.h"
#include "AppHarness.h"

namespace vell {
namespace {

// The item whose label is `label`, searched through every level; null when absent.
const MenuItem* find(const std::vector<MenuItem>& menu, const std::string& label) {
  for (const MenuItem& m : menu) {
    if (m.label == label) return &m;
    if (const MenuItem* inner = find(m.submenu, label)) return inner;
  }
  return nullptr;
}

// Only the marked items of a level: "label*" ticked, "label~" grey.
std::string marks(const std::vector<MenuItem>& items) {
  std::string out;
  for (const MenuItem& m : items)
    if (m.checked || m.grayed) out += (out.empty() ? "" : "|") + m.label + (m.checked ? "*" : "~");
  return out;
}

using Menus = test::AppHarness;

TEST_F(Menus, MainMenuTicksGreyItemsAndOptionalLines) {
  std::string srt = dir.write("a.srt", "1\n00:00:01,000 --> 00:00:02,000\nhi\n");
  struct Case {
    std::function<void(App&)> setUp;
    const char *title, *marks, *optional;  // `optional` must be there only in this case
  } cases[] = {
      {[](App& a) { a.setSpeed(1.1); }, "재생 속도", "", nullptr},
      {[](App& a) { a.setSpeed(2.0); }, "재생 속도", "2.0x*", nullptr},
      {[](App&) { settings().opacity = 0.87f; }, "투명도", "90%*", nullptr},
      {[](App&) { settings().opacity = 0.75f; }, "투명도", "", nullptr},
      {[](App& a) { a.sleepDeadline = tickCount() + 30000; }, "슬립 타이머", "남은 시간: 1분~", "타이머 해제"},
      {[](App& a) { a.sleepDeadline = tickCount() - 5; }, "슬립 타이머", "", "타이머 해제"},  // passed, not cleared
      {[](App&) { settings().wheelAction = 1, settings().wheelSeekDelta = 5; }, "마우스 휠", "탐색 이동*|5초*", "1초"},
      {[](App&) {}, "오디오 싱크", "현재: +0 ms~|초기화 (0 ms)~", nullptr},
      {[](App& a) { a.player.adjustSyncOffset(-60); }, "오디오 싱크", "현재: -60 ms~", nullptr},
      {[](App& a) { a.pointA = 5, a.pointB = 3; }, "구간 반복", "구간 반복 해제~", "A 지점 해제"},
      {[&srt](App& a) { a.subtitles.track.loadFile(srt); }, "자막 ✔", "자막 켜기/끄기*|딜레이: +0.0초~|크기: 22pt~",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    settings() = Settings{};
    app.setSpeed(1.0);
    app.player.setSyncOffset(0);
    app.sleepDeadline = 0;
    app.pointA = app.pointB = -1;
    app.subtitles.track.clear();
    if (c.optional) {
      EXPECT_EQ(find(buildMainMenu(app), c.optional), nullptr);
    }
    c.setUp(app);
    std::vector<MenuItem> menu = buildMainMenu(app);
    const MenuItem* sub = find(menu, c.title);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(marks(sub->submenu), c.marks);
    if (c.optional) {
      EXPECT_NE(find(sub->submenu, c.optional), nullptr);
    }
  }
  // Recent files: a submenu only when there are some, long names cut.
  EXPECT_EQ(find(buildMainMenu(app), "최근 재생"), nullptr);
  settings().recent = {"/m/" + std::string(30, 'a') + "가나다라마바사아자차카타파하가나다라마바사아자차카타파하가나"};
  EXPECT_EQ(find(buildMainMenu(app), "최근 재생")->submenu[0].label,
            std::string(30, 'a') + "가나다라마바사아자차카타파하가나다라..");
}

TEST_F(Menus, PlaylistAndStreamMenusByRowAndEntry) {
  Playlist& p = app.playlist;
  EXPECT_EQ(find(buildPlaylistMenu(p, -1), "전체 삭제"), nullptr);  // nothing to clear
  p.addFile("/m/a.mp3");
  p.addFile("/m/b.mp3");
  EXPECT_NE(find(buildPlaylistMenu(p, -1), "전체 삭제"), nullptr);
  EXPECT_EQ(find(buildPlaylistMenu(p, 2), "재생"), nullptr);  // past the end: no row items
  EXPECT_NE(find(buildPlaylistMenu(p, 0), "삭제"), nullptr);
  EXPECT_EQ(find(buildPlaylistMenu(p, 0), "카테고리 이동"), nullptr);  // no categories yet
  p.addCategory("음악");
  p.addCategory("강의");
  p.setCategory(1, "강의");
  std::vector<MenuItem> menu = buildPlaylistMenu(p, 1);
  EXPECT_EQ(marks(find(menu, "카테고리 이동")->submenu), "강의*");
  EXPECT_NE(find(menu, "분류 해제"), nullptr);
  EXPECT_EQ(find(menu, "강의")->id, kPlCategoryFirst + 1);
  EXPECT_EQ(find(buildPlaylistMenu(p, 0), "분류 해제"), nullptr);

  StreamEntry builtin{RADIO_MP3, "b1", "방송", "", "", "http://x/", false, false};
  StreamEntry user = builtin;
  user.isUser = true;
  EXPECT_NE(find(buildStreamMenu(&builtin, false), "기본값으로 되돌리기"), nullptr);
  EXPECT_EQ(find(buildStreamMenu(&user, true), "기본값으로 되돌리기"), nullptr);
  EXPECT_NE(find(buildStreamMenu(&user, true), "새 팟캐스트 추가..."), nullptr);
  EXPECT_EQ(find(buildStreamMenu(nullptr, false), "재생"), nullptr);
}

TEST_F(Menus, CommandsAndConfirmations) {
  app.onCommand(kCmdSpeedFirst + 6);
  EXPECT_EQ(app.player.speed(), 2.0);
  app.onCommand(kCmdSyncMinus50);
  EXPECT_EQ(app.player.syncOffsetMs(), -50);
  app.onCommand(kCmdOpacityFirst + 1);
  EXPECT_FLOAT_EQ(settings().opacity, 0.9f);
  app.onCommand(kCmdSubtitleBigger);
  EXPECT_EQ(app.resources.subtitleSize, 24.0f);
  app.onCommand(kCmdWheelStepFirst + 3);
  EXPECT_EQ(settings().wheelSeekDelta, 10.0);
  app.onCommand(8106);
  EXPECT_NEAR(static_cast<double>(app.sleepDeadline - tickCount()), 180 * 60000.0, 2000);
  app.onCommand(8105);
  EXPECT_EQ(app.sleepDeadline, 0u);

  app.browserOpen = app.playlist.visible = true;  // the settings panel takes the side
  app.settingsScroll = 90;
  app.settingsHover = 4;
  app.onCommand(kCmdSettings);
  EXPECT_TRUE(app.settingsPanelOpen);
  EXPECT_FALSE(app.browserOpen || app.playlist.visible);
  EXPECT_EQ(app.settingsScroll, 0);
  EXPECT_EQ(app.settingsHover, -1);

  settings().recent = {"/nowhere/a.mp4"};
  app.onCommand(kCmdRecentFirst + 1);  // the list shrank after the menu was built
  EXPECT_TRUE(app.currentPath.empty());

  // Confirmations: No leaves everything, Yes acts.
  answerBoxes();
  app.playlist.addFile("/m/a.mp3");
  app.playlistMenuCommand(kPlClear, -1);
  EXPECT_EQ(asked.back(), "확인|재생목록을 전체 삭제하시겠습니까?");
  EXPECT_EQ(app.playlist.count(), 1);
  answer = MessageAnswer::Yes;
  app.playlistMenuCommand(kPlClear, -1);
  EXPECT_TRUE(app.playlist.empty());
  app.playlistMenuCommand(kPlLoad, -1);  // nothing saved yet
  EXPECT_EQ(app.toastText, "재생목록 불러오기 실패");

  ASSERT_TRUE(app.catalog.addUserStream({RADIO_MP3, "user_1", "내 방송", "사용자", "", "http://127.0.0.1:1/", true, false}));
  answer = MessageAnswer::No;
  app.streamMenuCommand(kStDelete, "user_1");
  EXPECT_EQ(asked.back(), "스트림 삭제|삭제하시겠습니까?\n\n내 방송");
  EXPECT_NE(app.catalog.findById("user_1"), nullptr);
  answer = MessageAnswer::Yes;
  app.streamMenuCommand(kStDelete, "user_1");
  EXPECT_EQ(app.catalog.findById("user_1"), nullptr);
  app.toastText.clear();
  app.streamMenuCommand(kStPlay, "user_1");  // gone since: nothing happens
  EXPECT_EQ(app.toastText, "");
  app.browserPodcastMode = true;
  answer = MessageAnswer::No;
  app.streamMenuCommand(kStResetAll, "");
  EXPECT_EQ(asked.back().rfind("초기화 확인|모든 팟캐스트 스트림을", 0), 0u);
}

TEST(PopupPlacement, OpensLeftOrUpAtTheDisplayEdges) {
  struct Case {
    RectI area;
    int x, y, w, h, expectX, expectY;
  } cases[] = {
      {{0, 0, 1280, 800}, 100, 100, 200, 300, 100, 100},
      {{0, 0, 1280, 800}, 1200, 100, 200, 300, 1000, 100},    // left of the cursor
      {{0, 0, 1280, 800}, 100, 700, 200, 300, 100, 400},      // above it
      {{0, 0, 1280, 800}, 1200, 700, 200, 300, 1000, 400},
      {{0, 0, 1280, 800}, 100, 300, 200, 900, 100, 0},        // taller than the display: from its top
      {{1280, 0, 1920, 1080}, 1290, 1000, 200, 300, 1290, 700},  // a second display
  };
  for (const Case& c : cases) {
    int x = 0, y = 0;
    placePopup(c.area, c.x, c.y, c.w, c.h, x, y);
    EXPECT_EQ(x, c.expectX) << c.x << "," << c.y;
    EXPECT_EQ(y, c.expectY) << c.x << "," << c.y;
  }
}

}  // namespace
}  // namespace vell
