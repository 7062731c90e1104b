#include <gtest/gtest.h>

#include <functional>

#include "app/App.h"
#include "app/Menus.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "settings/Settings.h"
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

// A level's items as "label" with "*" for a tick, "~" for grey and "-" for a separator.
std::string describe(const std::vector<MenuItem>& items) {
  std::string out;
  for (const MenuItem& m : items) {
    if (!out.empty()) out += "|";
    out += m.separator ? "-" : m.label + (m.checked ? "*" : "") + (m.grayed ? "~" : "");
  }
  return out;
}

struct Menus : test::AppHarness {
  std::string submenu(const std::string& title) {
    std::vector<MenuItem> menu = buildMainMenu(app);
    const MenuItem* m = find(menu, title);
    return m ? describe(m->submenu) : "(no " + title + ")";
  }
};

TEST_F(Menus, MainMenuTicksGreyItemsAndOptionalLines) {
  std::string srt = dir.write("a.srt", "1\n00:00:01,000 --> 00:00:02,000\nhi\n");
  struct Case {
    const char* what;
    std::function<void(App&)> setUp;
    const char* title;
    const char* expected;
  };
  const Case cases[] = {
      {"speed 1.1 ticks nothing", [](App& a) { a.setSpeed(1.1); }, "재생 속도",
       "0.25x|0.5x|0.75x|1.0x (기본)|1.25x|1.5x|2.0x|3.0x"},
      {"speed 2.0", [](App& a) { a.setSpeed(2.0); }, "재생 속도", "0.25x|0.5x|0.75x|1.0x (기본)|1.25x|1.5x|2.0x*|3.0x"},
      {"opacity 0.87 ticks 90%", [](App&) { settings().opacity = 0.87f; }, "투명도", "100%|90%*|80%|70%|60%|50%"},
      {"opacity 0.75 ticks none", [](App&) { settings().opacity = 0.75f; }, "투명도", "100%|90%|80%|70%|60%|50%"},
      {"sleep timer, no timer", [](App&) {}, "슬립 타이머", "15분|30분|60분|90분|120분|180분|240분|360분"},
      {"sleep timer, last minute", [](App& a) { a.sleepDeadline = tickCount() + 30000; }, "슬립 타이머",
       "남은 시간: 1분~|-|15분|30분|60분|90분|120분|180분|240분|360분|-|타이머 해제"},
      {"sleep timer, deadline passed but not cleared", [](App& a) { a.sleepDeadline = tickCount() - 5; },
       "슬립 타이머", "15분|30분|60분|90분|120분|180분|240분|360분|-|타이머 해제"},
      {"recent name of 60 characters",
       [](App&) { settings().recent = {"/m/" + std::string(30, 'a') + "가나다라마바사아자차카타파하가나다라마바사아자차카타파하가나"}; },
       "최근 재생", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa가나다라마바사아자차카타파하가나다라.."},
      {"wheel changes the volume", [](App&) {}, "마우스 휠", "볼륨 조절*|탐색 이동"},
      {"wheel seeks: the steps appear",
       [](App&) {
         settings().wheelAction = 1;
         settings().wheelSeekDelta = 5;
       },
       "마우스 휠", "볼륨 조절|탐색 이동*|-|1초|3초|5초*|10초"},
      {"sync reset is grey at 0", [](App&) {}, "오디오 싱크",
       "현재: +0 ms~|-|-50 ms (오디오 빠르게)|-10 ms|+10 ms|+50 ms (오디오 느리게)|-|초기화 (0 ms)~"},
      {"sync at -60", [](App& a) { a.player.adjustSyncOffset(-60); }, "오디오 싱크",
       "현재: -60 ms~|-|-50 ms (오디오 빠르게)|-10 ms|+10 ms|+50 ms (오디오 느리게)|-|초기화 (0 ms)"},
      {"A-B clear is grey until A < B",
       [](App& a) {
         a.pointA = 5;
         a.pointB = 3;
       },
       "구간 반복", "A 지점 해제|B 지점 설정|구간 반복 해제~"},
      {"subtitles loaded", [&srt](App& a) { a.subtitles.track.loadFile(srt); }, "자막 ✔",
       "자막 켜기/끄기*|자막 파일 열기...|-|딜레이: +0.0초~|딜레이 -0.5초|딜레이 +0.5초|딜레이 초기화|-|크기: 22pt~|"
       "크기 크게|크기 작게"},
      {"no subtitles", [](App&) {}, "자막", "자막 켜기/끄기*|자막 파일 열기...|-|딜레이: +0.0초~|딜레이 -0.5초|"
                                            "딜레이 +0.5초|딜레이 초기화|-|크기: 22pt~|크기 크게|크기 작게"},
  };
  for (const Case& c : cases) {
    settings() = Settings{};
    app.setSpeed(1.0);
    app.player.setSyncOffset(0);
    app.sleepDeadline = 0;
    app.pointA = app.pointB = -1;
    app.subtitles.track.clear();
    c.setUp(app);
    EXPECT_EQ(submenu(c.title), c.expected) << c.what;
  }
  // No recent files: no submenu at all.
  settings() = Settings{};
  std::vector<MenuItem> menu = buildMainMenu(app);
  EXPECT_EQ(find(menu, "최근 재생"), nullptr);
  EXPECT_EQ(menu.back().label, "프로그램 정보");
  EXPECT_EQ(menu.back().id, kCmdAbout);
}

TEST_F(Menus, PlaylistAndStreamMenus) {
  Playlist& p = app.playlist;
  EXPECT_EQ(describe(buildPlaylistMenu(p, -1)),
            "URL 추가...|파일 추가...|-|새 카테고리...|-|재생목록 저장|재생목록 불러오기");
  p.addFile("/m/a.mp3");
  p.addFile("/m/b.mp3");
  EXPECT_EQ(describe(buildPlaylistMenu(p, -1)),
            "URL 추가...|파일 추가...|-|새 카테고리...|-|재생목록 저장|재생목록 불러오기|전체 삭제");
  EXPECT_EQ(describe(buildPlaylistMenu(p, 2)), describe(buildPlaylistMenu(p, -1)));  // past the end
  EXPECT_EQ(describe(buildPlaylistMenu(p, 0)),
            "재생|삭제|-|URL 추가...|파일 추가...|-|새 카테고리...|-|재생목록 저장|재생목록 불러오기|전체 삭제");
  p.addCategory("음악");
  p.addCategory("강의");
  p.setCategory(1, "강의");
  std::vector<MenuItem> menu = buildPlaylistMenu(p, 1);
  ASSERT_NE(find(menu, "카테고리 이동"), nullptr);
  EXPECT_EQ(describe(find(menu, "카테고리 이동")->submenu), "분류 해제|-|음악|강의*");
  EXPECT_EQ(find(menu, "강의")->id, kPlCategoryFirst + 1);
  EXPECT_EQ(describe(find(buildPlaylistMenu(p, 0), "카테고리 이동")->submenu), "음악|강의");

  StreamEntry builtin{RADIO_MP3, "b1", "방송", "", "", "http://x/", false, false};
  StreamEntry user = builtin;
  user.isUser = true;
  EXPECT_EQ(describe(buildStreamMenu(&builtin, false)),
            "재생|-|편집...|삭제|기본값으로 되돌리기|URL 복사|-|새 라디오 추가...|-|라디오 전체 초기화...");
  EXPECT_EQ(describe(buildStreamMenu(&user, true)),
            "재생|-|편집...|삭제|URL 복사|-|새 팟캐스트 추가...|-|팟캐스트 전체 초기화...");
  EXPECT_EQ(describe(buildStreamMenu(nullptr, true)), "새 팟캐스트 추가...|-|팟캐스트 전체 초기화...");
}

TEST_F(Menus, CommandsAndConfirmations) {
  app.onCommand(kCmdSpeedFirst + 6);
  EXPECT_EQ(app.player.speed(), 2.0);
  EXPECT_EQ(app.toastText, "2.0x");
  app.onCommand(kCmdSpeedFirst + 3);
  EXPECT_EQ(app.toastText, "1.0x");
  app.onCommand(kCmdSyncMinus50);
  EXPECT_EQ(app.toastText, "오디오 싱크: -50 ms");
  app.onCommand(kCmdOpacityFirst + 1);
  EXPECT_FLOAT_EQ(settings().opacity, 0.9f);
  app.onCommand(kCmdSubtitleBigger);
  EXPECT_EQ(app.toastText, "자막 크기: 24pt");
  EXPECT_EQ(app.resources.subtitleSize, 24.0f);
  app.onCommand(kCmdWheelStepFirst + 3);
  EXPECT_EQ(settings().wheelSeekDelta, 10.0);
  EXPECT_EQ(app.toastText, "휠 탐색: 10초");

  app.onCommand(8106);
  EXPECT_NEAR(static_cast<double>(app.sleepDeadline - tickCount()), 180 * 60000.0, 2000);
  app.onCommand(8105);
  EXPECT_EQ(app.sleepDeadline, 0u);

  app.browserOpen = app.playlist.visible = true;
  app.settingsScroll = 90;
  app.settingsHover = 4;
  app.onCommand(kCmdSettings);
  EXPECT_TRUE(app.settingsPanelOpen);
  EXPECT_FALSE(app.browserOpen || app.playlist.visible);
  EXPECT_EQ(app.settingsScroll, 0);
  EXPECT_EQ(app.settingsHover, -1);

  settings().recent = {"/nowhere/a.mp4"};
  app.toastText.clear();
  app.onCommand(kCmdRecentFirst + 1);  // the list shrank after the menu was built
  EXPECT_TRUE(app.currentPath.empty());

  // Confirmations: "아니요" leaves everything, "예" acts.
  MessageAnswer answer = MessageAnswer::No;
  std::string asked;
  setMessageBoxAnswerer([&](const std::string& text, const std::string& caption, MessageButtons) {
    asked = caption + ":" + text;
    return answer;
  });
  app.playlist.addFile("/m/a.mp3");
  app.playlistMenuCommand(kPlClear, -1);
  EXPECT_EQ(asked, "확인:재생목록을 전체 삭제하시겠습니까?");
  EXPECT_EQ(app.playlist.count(), 1);
  answer = MessageAnswer::Yes;
  app.playlistMenuCommand(kPlClear, -1);
  EXPECT_TRUE(app.playlist.empty());
  EXPECT_EQ(app.toastText, "재생목록 삭제됨");
  app.playlistMenuCommand(kPlLoad, -1);  // nothing saved yet
  EXPECT_EQ(app.toastText, "재생목록 불러오기 실패");

  StreamEntry mine{RADIO_MP3, "user_1", "내 방송", "사용자", "", "http://127.0.0.1:1/", true, false};
  ASSERT_TRUE(app.catalog.addUserStream(mine));
  ASSERT_NE(app.catalog.findById("user_1"), nullptr);
  answer = MessageAnswer::No;
  app.streamMenuCommand(kStDelete, "user_1");
  EXPECT_EQ(asked, "스트림 삭제:삭제하시겠습니까?\n\n내 방송");
  EXPECT_NE(app.catalog.findById("user_1"), nullptr);
  answer = MessageAnswer::Yes;
  app.streamMenuCommand(kStDelete, "user_1");
  EXPECT_EQ(app.catalog.findById("user_1"), nullptr);
  EXPECT_EQ(app.toastText, "스트림이 삭제되었습니다");
  app.toastText.clear();
  app.streamMenuCommand(kStPlay, "user_1");  // gone since: nothing happens
  EXPECT_EQ(app.toastText, "");
  app.browserPodcastMode = true;
  answer = MessageAnswer::No;
  app.streamMenuCommand(kStResetAll, "");
  EXPECT_EQ(asked, "초기화 확인:모든 팟캐스트 스트림을 기본값으로 초기화하시겠습니까?\n\n추가/수정/삭제한 내용이 모두 사라집니다.");
}

TEST(PopupPlacement, OpensLeftOrUpAtTheDisplayEdges) {
  struct Case {
    RectI area;
    int x, y, w, h, expectX, expectY;
  };
  const Case cases[] = {
      {{0, 0, 1280, 800}, 100, 100, 200, 300, 100, 100},
      {{0, 0, 1280, 800}, 1200, 100, 200, 300, 1000, 100},   // left of the cursor
      {{0, 0, 1280, 800}, 100, 700, 200, 300, 100, 400},     // above it
      {{0, 0, 1280, 800}, 1200, 700, 200, 300, 1000, 400},
      {{0, 0, 1280, 800}, 100, 300, 200, 900, 100, 0},       // taller than the display: from its top
      {{1280, 0, 1920, 1080}, 1300, 50, 200, 300, 1300, 50},  // a second display
      {{1280, 0, 1920, 1080}, 1290, 1000, 200, 300, 1290, 700},
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
