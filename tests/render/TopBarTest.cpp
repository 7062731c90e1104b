// The title bar of a 1000-pixel window: tab switch 28..172, title box 188..806, buttons
// from 816 (pin), 862 (minimise), 908 (maximise), 954 (close).
#include <gtest/gtest.h>

#include "Scenes.h"
#include "render/TopBar.h"

namespace vell::test {
namespace {

TEST(TopBar, DrawsTabsButtonsAndATitleThatFitsScrollsOrVanishes) {
  Drawn d;
  TopBar bar;
  TopBarView v{.width = 1000, .tick = 100000, .title = "Short title"};
  auto draw = [&] {
    d.canvas.resize(v.width, 40);
    d.canvas.clear();
    bar.draw(d.canvas, d.res, v);
  };
  // Any pixel of the columns x0..x1 in rows 2..29 differing from the bar's fill at (x0, 2).
  auto inked = [&](int x0, int x1) {
    for (int y = 2; y < 30; ++y)
      for (int x = x0; x < x1; ++x)
        if (d.at(x, y) != d.at(x0, 2)) return true;
    return false;
  };
  draw();
  const uint32_t active = d.at(400, 10), tab = d.at(40, 16), pin = d.at(839, 14);
  EXPECT_TRUE(inked(188, 260));
  v = {.width = 1000, .windowActive = false, .alwaysOnTop = true, .browserOpen = true, .browserPodcastMode = true,
       .hovered = kTopBarClose};
  draw();
  EXPECT_NE(d.at(400, 10), active);        // an inactive window's bar is lighter
  EXPECT_NE(d.at(136, 8), tab);            // the open podcast tab
  EXPECT_EQ(d.at(839, 14), d.at(136, 8));  // the pin turns solid accent
  EXPECT_NE(d.at(839, 14), pin);
  EXPECT_GT(d.at(958, 4) >> 16, 0xC0u);    // the close cell turns red
  // Wider than W - 382: a marquee inside the box, 30 px/s after a 2 s hold.
  v = {.width = 1000, .tick = 100000, .maximized = true, .hovered = kTopBarRadioTab, .title = std::string(200, 'W')};
  draw();
  ASSERT_GT(bar.titleWidth(), 618);
  v.tick += 3000;
  draw();
  EXPECT_NEAR(bar.titleOffset(), 30, 0.5);
  EXPECT_FALSE(inked(180, 187));  // nothing left of the box
  EXPECT_FALSE(inked(807, 815));  // nor right of it
  v.width = 382;  // 382 pixels or less: no title box, so no title
  v.title = "T";
  draw();
  EXPECT_FALSE(inked(176, 196));
  v.width = 420;
  draw();
  EXPECT_TRUE(inked(188, 210));
}

}  // namespace
}  // namespace vell::test
