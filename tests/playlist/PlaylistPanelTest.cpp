// The playlist panel at (680, 32), 320 x 600 (r = 1000, b = 632, list from y = 68), drawn
// onto a bare canvas and hit-tested.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/Canvas.h"
#include "playlist/PlaylistPanel.h"
#include "render/UiResources.h"

namespace vell {
namespace {

constexpr int L = 680, T = 32, W = 320, H = 600;

// Items 0..2 uncategorised; a stored empty category "빈" (no header); "뉴스" with items 3
// and 4; "음악" collapsed with item 5. Rows: items 68, 104, 140; "뉴스" header 176..206;
// items 206, 242; "음악" header 278..308; then empty space down to 632.
Playlist sample() {
  Playlist p;
  for (int i = 0; i < 6; ++i) p.addFile("/m/" + std::to_string(i) + ".mp3");
  p.addCategory("빈");
  p.setCategory(3, "뉴스");
  p.setCategory(4, "뉴스");
  p.setCategory(5, "음악");
  p.toggleCollapsed(2);
  p.visible = true;
  return p;
}

struct Painted {
  Canvas canvas;
  UiResources res;
  Painted() {
    res.build(22);
    canvas.resize(1000, 700);
  }
  void draw(Playlist& p) {
    canvas.clear();
    PlaylistPanel::draw(p, canvas, L, T, W, H, res);
  }
  // Premultiplied channels, i.e. the colour over black.
  int channel(int x, int y, int shift) const { return static_cast<int>((canvas.pixel(x, y) >> shift) & 0xFF); }
  // Strongest red-over-blue in a small box: the delete cross is the only red thing drawn.
  int redness(int cx, int cy) const {
    int best = -255;
    for (int y = cy - 4; y <= cy + 4; ++y)
      for (int x = cx - 4; x <= cx + 4; ++x) best = std::max(best, channel(x, y, 16) - channel(x, y, 0));
    return best;
  }
  bool accentAt(int x, int y) const { return channel(x, y, 0) > 150 && channel(x, y, 16) < 120; }
};

TEST(PlaylistPanel, HitCodesByPlace) {
  Playlist p = sample();
  struct Case { float x, y; int click, row; } cases[] = {
      {680, 80, 0, 0},        {679, 80, -1, -1},  // the left edge is inside
      {972, 150, 10002, -1},  // the delete zone from r - 28
      {990, 40, -2, -1},      {963, 40, -3, -1},  {935, 40, -4, -1}, {907, 40, -1, -1},  // close, pin, plus, none
      {800, 180, 20001, -1},  // "뉴스" is merged index 1: the empty "빈" has no header
      {800, 300, 20002, -1},  // collapsed "음악": header only
      {800, 308, -1, -1},     // the gap below the last row
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlaylistPanel::hitTestClick(p, c.x, c.y, L, T, W, H), c.click) << c.x << "," << c.y;
    EXPECT_EQ(PlaylistPanel::hitTestRow(p, c.x, c.y, L, T, W, H), c.row) << c.x << "," << c.y;
  }
  // Scrolled by 50: the first row is partly under the header bar, which still answers as the bar.
  p.scrollOffset = 50;
  EXPECT_EQ(PlaylistPanel::hitTestClick(p, 800, 60, L, T, W, H), -1);
  EXPECT_EQ(PlaylistPanel::hitTestClick(p, 800, 70, L, T, W, H), 1);
  EXPECT_EQ(PlaylistPanel::hitTestRow(p, 800, 60, L, T, W, H), -1);
}

TEST(PlaylistPanel, TextsOfRows) {
  const std::pair<double, const char*> durations[] = {{3599.9, "59:59"}, {3600, "1:00:00"}, {61.5, "01:01"},
                                                      {359999.9, "99:59:59"}, {360000, ""}, {0, ""}, {-3, ""},
                                                      {NAN, ""}};
  for (const auto& [seconds, text] : durations) EXPECT_EQ(PlaylistPanel::durationText(seconds), text) << seconds;
  Playlist p = sample();
  EXPECT_EQ(PlaylistPanel::categoryLabel(p, "음악"), "음악 (1)");  // collapsed, still counted
}

TEST(PlaylistPanel, PaintingHoverChevronsScrollAndClipping) {
  Painted d;
  Playlist p = sample();
  const int mid1 = 104 + 18;
  p.hoverRow = 1;
  p.scrollOffset = 40;  // the content (240 px) fits: always 0
  d.draw(p);
  EXPECT_EQ(p.scrollOffset, 0);
  EXPECT_GT(d.redness(980, mid1), 60);
  int hoverFill = d.channel(995, mid1, 16);
  p.hoverRow = 10001;  // pointer on the delete zone: neither cross nor hover fill
  d.draw(p);
  EXPECT_LT(d.redness(980, mid1), 20);
  EXPECT_LT(d.channel(995, mid1, 16), hoverFill);
  EXPECT_EQ(d.channel(995, mid1, 16), d.channel(995, 86, 16));  // like a plain row
  // Collapsed points right (tip at x + 18), expanded points down (tip at x + 14, mid + 4).
  EXPECT_TRUE(d.accentAt(L + 18, 278 + 15) || d.accentAt(L + 17, 278 + 15));
  EXPECT_TRUE(d.accentAt(L + 14, 176 + 15 + 3) || d.accentAt(L + 14, 176 + 15 + 4));
  EXPECT_FALSE(d.accentAt(L + 18, 176 + 15));

  Playlist longList;
  for (int i = 0; i < 30; ++i) longList.addFile("/m/" + std::to_string(i) + ".mp3");
  longList.visible = true;
  longList.scrollOffset = 5000;
  d.draw(longList);
  EXPECT_EQ(longList.scrollOffset, 30 * 36 - (H - 36));
  // Item 0 current, scrolled by 20: its accent bar (from rowTop + 2 = 50) stops at the list's top.
  longList.setCurrent(0);
  longList.scrollOffset = 20;
  d.draw(longList);
  EXPECT_TRUE(d.accentAt(L + 2, 75));
  EXPECT_FALSE(d.accentAt(L + 2, 60));
  longList.visible = false;  // a hidden panel draws nothing
  d.draw(longList);
  EXPECT_FALSE(d.canvas.hasDrawing());
}

// The number column is as wide as the widest number shown: the last row's number, drawn with an
// empty title, ends left of where its title ("W") starts.
TEST(PlaylistPanel, NumbersNeverRunIntoTitles) {
  Painted empty, titled;
  auto lastRow = [](Painted& d, int count, const char* lastName) {
    Playlist p;
    for (int i = 1; i < count; ++i) p.addFile("/m/a.mp3");
    p.addFile(std::string("/m/") + lastName + ".mp3");
    p.visible = true;
    p.scrollOffset = 1 << 30;  // the last row at the bottom, 596..632
    d.draw(p);
  };
  for (int count : {9, 99, 999, 1000, 9999, 10000}) {
    lastRow(empty, count, "");
    lastRow(titled, count, "W");
    int numberEnd = -1, titleStart = 1000;
    for (int x = L + 10; x < L + W - 40; ++x)
      for (int y = 600; y < 628; ++y) {
        if (empty.canvas.pixel(x, y) != empty.canvas.pixel(L + W - 10, y)) numberEnd = std::max(numberEnd, x);
        if (titled.canvas.pixel(x, y) != empty.canvas.pixel(x, y)) titleStart = std::min(titleStart, x);
      }
    EXPECT_LT(numberEnd + 2, titleStart) << count;
  }
}

}  // namespace
}  // namespace vell
