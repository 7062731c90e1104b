// The settings and playlist panels driven through the App as the window drives it, in a
// hidden 1000 x 700 window: panels at x 680..1000, y 32..632, list from y 68.
#include <gtest/gtest.h>

#include "app/App.h"
#include "platform/MessageBox.h"
#include "platform/VirtualKeys.h"
#include "settings/Settings.h"
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
    app.onMouseDown(right ? 990 : 700, tops[row] + 18 - app.settingsScroll, 1);
  }
};

TEST_F(SidePanels, SettingsRowsStepClampAndShowTheirValues) {
  Settings& s = settings();
  app.openSettingsPanel();
  struct Step {
    int row;
    bool right;
    double wheelStep;
  };
  s.wheelSeekDelta = 1;
  for (Step st : {Step{2, true, 3}, Step{2, true, 5}, Step{2, true, 10}, Step{2, true, 10}, Step{2, false, 5},
                  Step{2, false, 3}, Step{2, false, 1}, Step{2, false, 1}}) {
    clickRow(st.row, st.right);
    EXPECT_EQ(s.wheelSeekDelta, st.wheelStep);
  }
  EXPECT_EQ(app.settingValueText(1), "1초");

  struct Opacity {
    float before;
    bool right;
    float after;
  };
  for (Opacity o : {Opacity{1.0f, true, 1.0f}, Opacity{1.0f, false, 0.9f}, Opacity{0.5f, false, 0.5f},
                    Opacity{0.5f, true, 0.6f}, Opacity{0.77f, true, 0.9f}, Opacity{0.3f, false, 0.9f}}) {
    s.opacity = o.before;
    clickRow(7, o.right);
    EXPECT_FLOAT_EQ(s.opacity, o.after) << o.before;
  }
  EXPECT_EQ(app.settingValueText(5), "90%");

  clickRow(1, false);  // a toggle-like choice: either half flips it
  EXPECT_EQ(s.wheelAction, 1);
  EXPECT_EQ(app.settingValueText(0), "탐색 이동");
  clickRow(4, true);
  EXPECT_TRUE(app.playlist.shuffle);
  clickRow(3, false);
  EXPECT_EQ(app.settingValueText(2), "전체 반복");

  auto sleepClick = [&](bool right) {
    clickRow(5, right);
    if (app.sleepDeadline) app.sleepDeadline -= 1000;  // a second passes before the next look
  };
  sleepClick(true);  // sleep timer: off -> 15 -> 30, then back down
  EXPECT_EQ(app.settingValueText(4), "15분");
  sleepClick(true);
  EXPECT_EQ(app.settingValueText(4), "30분");
  sleepClick(false);
  sleepClick(false);
  EXPECT_EQ(app.settingValueText(4), "해제");
  EXPECT_EQ(app.toastText, "슬립 타이머 해제");

  s.aspectRatio = 7;  // out of range: shown as the last name, stepped back into range
  EXPECT_EQ(app.settingValueText(13), "채우기");
  clickRow(9, false);
  EXPECT_EQ(s.aspectRatio, 3);
  s.subtitleColor = 3;
  clickRow(13, true);
  EXPECT_EQ(s.subtitleColor, 3);

  clickRow(12, true);
  EXPECT_EQ(app.toastText, "자막 크기: 24pt");
  clickRow(15, false);  // the audio offset, 10 ms a click
  EXPECT_EQ(app.settingValueText(9), "-10 ms");
  clickRow(11, true);
  EXPECT_EQ(app.toastText, "자막 OFF");

  // Hover marks only value rows; the section headers are not selectable.
  app.onMouseMove(800, 158);
  EXPECT_EQ(app.settingsHover, 2);
  app.onMouseMove(800, 290);
  EXPECT_EQ(app.settingsHover, -1);
  app.onMouseMove(600, 158);
  EXPECT_EQ(app.settingsHover, -1);

  // The wheel over the panel scrolls it (never above the top); the close button shuts it.
  app.lastMouseX = 900;
  app.onWheel(-1);
  EXPECT_EQ(app.settingsScroll, 30);
  app.onWheel(1);
  app.onWheel(1);
  EXPECT_EQ(app.settingsScroll, 0);
  app.onMouseDown(990, 50, 1);
  EXPECT_FALSE(app.settingsPanelOpen);
}

TEST_F(SidePanels, CatalogueResetAsksFirst) {
  ASSERT_TRUE(app.catalog.addUserStream(StreamEntry{RADIO_MP3, "u1", "내 방송", "기타", "", "http://h/s", true, false}));
  std::string asked;
  MessageAnswer answer = MessageAnswer::No;
  setMessageBoxAnswerer([&](const std::string& text, const std::string& caption, MessageButtons) {
    asked = caption + "|" + text;
    return answer;
  });
  app.openSettingsPanel();
  app.settingsScroll = 84;  // the last rows are below the fold
  clickRow(16, false);
  EXPECT_EQ(asked.rfind("초기화 확인|모든 라디오 스트림을", 0), 0u) << asked;
  EXPECT_NE(app.catalog.findById("u1"), nullptr);
  answer = MessageAnswer::Yes;
  clickRow(17, true);
  EXPECT_NE(app.catalog.findById("u1"), nullptr);  // a podcast reset keeps the radio station
  EXPECT_EQ(app.toastText, "팟캐스트 초기화됨");
}

TEST_F(SidePanels, PlaylistPanelOpensPlaysRemovesAndScrolls) {
  std::string a = test::sineMp3(1.0, 440), b = test::sineMp3(1.0, 550), c = test::sineMp3(1.0, 660);
  for (const std::string& f : {a, b, c}) app.playlist.addFile(f);

  // P and the control bar's button take the place from the other panels (P would be search
  // text while the browser is open).
  app.settingsPanelOpen = true;
  app.onKeyDown('P', false, false, false);
  EXPECT_TRUE(app.playlist.visible);
  EXPECT_FALSE(app.settingsPanelOpen);
  EXPECT_TRUE(settings().showPlaylist);
  app.onKeyDown('P', false, false, false);
  EXPECT_FALSE(settings().showPlaylist);
  app.openSettingsPanel();
  app.onMouseDown(970, 673, 1);  // playlist button beside the settings panel
  EXPECT_FALSE(app.settingsPanelOpen);
  EXPECT_TRUE(app.playlist.visible);

  app.onMouseMove(800, 158);
  EXPECT_EQ(app.playlist.hoverRow, 2);
  app.onMouseMove(990, 158);
  EXPECT_EQ(app.playlist.hoverRow, 10002);

  app.onMouseDown(800, 158, 1);  // row 3 plays and, unpinned, the panel closes
  EXPECT_EQ(app.currentPath, c);
  EXPECT_FALSE(app.playlist.visible);

  app.setPlaylistVisible(true);
  app.onMouseDown(948, 50, 1);
  EXPECT_TRUE(app.playlist.pinned);
  EXPECT_EQ(app.toastText, "재생목록 고정");
  app.onMouseDown(800, 122, 1);
  EXPECT_EQ(app.currentPath, b);
  EXPECT_TRUE(app.playlist.visible);

  app.onMouseDown(990, 122, 1);  // delete the current item: the one after it takes its place
  EXPECT_EQ(app.playlist.count(), 2);
  EXPECT_EQ(app.currentPath, c);
  EXPECT_EQ(app.playlist.currentIndex(), 1);
  EXPECT_EQ(app.toastText, "항목 삭제됨");
  app.onMouseDown(990, 122, 1);  // the current last item: the new last one plays
  EXPECT_EQ(app.currentPath, a);

  app.lastMouseX = 800;
  app.lastMouseY = 300;
  app.onWheel(-1);
  EXPECT_EQ(app.playlist.scrollOffset, 108);
  app.onWheel(1);
  app.onWheel(1);
  EXPECT_EQ(app.playlist.scrollOffset, 0);

  std::string notes = dir.write("notes.txt", "x");
  app.onDropFiles({b, notes}, 900, 300);
  EXPECT_EQ(app.playlist.count(), 2);
  EXPECT_EQ(app.toastText, "2개 파일 추가됨");
}

}  // namespace
}  // namespace vell
