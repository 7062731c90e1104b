// The settings panel's rows and scrolling, with the panel at (680, 32), 320 wide.
#include <gtest/gtest.h>

#include "render/SettingsPanel.h"
#include "render/UiResources.h"

namespace vell {
namespace {

TEST(SettingsPanel, RowPlacesAndScrollRange) {
  // Sections 28 high, rows 36, the first 8 below the 36-pixel header.
  const int tops[kSettingsRowCount] = {76, 104, 140, 176, 212, 248, 284, 312, 348, 384, 420, 448, 484, 520, 556, 584, 620, 656};
  for (int i = 0; i < kSettingsRowCount; ++i) {
    EXPECT_EQ(settingsRowTop(32, 50, i), tops[i] - 50) << i;
    EXPECT_EQ(settingsRowAt(32, 2000, 0, static_cast<float>(tops[i])), i) << i;
  }
  // Past the last row, the gap above the first, rows scrolled under the header, below the panel.
  const float outside[][4] = {{2000, 0, 692}, {2000, 0, 70}, {2000, 60, 67}, {600, 0, 600}};  // bottom, scroll, y
  for (const auto& c : outside) EXPECT_EQ(settingsRowAt(32, c[0], static_cast<int>(c[1]), c[2]), -1) << c[2];
  for (auto [height, maxScroll] : {std::pair{600, 84}, {683, 1}, {684, 0}, {220, 464}})
    EXPECT_EQ(settingsMaxScroll(height), maxScroll) << height;
}

TEST(SettingsPanel, DrawClampsTheScrollAndKeepsTheBarInsideItsTrack) {
  UiResources res;
  res.build(22);
  Canvas c;
  c.resize(1000, 800);
  SettingsPanelView view;
  auto green = [&](int x, int y) { return (c.pixel(x, y) >> 8) & 0xFF; };  // the thumb is the greenest
  auto draw = [&](float bottom, int scroll) {
    c.clear();
    view.scroll = scroll;
    return drawSettingsPanel(c, res, RectF{680, 32, 1000, bottom}, view);
  };
  EXPECT_EQ(draw(632, 5000), 84);
  EXPECT_GT(green(998, 620), 80);  // the thumb at the bottom of the track
  EXPECT_EQ(draw(632, 0), 0);
  EXPECT_LT(green(998, 620), 60);
  EXPECT_EQ(draw(716, 30), 0);  // 684 high: never scrolls, and has no bar
  EXPECT_LT(green(998, 75), 60);
  draw(82, 0);  // a track of 10 pixels (70..80): the thumb stays on it
  EXPECT_GT(green(998, 75), 80);
  for (int y = 80; y < 100; ++y) EXPECT_LT(green(998, y), 60) << y;
  view.selected = 2;  // the selected row is filled; the row below it is not
  draw(716, 0);
  EXPECT_GT(green(686, 158), green(686, 194));
}

}  // namespace
}  // namespace vell
