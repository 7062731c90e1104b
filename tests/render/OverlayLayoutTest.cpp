#include <gtest/gtest.h>

#include "render/OverlayLayout.h"

namespace vell {
namespace {

TEST(OverlayLayout, BarsPanelAndVideoArea) {
  OverlayLayout l = computeOverlayLayout(1000, 700, false, false, true, 30);
  EXPECT_EQ(l.controlsTop, 632);  // the offset does not apply to the normal window
  EXPECT_EQ(l.video.right, 680);  // the side panel takes its share
  EXPECT_EQ(l.cx, 340);
  EXPECT_EQ(l.cy, 332);
  EXPECT_EQ(computeOverlayLayout(1000, 700, true, false, true, 0).sidePanel, 320);  // full screen keeps it
  EXPECT_EQ(computeOverlayLayout(1000, 700, false, true, true, 0).sidePanel, 0);    // compact view has none
  EXPECT_EQ(computeOverlayLayout(1000, 700, false, true, false, 30).controlsTop, 662);

  // Full screen: no title bar, the controls slide out by the offset.
  l = computeOverlayLayout(1000, 700, true, false, false, 68);
  EXPECT_EQ(l.video.top, 0);
  EXPECT_EQ(l.video.bottom, 700);
  EXPECT_FALSE(l.controlsVisible());

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
  s.mouseInside = true;
  struct Step {
    bool fullscreen, compact, dragging;
    uint32_t sinceMove;
    int mouseY;
    float target;
  } const steps[] = {
      {false, false, false, 3000, 300, 0},  // normal window: always shown
      {true, false, false, 3000, 300, 68},  {true, false, false, 2999, 300, 0},  // a recent move
      {true, false, false, 9000, 601, 0},   {true, false, false, 9000, 600, 68},  // the bottom band
      {true, false, false, 9000, 39, 0},    {true, false, true, 9000, 300, 0},    // near the top; dragging
      {false, true, false, 9000, 621, 0},   {false, true, false, 9000, 620, 68},
  };
  for (const Step& t : steps) {
    s.fullscreen = t.fullscreen;
    s.compact = t.compact;
    s.volumeDragging = t.dragging;
    s.lastMoveTick = s.tick - t.sinceMove;
    s.mouseY = t.mouseY;
    EXPECT_EQ(controlsOffsetTarget(s), t.target) << t.fullscreen << t.compact << " y " << t.mouseY;
  }
  s.mouseY = 650;
  s.mouseInside = false;  // compact view, pointer gone
  EXPECT_EQ(controlsOffsetTarget(s), 68);

  EXPECT_EQ(stepControlsOffset(67.4f, 68), 68);  // snaps near the target
  EXPECT_EQ(stepControlsOffset(0.55f, 0), 0);
  float off = 0;
  int paints = 0;
  while (off != 68 && paints < 100) off = stepControlsOffset(off, 68), ++paints;
  EXPECT_LT(paints, 40);
  EXPECT_NEAR(stepQuickOpenAlpha(0.3f, true), 0.51f, 1e-6);
  EXPECT_EQ(stepQuickOpenAlpha(0.99f, true), 1);
  EXPECT_EQ(stepQuickOpenAlpha(0.012f, false), 0);
}

TEST(HitTest, ControlBarEdges) {
  const int W = 1000;
  const float y = 646, h = 54, cy = 673;  // band 646..700, centre 673; cx = 500
  struct Case {
    float x, y;
    int hit, hover;
  } const cases[] = {
      {500, cy, 1, 1},          {523.9f, cy, 1, 1},      {524, cy, 0, -1},         {500, cy + 23.9f, 1, 1},
      {452, cy, 3, 0},          {432.1f, cy, 3, 0},      {432, cy, 0, -1},         {548, cy, 4, 2},
      {567.9f, cy, 4, 2},       {568, cy, 0, -1},        {452, cy + 20, 0, -1},    {W - 172, cy, 5, 4},
      {W - 152, cy, 5, 4},      {W - 173, cy, 0, -1},    {W - 150, cy, 0, -1},     {W - 148, cy, 6, -1},
      {W - 68, cy, 6, -1},      {W - 67, cy, 0, -1},     {W - 52, cy, 7, 5},       {W - 16, cy, 7, 5},
      {W - 15, cy, 0, -1},      {W - 160, y, 5, 4},      {W - 160, y - 0.5f, 0, -1}, {W - 160, y + h, 5, 4},
      {W - 160, y + h + 0.5f, 0, -1}, {100, cy, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(controlBarHit(W, y, h, c.x, c.y), c.hit) << c.x << "," << c.y;
    EXPECT_EQ(controlHoverFromHit(c.hit), c.hover) << c.hit;
  }
}

TEST(HitTest, SeekBarVolumeTooltipAndQuickOpen) {
  const int W = 1000;
  const float seekY = 634;
  EXPECT_TRUE(seekBarHit(W, seekY, 16, seekY - 12));
  EXPECT_TRUE(seekBarHit(W, seekY, W - 16, seekY + 20));
  EXPECT_FALSE(seekBarHit(W, seekY, 15.9f, seekY));
  EXPECT_FALSE(seekBarHit(W, seekY, 500, seekY + 20.1f));
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 500, 300), 150);
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 2, 300), 0);  // clamped at both ends
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 999, 300), 300);
  EXPECT_DOUBLE_EQ(seekPositionAt(W, 500, 0), 0);
  EXPECT_FLOAT_EQ(volumeAt(W, W - 108), 0.5f);
  EXPECT_FLOAT_EQ(volumeAt(W, W - 300), 0);
  EXPECT_FLOAT_EQ(volumeAt(W, W), 1);
  EXPECT_FLOAT_EQ(seekTooltipLeft(W, 17), 16);  // kept inside 16..W - 72
  EXPECT_FLOAT_EQ(seekTooltipLeft(W, 500), 472);
  EXPECT_FLOAT_EQ(seekTooltipLeft(W, W - 17), W - 72);

  // W 1000, C 632: bar 380 wide from 310, buttons 90.5 wide with 6 between, y 580..622.
  struct Case {
    float x, y;
    int button;
  } const cases[] = {{311, 600, 0}, {400.5f, 600, 0}, {403, 600, -1}, {406.5f, 600, 1},
                     {689, 600, 3}, {691, 600, -1},   {500, 579, -1},  {500, 623, -1}};
  for (const Case& c : cases) EXPECT_EQ(quickOpenButtonAt(1000, 632, c.x, c.y), c.button) << c.x << "," << c.y;
  EXPECT_EQ(resumeButtonRect(computeOverlayLayout(380, 700, false, false, false, 0)).width(), 320);  // narrow window
}

TEST(Marquee, HoldsScrollsHoldsAndReturns) {
  // Overflow 100 at 40 px/s: cycle 6.5 s, period 13 s.
  const std::pair<double, float> cases[] = {{0, 0},     {1.9, 0},  {2, 0},  {3, 40},    {4.5, 100}, {6, 100}, {8.5, 100},
                                            {9, 80},    {10.5, 20}, {11, 0}, {12.9, 0}, {13, 0},    {16, 40}};
  for (auto [t, offset] : cases) EXPECT_NEAR(marqueeOffset(t, 100, 40), offset, 1e-3) << t;
  EXPECT_EQ(marqueeOffset(5, 0, 40), 0);
  EXPECT_EQ(fullscreenTitle("C:\\Videos\\my.holiday.mp4"), "my.holiday");
  EXPECT_EQ(fullscreenTitle("http://radio.example/live"), "live");
}

TEST(Toast, WidthByCharactersAndFade) {
  EXPECT_EQ(toastRect(1000, 600, "볼륨: 80%").width(), 200);
  // Characters, not bytes: 20 Hangul syllables are 280 wide.
  EXPECT_EQ(toastRect(1000, 600, "가나다라마바사아자차카타파하가나다라마바").width(), 280);
  EXPECT_EQ(toastOpacity(2200, 1000, 1500), 1);
  EXPECT_NEAR(toastOpacity(2350, 1000, 1500), 0.5f, 1e-6);
  EXPECT_EQ(toastOpacity(2500, 1000, 1500), 0);
  EXPECT_EQ(toastOpacity(0xFFFFFF00u + 500, 0xFFFFFF00u, 1500), 1);  // across the tick wrap
}

}  // namespace
}  // namespace vell
