// Tests of the overlay's layout: bars, panels, hiding controls, hit tests and the marquee.
#include <gtest/gtest.h>

#include "render/OverlayLayout.h"

namespace vell {
namespace {

TEST(OverlayLayout, BarsPanelAndVideoArea) {
  OverlayLayout l = computeOverlayLayout(1000, 700, false, false, true, 30);
  EXPECT_EQ(l.controlsTop, 632);  // the offset does not apply to the normal window
  EXPECT_EQ(std::make_tuple(l.video.right, l.cx, l.cy), std::make_tuple(680.0f, 340.0f, 332.0f));  // beside the panel
  EXPECT_EQ(computeOverlayLayout(1000, 700, true, false, true, 0).sidePanel, 320);  // full screen keeps the panel
  EXPECT_EQ(computeOverlayLayout(1000, 700, false, true, true, 30).sidePanel, 0);   // compact view has none
  EXPECT_EQ(computeOverlayLayout(1000, 700, false, true, false, 30).controlsTop, 662);
  l = computeOverlayLayout(1000, 700, true, false, false, 68);  // full screen: no title bar, controls slid out
  EXPECT_EQ(std::make_tuple(l.video.top, l.video.bottom, l.controlsVisible()), std::make_tuple(0.0f, 700.0f, false));
  // Tiny windows: C never above T + 20 and the bar never lower than 20.
  l = computeOverlayLayout(400, 60, false, false, false, 0);
  EXPECT_EQ(std::make_tuple(l.controlsTop, l.barHeight), std::make_tuple(52.0f, 20.0f));
  EXPECT_EQ(computeOverlayLayout(400, 30, true, false, false, 0).controlsTop, 20);
}

TEST(OverlayLayout, ControlsHideOnlyWhenNobodyNeedsThem) {
  OverlayState s;
  s.height = 700;
  s.tick = 50000;
  s.pointer.inside = true;
  // Full screen: a move in the last 3 s, y > 600 or < 40, a drag; compact view: the pointer below 620.
  const int cases[][6] = {{0, 0, 0, 9000, 300, 0},  {1, 0, 0, 3000, 300, 68}, {1, 0, 0, 2999, 300, 0},
                          {1, 0, 0, 9000, 601, 0},  {1, 0, 0, 9000, 600, 68}, {1, 0, 0, 9000, 39, 0},
                          {1, 0, 1, 9000, 300, 0},  {0, 1, 0, 9000, 621, 0},  {0, 1, 0, 9000, 620, 68}};
  for (const auto& c : cases) {  // full screen, compact, dragging, ms since the last move, y, target
    s.view.fullscreen = c[0];
    s.view.compact = c[1];
    s.pointer.volumeDragging = c[2];
    s.pointer.lastMoveTick = s.tick - c[3];
    s.pointer.y = c[4];
    EXPECT_EQ(controlsOffsetTarget(s), c[5]) << c[0] << c[1] << c[2] << " " << c[3] << " y " << c[4];
  }
  s.pointer.y = 650;
  s.pointer.inside = false;
  EXPECT_EQ(controlsOffsetTarget(s), 68);
  float off = 0;
  int paints = 0;
  while (off != 68 && paints < 100) off = stepControlsOffset(off, 68), ++paints;  // snaps near the target
  EXPECT_LT(paints, 40);
  EXPECT_EQ(stepQuickOpenAlpha(0.99f, true), 1);
  EXPECT_EQ(stepQuickOpenAlpha(0.012f, false), 0);
}

TEST(HitTest, ControlBarSeekBarVolumeAndQuickOpen) {
  const int W = 1000;
  const float y = 646, h = 54, cy = 673;  // band 646..700, centre 673; cx = 500
  const float cases[][4] = {  // x, y, hit, hover
      {500, cy, 1, 1},      {523.9f, cy, 1, 1},     {524, cy, 0, -1},  {500, cy + 23.9f, 1, 1}, {452, cy, 3, 0},
      {432.1f, cy, 3, 0},   {432, cy, 0, -1},       {548, cy, 4, 2},   {567.9f, cy, 4, 2},      {568, cy, 0, -1},
      {452, cy + 20, 0, -1}, {W - 172, cy, 5, 4},   {W - 152, cy, 5, 4}, {W - 173, cy, 0, -1},  {W - 150, cy, 0, -1},
      {W - 148, cy, 6, -1}, {W - 68, cy, 6, -1},    {W - 67, cy, 0, -1}, {W - 52, cy, 7, 5},    {W - 16, cy, 7, 5},
      {W - 15, cy, 0, -1},  {W - 160, y - 0.5f, 0, -1}, {W - 160, y + h, 5, 4}, {W - 160, y + h + 0.5f, 0, -1}};
  for (const auto& c : cases) {
    const int hit = controlBarHit(W, y, h, c[0], c[1]);
    EXPECT_EQ(hit, c[2]) << c[0] << "," << c[1];
    EXPECT_EQ(controlHoverFromHit(hit), c[3]) << hit;
  }
  EXPECT_TRUE(seekBarHit(W, 634, 16, 634 - 12));
  EXPECT_TRUE(seekBarHit(W, 634, W - 16, 634 + 20));
  EXPECT_FALSE(seekBarHit(W, 634, 15.9f, 634));
  EXPECT_FALSE(seekBarHit(W, 634, 500, 634 + 20.1f));
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 500, 300), 150);
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 2, 300), 0);  // clamped at both ends
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 999, 300), 300);
  EXPECT_FLOAT_EQ(volumeAt(W, W - 108), 0.5f);
  EXPECT_FLOAT_EQ(volumeAt(W, W), 1);
  // W 1000, C 632: bar 380 wide from 310, buttons 90.5 wide with 6 between, y 580..622.
  const float quick[][3] = {{311, 600, 0},  {400.5f, 600, 0}, {403, 600, -1},  {406.5f, 600, 1},
                            {689, 600, 3},  {691, 600, -1},   {500, 579, -1},  {500, 623, -1}};
  for (const auto& c : quick) EXPECT_EQ(quickOpenButtonAt(1000, 632, c[0], c[1]), c[2]) << c[0] << "," << c[1];
  EXPECT_EQ(resumeButtonRect(computeOverlayLayout(380, 700, false, false, false, 0)).width(), 320);  // narrow window
}

// Down to the narrowest window no two items of the control bar share a pixel column; the speed
// badge moves left of the buttons where the right has no room, and goes when neither side has.
TEST(OverlayLayout, ControlBarItemsNeverOverlap) {
  struct Case {
    int width;
    float time;       // the read-out's width; 58 is the LIVE badge
    float speedLeft;  // where the badge starts, -1 for no badge
  } cases[] = {{1000, 120, 580}, {584, 120, 372}, {583, 80, 179.5f}, {480, 0, 128},
               {480, 58, 128},   {480, 104, 128}, {480, 105, -1}};
  for (const Case& c : cases) {
    ControlBarItems b = controlBarItems(c.width, c.time, true);
    const RectF all[] = {b.time, b.previous, b.play, b.next, b.speed, b.speaker, b.volume, b.playlist};
    for (const RectF& a : all)
      for (const RectF& other : all) {
        if (&a == &other || a.width() <= 0 || other.width() <= 0) continue;
        EXPECT_TRUE(a.right <= other.left || other.right <= a.left)
            << c.width << ": " << a.left << ".." << a.right << " and " << other.left << ".." << other.right;
      }
    EXPECT_EQ(b.speed.width() > 0 ? b.speed.left : -1, c.speedLeft) << c.width << " " << c.time;
  }
  EXPECT_EQ(controlBarItems(480, 80, false).speed.width(), 0);
}

TEST(OverlayLayout, MarqueeTitleAndToast) {
  // Overflow 100 at 40 px/s: hold 2 s, scroll 2.5 s, hold 2 s, back 2.5 s, hold 2 s (period 13 s).
  const double cases[][2] = {{1.9, 0}, {3, 40}, {4.5, 100}, {8.5, 100}, {9, 80}, {10.5, 20}, {12.9, 0}, {16, 40}};
  for (const auto& c : cases) EXPECT_NEAR(marqueeOffset(c[0], 100, 40), c[1], 1e-3) << c[0];
  EXPECT_EQ(marqueeOffset(5, 0, 40), 0);
  EXPECT_EQ(fullscreenTitle("C:\\Videos\\my.holiday.mp4"), "my.holiday");
  // The text and 24 pixels each side, at least 200 wide, within the window less 8 pixels each side.
  for (auto [width, text, pill] : {std::tuple{1000, 80.0f, 200.0f}, {1000, 230.2f, 279.0f}, {480, 900.0f, 464.0f}})
    EXPECT_EQ(toastRect(width, 600, text).width(), pill) << text;
  EXPECT_EQ(toastOpacity(2200, 1000, 1500), 1);
  EXPECT_NEAR(toastOpacity(2350, 1000, 1500), 0.5f, 1e-6);  // fading over the last 300 ms
  EXPECT_EQ(toastOpacity(2500, 1000, 1500), 0);
  EXPECT_EQ(toastOpacity(0xFFFFFF00u + 500, 0xFFFFFF00u, 1500), 1);  // across the tick wrap
}

}  // namespace
}  // namespace vell
