#include <gtest/gtest.h>

#include <utility>

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/VirtualKeys.h"
#include "settings/Settings.h"
#include "AppHarness.h"

namespace vell {
namespace {

struct KeyTable : test::AppHarness {
  bool press(int key, bool ctrl = false, bool shift = false, bool alt = false) {
    return app.keyboard.onKey(key, ctrl, shift, alt);
  }
};

TEST_F(KeyTable, CtrlRowsAreNotConsumed) {
  for (int key : std::initializer_list<int>{'O', 'T', 'Z', 'L', 'J', 'G', 'A', 'S', 'D', vk::OemComma, vk::OemPeriod, vk::Oem2})
    EXPECT_FALSE(press(key, true)) << key;
  EXPECT_FALSE(press(vk::Return, false, false, true));  // Alt+Enter reaches the system
  EXPECT_FALSE(press(vk::F1 + 3, false, false, true));  // Alt+F4 too
  EXPECT_FALSE(press('K'));
  EXPECT_TRUE(press(vk::Escape));  // consumed even with nothing to close
  EXPECT_TRUE(press(vk::Up, true));  // volume keys take Ctrl too
}

TEST_F(KeyTable, SeekStepsAndTheRepeatLimit) {
  ASSERT_TRUE(press(vk::Right, true, true));  // Shift wins over Ctrl
  EXPECT_EQ(app.toastText, "▶ 10.0초");
  app.keyboard.lastSeekTick = tickCount() - 1000;
  ASSERT_TRUE(press(vk::Left, true, false, true));  // Alt before Ctrl
  EXPECT_EQ(app.toastText, "◀ 0.5초");
  app.toastText.clear();
  EXPECT_TRUE(press(vk::Right));  // within 200 ms: consumed, nothing happens
  EXPECT_EQ(app.toastText, "");
  app.keyboard.lastSeekTick = tickCount() - 201;
  press(vk::Left);
  EXPECT_EQ(app.toastText, "◀ 3.0초");
  app.keyboard.lastSeekTick = tickCount() - 201;
  press(vk::Right, true);
  EXPECT_EQ(app.toastText, "▶ 0.1초");
}

TEST_F(KeyTable, VolumeMuteAndSpeed) {
  app.player.setVolume(0.8f);
  press(vk::Up);
  press(vk::Up);
  EXPECT_NEAR(app.player.volume(), 0.84f, 1e-5);
  EXPECT_EQ(app.toastText, "볼륨: 84%");
  press('M');
  EXPECT_EQ(app.toastText, "음소거 ON");
  press('M');
  EXPECT_EQ(app.toastText, "음소거 OFF");

  press('Z');  // at 1.0 with nothing remembered
  EXPECT_EQ(app.player.speed(), 1.0);
  EXPECT_EQ(app.toastText, "속도: 1.0x");
  app.setSpeed(1.5);
  press('Z');
  EXPECT_EQ(app.player.speed(), 1.0);
  press('Z');
  EXPECT_EQ(app.player.speed(), 1.5);
  press('C');
  EXPECT_NEAR(app.player.speed(), 1.6, 1e-9);
  EXPECT_EQ(app.toastText, "속도: 1.6x");
}

TEST_F(KeyTable, AudioSyncAndSubtitleDelay) {
  for (int i = 0; i < 120; ++i) press(vk::Oem7);
  EXPECT_EQ(app.player.syncOffsetMs(), 5000);
  EXPECT_EQ(app.toastText, "오디오 싱크: +5000 ms");
  press(vk::Oem1, false, true);
  EXPECT_EQ(app.player.syncOffsetMs(), 4990);
  press(vk::Oem1, true);
  EXPECT_EQ(app.player.syncOffsetMs(), 0);
  EXPECT_EQ(app.toastText, "오디오 싱크: +0 ms");

  press(vk::OemPeriod);
  press(vk::OemPeriod);
  press(vk::OemComma);
  EXPECT_EQ(app.toastText, "자막 딜레이: +0.5초");
  EXPECT_DOUBLE_EQ(settings().subtitleDelay, 0.5);
  press(vk::Oem2);
  EXPECT_EQ(app.toastText, "자막 딜레이 초기화");
  EXPECT_DOUBLE_EQ(settings().subtitleDelay, 0.0);
}

TEST_F(KeyTable, RotationFlipsRepeatAndShuffle) {
  press('Q');
  EXPECT_EQ(app.rotation, 270);
  EXPECT_EQ(app.toastText, "회전: 270°");
  press('E');
  press('E');
  EXPECT_EQ(app.rotation, 90);
  press('S');
  EXPECT_EQ(app.rotation, 180);
  press('W');
  EXPECT_EQ(app.rotation, 0);
  const std::pair<char, const char*> toasts[] = {{'H', "좌우 반전 ON"}, {'V', "상하 반전 ON"}, {'L', "전체 반복"},
                                                 {'L', "한곡 반복"},   {'L', "반복 해제"},    {'J', "셔플 ON"},
                                                 {'G', "자막 OFF"}};
  for (auto [key, toast] : toasts) {
    press(key);
    EXPECT_EQ(app.toastText, toast) << key;
  }
  EXPECT_TRUE(app.flipH);
}

TEST_F(KeyTable, EscapeClosesTheTopLayerFirst) {
  app.helpVisible = true;
  app.quickOpenVisible = true;
  press(vk::Escape);
  EXPECT_FALSE(app.helpVisible);
  EXPECT_TRUE(app.quickOpenVisible);
  press(vk::Escape);
  EXPECT_FALSE(app.quickOpenVisible);
  press(vk::F1);
  EXPECT_TRUE(app.helpVisible);
}

}  // namespace
}  // namespace vell
