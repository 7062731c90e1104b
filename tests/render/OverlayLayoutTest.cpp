#include <gtest/gtest.h>

#include "render/OverlayLayout.h"

namespace vell {
namespace {

TEST(OverlayLayout, PlacesBarsPanelAndVideoArea) {
  OverlayLayout l = computeOverlayLayout(1000, 700, false, false, false, 30);
  EXPECT_EQ(l.topBar, 32);
  EXPECT_EQ(l.controlsTop, 632);  // the offset does not apply to the normal window
  EXPECT_EQ(l.seekY, 634);
  EXPECT_EQ(l.barY, 646);
  EXPECT_EQ(l.barHeight, 54);
  EXPECT_EQ(l.video.top, 32);
  EXPECT_EQ(l.video.bottom, 632);
  EXPECT_EQ(l.video.right, 1000);
  EXPECT_EQ(l.cx, 500);
  EXPECT_EQ(l.cy, 332);

  l = computeOverlayLayout(1000, 700, false, false, true, 0);
  EXPECT_EQ(l.sidePanel, 320);
  EXPECT_EQ(l.video.right, 680);
  EXPECT_EQ(l.cx, 340);
  EXPECT_EQ(computeOverlayLayout(1000, 700, true, false, true, 0).sidePanel, 320);
  EXPECT_EQ(computeOverlayLayout(1000, 700, false, true, true, 0).sidePanel, 0);

  // Full screen: no title bar, the controls slide out by the offset.
  l = computeOverlayLayout(1000, 700, true, false, false, 68);
  EXPECT_EQ(l.topBar, 0);
  EXPECT_EQ(l.controlsTop, 700);
  EXPECT_FALSE(l.controlsVisible());
  EXPECT_EQ(l.video.bottom, 700);
  EXPECT_EQ(computeOverlayLayout(1000, 700, false, true, false, 30).controlsTop, 662);

  // Tiny windows: C never above T + 20 and the bar never lower than 20.
  l = computeOverlayLayout(400, 60, false, false, false, 0);
  EXPECT_EQ(l.controlsTop, 52);
  EXPECT_EQ(l.barHeight, 20);
  EXPECT_EQ(computeOverlayLayout(400, 30, true, false, false, 0).controlsTop, 20);
}

TEST(OverlayLayout, ControlsHideOnlyWhenNobodyNeedsThem) {
  OverlayState s;
  s.width = 1000;
  s.height = 700;
  s.tick = 50000;
  s.lastMoveTick = 50000 - 3000;
  s.mouseY = 300;
  s.mouseInside = true;
  EXPECT_EQ(controlsOffsetTarget(s), 0);  // normal window: always shown
  s.fullscreen = true;
  EXPECT_EQ(controlsOffsetTarget(s), 68);
  s.lastMoveTick = 50000 - 2999;
  EXPECT_EQ(controlsOffsetTarget(s), 0);
  s.lastMoveTick = 0;
  s.mouseY = 601;  // in the bottom band
  EXPECT_EQ(controlsOffsetTarget(s), 0);
  s.mouseY = 600;
  EXPECT_EQ(controlsOffsetTarget(s), 68);
  s.mouseY = 39;  // near the top
  EXPECT_EQ(controlsOffsetTarget(s), 0);
  s.mouseY = 300;
  s.volumeDragging = true;
  EXPECT_EQ(controlsOffsetTarget(s), 0);

  s.fullscreen = false;
  s.compact = true;
  s.volumeDragging = false;
  s.mouseY = 621;
  EXPECT_EQ(controlsOffsetTarget(s), 0);
  s.mouseY = 620;
  EXPECT_EQ(controlsOffsetTarget(s), 68);
  s.mouseY = 650;
  s.mouseInside = false;
  EXPECT_EQ(controlsOffsetTarget(s), 68);
}

TEST(OverlayLayout, AnimationStepsSnapNearTheTarget) {
  EXPECT_NEAR(stepControlsOffset(0, 68), 12.24f, 1e-4);
  EXPECT_EQ(stepControlsOffset(67.4f, 68), 68);
  EXPECT_EQ(stepControlsOffset(0.55f, 0), 0);
  float off = 0;
  int steps = 0;
  while (off != 68 && steps < 100) off = stepControlsOffset(off, 68), ++steps;
  EXPECT_LT(steps, 40);

  EXPECT_NEAR(stepQuickOpenAlpha(0, true), 0.3f, 1e-6);
  EXPECT_NEAR(stepQuickOpenAlpha(0.3f, true), 0.51f, 1e-6);
  EXPECT_EQ(stepQuickOpenAlpha(0.99f, true), 1);
  EXPECT_EQ(stepQuickOpenAlpha(0.012f, false), 0);
}

TEST(HitTest, ControlBarEdges) {
  const int W = 1000;
  const float y = 646, h = 54, cy = 673;  // band 646..700, centre 673; cx = 500
  struct Case {
    float x, y;
    int hit;
  } cases[] = {
      {500, cy, 1},        {523.9f, cy, 1},   {524, cy, 0},      {500, cy + 23.9f, 1},
      {452, cy, 3},        {432.1f, cy, 3},   {432, cy, 0},      {548, cy, 4},
      {567.9f, cy, 4},     {568, cy, 0},      {452, cy + 20, 0}, {W - 172, cy, 5},
      {W - 152, cy, 5},    {W - 173, cy, 0},  {W - 150, cy, 0},  {W - 148, cy, 6},
      {W - 68, cy, 6},     {W - 67, cy, 0},   {W - 52, cy, 7},   {W - 16, cy, 7},
      {W - 15, cy, 0},     {W - 160, y, 5},   {W - 160, y - 0.5f, 0}, {W - 160, y + h, 5},
      {W - 160, y + h + 0.5f, 0}, {100, cy, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(controlBarHit(W, y, h, c.x, c.y), c.hit) << c.x << "," << c.y;

  EXPECT_EQ(controlHoverFromHit(1), 1);
  EXPECT_EQ(controlHoverFromHit(3), 0);
  EXPECT_EQ(controlHoverFromHit(4), 2);
  EXPECT_EQ(controlHoverFromHit(5), 4);
  EXPECT_EQ(controlHoverFromHit(6), -1);
  EXPECT_EQ(controlHoverFromHit(7), 5);
}

TEST(HitTest, SeekBarVolumeAndTooltip) {
  const int W = 1000;
  const float seekY = 634;
  EXPECT_TRUE(seekBarHit(W, seekY, 16, seekY - 12));
  EXPECT_TRUE(seekBarHit(W, seekY, W - 16, seekY + 20));
  EXPECT_FALSE(seekBarHit(W, seekY, 15.9f, seekY));
  EXPECT_FALSE(seekBarHit(W, seekY, W - 15.9f, seekY));
  EXPECT_FALSE(seekBarHit(W, seekY, 500, seekY - 12.1f));
  EXPECT_FALSE(seekBarHit(W, seekY, 500, seekY + 20.1f));

  EXPECT_DOUBLE_EQ(seekPositionAt(W, 16, 300), 0);
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 500, 300), 150);
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 2, 300), 0);
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 999, 300), 300);
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 500, 0), 0);

  EXPECT_FLOAT_EQ(volumeAt(W, W - 148), 0);
  EXPECT_FLOAT_EQ(volumeAt(W, W - 147), 0.0125f);
  EXPECT_FLOAT_EQ(volumeAt(W, W - 108), 0.5f);
  EXPECT_FLOAT_EQ(volumeAt(W, W - 68), 1);
  EXPECT_FLOAT_EQ(volumeAt(W, W - 300), 0);
  EXPECT_FLOAT_EQ(volumeAt(W, W), 1);

  EXPECT_FLOAT_EQ(seekTooltipLeft(W, 17), 16);
  EXPECT_FLOAT_EQ(seekTooltipLeft(W, 44), 16);
  EXPECT_FLOAT_EQ(seekTooltipLeft(W, 45), 17);
  EXPECT_FLOAT_EQ(seekTooltipLeft(W, 500), 472);
  EXPECT_FLOAT_EQ(seekTooltipLeft(W, W - 44), W - 72);
  EXPECT_FLOAT_EQ(seekTooltipLeft(W, W - 17), W - 72);
}

TEST(HitTest, QuickOpenButtonsAndIdleButtons) {
  // W 1000, C 632: bar 380 wide from 310, buttons 90.5 wide with 6 between, y 580..622.
  EXPECT_EQ(quickOpenButtonAt(1000, 632, 311, 600), 0);
  EXPECT_EQ(quickOpenButtonAt(1000, 632, 400.5f, 600), 0);
  EXPECT_EQ(quickOpenButtonAt(1000, 632, 403, 600), -1);
  EXPECT_EQ(quickOpenButtonAt(1000, 632, 406.5f, 600), 1);
  EXPECT_EQ(quickOpenButtonAt(1000, 632, 689, 600), 3);
  EXPECT_EQ(quickOpenButtonAt(1000, 632, 691, 600), -1);
  EXPECT_EQ(quickOpenButtonAt(1000, 632, 500, 579), -1);
  EXPECT_EQ(quickOpenButtonAt(1000, 632, 500, 623), -1);

  OverlayLayout l = computeOverlayLayout(1000, 700, false, false, false, 0);
  RectF retry = retryButtonRect(l);
  EXPECT_EQ(retry.left, 445);
  EXPECT_EQ(retry.top, 374);
  EXPECT_EQ(retry.width(), 110);
  EXPECT_EQ(retry.height(), 34);
  RectF resume = resumeButtonRect(l);
  EXPECT_EQ(resume.width(), 360);
  EXPECT_EQ(resume.top, 427);
  EXPECT_EQ(resumeButtonRect(computeOverlayLayout(380, 700, false, false, false, 0)).width(), 320);
}

TEST(InputDialog, LayoutAndTexts) {
  InputLayout one = computeInputLayout(1000, 600, false);
  EXPECT_EQ(one.dialog.height(), 178);
  EXPECT_EQ(one.dialog.top, 300 - 89);
  EXPECT_EQ(one.nameBox.width(), 0);
  EXPECT_EQ(one.urlBox.top, one.dialog.top + 82);
  EXPECT_EQ(one.ok.left, 606);
  EXPECT_EQ(one.cancel.right, 598);

  InputLayout two = computeInputLayout(1000, 600, true);
  EXPECT_EQ(two.dialog.height(), 232);
  EXPECT_EQ(two.nameBox.top, two.dialog.top + 82);
  EXPECT_EQ(two.urlBox.top, two.dialog.top + 136);

  InputDialogView v;
  EXPECT_STREQ(inputDialogTexts(v).title, "URL 열기");
  EXPECT_STREQ(inputDialogTexts(v).ok, "열기");
  v.playlistUse = true;
  EXPECT_STREQ(inputDialogTexts(v).title, "재생목록에 URL 추가");
  v.categoryUse = true;  // wins over the playlist use
  EXPECT_STREQ(inputDialogTexts(v).title, "새 카테고리");
  v = InputDialogView{};
  v.urlOnly = false;
  v.podcast = true;
  EXPECT_STREQ(inputDialogTexts(v).title, "새 팟캐스트 추가");
  EXPECT_STREQ(inputDialogTexts(v).ok, "추가");
  v.editing = true;
  EXPECT_STREQ(inputDialogTexts(v).title, "스트림 편집");
  EXPECT_STREQ(inputDialogTexts(v).ok, "저장");
}

TEST(Marquee, HoldsScrollsHoldsAndReturns) {
  // Overflow 100 at 40 px/s: cycle 6.5 s, period 13 s.
  struct Case {
    double t;
    float offset;
  } cases[] = {{0, 0},     {1.9, 0},   {2, 0},   {3, 40},  {4.5, 100}, {6, 100}, {8.5, 100},
               {9, 80},    {10.5, 20}, {11, 0},  {12.9, 0}, {13, 0},   {16, 40}};
  for (const Case& c : cases) EXPECT_NEAR(marqueeOffset(c.t, 100, 40), c.offset, 1e-3) << c.t;
  EXPECT_NEAR(marqueeOffset(3, 50, 30), 30, 1e-3);  // the title bar's slower scroll
  EXPECT_EQ(marqueeOffset(5, 0, 40), 0);

  EXPECT_EQ(fullscreenTitle("C:\\Videos\\my.holiday.mp4"), "my.holiday");
  EXPECT_EQ(fullscreenTitle("/home/u/영화/여름 바다.mkv"), "여름 바다");
  EXPECT_EQ(fullscreenTitle("http://radio.example/live"), "live");
  EXPECT_EQ(fullscreenTitle(""), "");
}

TEST(Toast, WidthAndFade) {
  RectF r = toastRect(1000, 600, "");
  EXPECT_EQ(r.width(), 200);
  EXPECT_EQ(r.left, 400);
  EXPECT_EQ(r.top, 90);
  EXPECT_EQ(r.height(), 44);
  EXPECT_EQ(toastRect(1000, 600, "볼륨: 80%").width(), 200);
  // Characters, not bytes: 20 Hangul syllables are 280 wide.
  EXPECT_EQ(toastRect(1000, 600, "가나다라마바사아자차카타파하가나다라마바").width(), 280);

  EXPECT_EQ(toastOpacity(1000, 1000, 1500), 1);
  EXPECT_EQ(toastOpacity(2200, 1000, 1500), 1);
  EXPECT_NEAR(toastOpacity(2350, 1000, 1500), 0.5f, 1e-6);
  EXPECT_NEAR(toastOpacity(2499, 1000, 1500), 1 / 300.0f, 1e-6);
  EXPECT_EQ(toastOpacity(2500, 1000, 1500), 0);
  EXPECT_EQ(toastOpacity(0xFFFFFF00u + 500, 0xFFFFFF00u, 1500), 1);  // across the tick wrap
  EXPECT_EQ(toastOpacity(5, 0, 0), 0);
}

}  // namespace
}  // namespace vell
