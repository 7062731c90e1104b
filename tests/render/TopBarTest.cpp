// The title bar of a 1000-pixel window: tab switch 28..172, title box 188..806, buttons
// from 816 (pin), 862 (minimise), 908 (maximise), 954 (close).
#include <gtest/gtest.h>

#include "Scenes.h"
#include "render/TopBar.h"

namespace vell::test {
namespace {

constexpr uint32_t kAccent = 0x6366F1;

struct TopBarDraw : ::testing::Test {
  Drawn d;
  TopBar bar;
  TopBarView v;
  void SetUp() override {
    v.width = 1000;
    v.tick = 100000;
    d.canvas.resize(1000, 60);
  }
  void draw() {
    if (d.canvas.width() != v.width) d.canvas.resize(v.width, 60);
    d.canvas.clear();
    bar.draw(d.canvas, d.res, v);
  }
  // Any pixel of the column range in rows 2..29 different from `fill`.
  bool inked(int x0, int x1, uint32_t fill) {
    for (int y = 2; y < 30; ++y)
      for (int x = x0; x < x1; ++x)
        if (d.at(x, y) != fill) return true;
    return false;
  }
};

TEST_F(TopBarDraw, FillTabsAndButtons) {
  draw();
  EXPECT_EQ(d.at(400, 10), 0x0E0E12u);  // active window
  EXPECT_EQ(d.at(14, 16), kAccent);     // logo dot
  EXPECT_EQ(d.at(40, 16), 0x121216u);   // no tab active
  v.windowActive = false;
  v.browserOpen = true;
  v.browserPodcastMode = true;
  v.hovered = kTopBarRadioTab;
  draw();
  EXPECT_EQ(d.at(400, 10), 0x121216u);
  EXPECT_EQ(d.at(136, 8), kAccent);  // podcast pill
  EXPECT_TRUE(near(d.at(34, 9), 0x1C1C23, 3)) << std::hex << d.at(34, 9);  // hovered radio pill

  v.hovered = kTopBarClose;
  draw();
  EXPECT_TRUE(near(d.at(958, 4), 0xD13030)) << std::hex << d.at(958, 4);  // E63333 at 0.9
  EXPECT_TRUE(near(d.at(977, 16), 0xFFFFFF, 3));  // the white cross over the red cell
  v.hovered = kTopBarPin;
  draw();
  EXPECT_EQ(d.at(820, 4), 0x262630u);
  EXPECT_NE(d.at(839, 14), kAccent);  // hollow pin
  v.alwaysOnTop = true;
  draw();
  EXPECT_EQ(d.at(839, 14), kAccent);  // solid accent pin
  EXPECT_GT(d.at(839, 21) & 0xFF, 0xC0u);  // and its 1.6-wide bar
}

TEST_F(TopBarDraw, TitleFitsScrollsOrVanishes) {
  v.title = "Short title";
  draw();
  EXPECT_TRUE(inked(188, 260, 0x0E0E12));
  EXPECT_EQ(bar.titleOffset(), 0);

  // Wider than W - 382: marquee inside the box, 30 px/s after a 2 s hold.
  v.title = std::string(200, 'W');
  draw();
  float width = bar.titleWidth();
  ASSERT_GT(width, 618);
  v.tick += 3000;
  draw();
  EXPECT_NEAR(bar.titleOffset(), 30, 0.5);
  EXPECT_FALSE(inked(100 + 80, 187, 0x0E0E12));  // nothing left of the box (after the tabs)
  EXPECT_FALSE(inked(807, 815, 0x0E0E12));        // nor right of it

  // 382 pixels or less: no title box, so no title.
  v.width = 382;
  v.title = "T";
  draw();
  EXPECT_FALSE(inked(176, 196, 0x0E0E12));
  v.width = 420;
  draw();
  EXPECT_TRUE(inked(188, 210, 0x0E0E12));
}

TEST(TopBar, ControlAt) {
  struct Case {
    int x, y, code;
  } cases[] = {
      {816, 0, kTopBarPin},       {861, 31, kTopBarPin},      {862, 10, kTopBarMinimize}, {908, 10, kTopBarMaximize},
      {954, 10, kTopBarClose},    {999, 10, kTopBarClose},    {815, 10, kTopBarNone},     {816, 32, kTopBarNone},
      {28, 5, kTopBarRadioTab},   {99, 27, kTopBarRadioTab},  {100, 16, kTopBarPodcastTab}, {171, 16, kTopBarPodcastTab},
      {172, 16, kTopBarNone},     {50, 4, kTopBarNone},       {50, 28, kTopBarNone},
  };
  for (const Case& c : cases) EXPECT_EQ(TopBar::controlAt(1000, c.x, c.y), c.code) << c.x << "," << c.y;
}

}  // namespace
}  // namespace vell::test
