// The settings panel's rows and scrolling, with the panel at (680, 32), 320 wide.
#include <gtest/gtest.h>

#include "render/SettingsPanel.h"
#include "render/UiResources.h"

namespace vell {
namespace {

TEST(SettingsPanel, RowPlacesAndScrollRange) {
  // Sections 28 high, rows 36, the first 8 below the 36-pixel header.
  const int tops[kSettingsRowCount] = {76,  104, 140, 176, 212, 248, 284, 312, 348,
                                       384, 420, 448, 484, 520, 556, 584, 620, 656};
  for (int i = 0; i < kSettingsRowCount; ++i) {
    EXPECT_EQ(settingsRowTop(32, 0, i), tops[i]) << i;
    EXPECT_EQ(settingsRowAt(32, 2000, 0, static_cast<float>(tops[i])), i) << i;
    EXPECT_EQ(settingsRowTop(32, 50, i), tops[i] - 50) << i;
  }
  EXPECT_EQ(settingsRowAt(32, 2000, 0, 691), 17);
  EXPECT_EQ(settingsRowAt(32, 2000, 0, 692), -1);  // below the last row
  EXPECT_EQ(settingsRowAt(32, 2000, 0, 70), -1);   // the gap above the first
  EXPECT_EQ(settingsRowAt(32, 2000, 60, 67), -1);  // rows scrolled under the header are cut off
  EXPECT_EQ(settingsRowAt(32, 600, 0, 600), -1);   // and below the panel

  struct Case {
    int height, maxScroll;
  };
  for (Case c : {Case{600, 84}, Case{683, 1}, Case{684, 0}, Case{900, 0}, Case{220, 464}})
    EXPECT_EQ(settingsMaxScroll(c.height), c.maxScroll) << c.height;
}

TEST(SettingsPanel, DrawClampsTheScrollAndShowsTheBarOnlyWhenNeeded) {
  UiResources res;
  res.build(22);
  Canvas c;
  c.resize(1000, 800);
  SettingsPanelView view;
  auto green = [&](int x, int y) { return (c.pixel(x, y) >> 8) & 0xFF; };

  view.scroll = 5000;
  EXPECT_EQ(drawSettingsPanel(c, res, RectF{680, 32, 1000, 632}, view), 84);
  EXPECT_GT(green(998, 620), 80);  // the thumb at the bottom of the track (text muted)
  c.clear();
  view.scroll = 0;
  EXPECT_EQ(drawSettingsPanel(c, res, RectF{680, 32, 1000, 632}, view), 0);
  EXPECT_GT(green(998, 75), 80);  // ... and at its top
  EXPECT_LT(green(998, 620), 60);

  c.clear();
  view.scroll = 30;
  EXPECT_EQ(drawSettingsPanel(c, res, RectF{680, 32, 1000, 716}, view), 0);  // 684 high: never scrolls
  EXPECT_LT(green(998, 75), 60);                                             // and has no bar

  // The selected row is filled; the row below it is not.
  c.clear();
  view.selected = 2;
  drawSettingsPanel(c, res, RectF{680, 32, 1000, 716}, view);
  EXPECT_GT(green(686, 158), green(686, 194));
}

}  // namespace
}  // namespace vell
