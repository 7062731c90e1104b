// The now-playing view, empty and failed screens, subtitles and A-B markers. Drawn at
// W 1000, H 700 unless said otherwise: video area (0, 32)-(1000, 632), centre (500, 332).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "Scenes.h"
#include "render/NowPlaying.h"
#include "support/Media.h"
#include "support/RasterTies.h"

namespace vell::test {
namespace {

constexpr int W = 1000, H = 700, CX = 500, CY = 332, SEEK = 634;

TEST(NowPlaying, TextsAndCoverPlace) {
  EXPECT_EQ(technicalLine("aac", 0, 48000, 6), "AAC  ·  48.0 kHz  ·  Stereo");  // unknown parts left out
  const size_t cap = 48000 * 2 * 30;
  EXPECT_EQ(statusLine(cap / 1000, cap, 59999), "");  // exactly 0.1 % and under a minute: nothing
  EXPECT_EQ(statusLine(cap / 500, cap, 60000), "버퍼 0%  ·  1분 0초 청취");
  EXPECT_EQ(statusLine(cap, cap, (3600 + 125) * 1000), "버퍼 100%  ·  1시간 2분 청취");
  std::string hangul40;
  for (int i = 0; i < 40; ++i) hangul40 += "가";
  EXPECT_EQ(failedItemText(hangul40), hangul40);  // cut by characters, not bytes, past 40
  EXPECT_EQ(failedItemText(hangul40 + "x"), hangul40.substr(0, 38 * 3) + "..");
  EXPECT_EQ(resumeLabel("x", 3725.9), "▶ 이어듣기: x (1:02:05)");
  // The cover: 0.45 of the area's smaller side (at least 10), raised to end where the text begins.
  EXPECT_FLOAT_EQ(coverRect(3000, 1000, computeOverlayLayout(600, 500, false, false, false, 0)).width(), 180);
  EXPECT_FLOAT_EQ(coverRect(10, 10, computeOverlayLayout(20, 120, false, false, false, 0)).width(), 10);
  OverlayLayout big = computeOverlayLayout(1280, 720, false, false, false, 0);
  EXPECT_FLOAT_EQ(coverRect(1000, 1000, big).bottom, big.cy + 24);
}

TEST(AudioOnlyView, IconCoverBadgesAndLevelMeter) {
  Drawn d;
  OverlayState s = radioScene(W, H);
  d.draw(s);
  const uint32_t disc = d.at(CX - 30, CY - 80);  // inside the disc, off the radio icon
  s.audio.rebuffering = true;  // 1.5 s in the ring: the bar is filled to its middle
  s.audio.ringFill = 48000 * 2 * 3 / 2;
  d.draw(s);
  const uint32_t filled = d.at(CX - 40, CY + 26);
  EXPECT_EQ(d.at(CX - 2, CY + 26), filled);
  EXPECT_NE(d.at(CX + 40, CY + 26), filled);
  s.media.reconnecting = true;  // the reconnecting badge instead
  d.draw(s);
  EXPECT_NE(d.at(CX + 50, CY + 14), kBackground);
  EXPECT_NE(d.at(CX - 40, CY + 26), filled);
  // A cover replaces the icon until the medium changes; one that does not decode is tried once.
  const std::string png = mediaBytes(makeMedia("-f lavfi -i color=c=0x20C040:size=100x100 -frames:v 1", "png"));
  ASSERT_TRUE(d.overlay.setCover(reinterpret_cast<const uint8_t*>(png.data()), png.size(), "image/png"));
  s = podcastScene(W, H);
  d.draw(s);
  RectF r = coverRect(100, 100, computeOverlayLayout(s));
  EXPECT_TRUE(near(d.at(static_cast<int>(r.left) + 5, static_cast<int>(r.top) + 5), 0x20C040, 4));
  d.overlay.resetMedium();
  EXPECT_FALSE(d.overlay.coverTried());
  EXPECT_FALSE(d.overlay.setCover(reinterpret_cast<const uint8_t*>("junk data"), 9));
  EXPECT_TRUE(d.overlay.coverTried());
  d.draw(s);
  EXPECT_EQ(d.at(CX - 30, CY - 80), disc);
  // A file: its title once (its title tag comes back as a stream title), then artist and album.
  auto accentRows = [&](const OverlayState& scene) {
    d.overlay.resetMedium();
    d.draw(scene);
    int rows = 0;
    for (int y = CY + 50; y < CY + 100; ++y)
      for (int x = CX - 100; x < CX + 100; ++x)
        if (near(d.at(x, y), 0x6366F1, 40)) {
          ++rows;
          break;
        }
    return rows;
  };
  s = radioScene(W, H);
  s.media.isLive = false;
  s.currentPath = "/music/spring.flac";
  s.media.title = s.streamTitle = "봄날";
  EXPECT_EQ(accentRows(s), 0);
  s.media.artist = "방탄소년단";
  s.media.album = "You Never Walk Alone";
  EXPECT_GT(accentRows(s), 4);
  // H 700: the meter from C - 70 to C - 10; 0.2 x 5 = 1, reached by 30 % a paint. H 191: the meter
  // would lie under the lines of text, so there is none. Paused: none either.
  for (auto [h, state, shown] : {std::tuple{700, PlayState::Playing, true}, {191, PlayState::Playing, false},
                                 {700, PlayState::Paused, false}}) {
    s = radioScene(800, h);
    s.audio.levels.fill(0.2f);
    s.media.state = state;
    d.overlay.resetMedium();
    d.draw(s);
    EXPECT_EQ(d.at(52, h - 68 - 12) != kBackground, shown) << h;
    EXPECT_NEAR(d.overlay.meterLevels()[0], shown ? 0.3f : 0, 1e-6) << h;
  }
}

// Bars copied from their cached pictures give the pixels, and the drawn-on area, of the shapes:
// low, middling and full bars; bands on whole and on fractional pixels (at 921 units every band
// falls on its own place within a pixel); scaled displays; a bottom between pixels. Each row
// changes the width, the scale or the colours, so its pictures have to be made again. (Within 1
// a channel, but for pixel centres that lie exactly on a corner's curve where the canvas does not
// antialias.)
TEST(LevelMeter, CachedBarsAreTheShapes) {
  std::array<int16_t, kLevelBands> heights{};
  const int some[] = {0, 2, 3, 4, 5, 6, 7, 9, 12, 20, 31, 47, 59, 60};
  for (int i = 0; i < kLevelBands; ++i) heights[i] = static_cast<int16_t>(some[i % std::size(some)]);
  const UiResources r;
  MeterShapes shapes;
  struct Case { float width, bottom, scale; Color glow; };
  for (auto [width, bottom, scale, glow] : {Case{920, 160, 1, r.meterGlow}, Case{921, 160, 1, r.meterGlow},
                                            Case{921, 160.5f, 1.25f, r.meterGlow}, Case{920, 160, 1.5f, r.meterGlow},
                                            Case{920, 160, 2, r.meterGlow}, Case{920, 160, 2, Color::rgb(0xFF4000, 0.5f)}}) {
    const std::string what = std::to_string(width) + " at " + std::to_string(scale);
    const RectF area{40, bottom - 60, 40 + width, bottom};
    Canvas cached, direct;
    for (Canvas* c : {&cached, &direct}) {
      ASSERT_TRUE(c->resize(static_cast<int>((width + 80) * scale), static_cast<int>((bottom + 20) * scale)));
      c->setScale(scale);
    }
    shapes.draw(cached, area, heights, glow, r.meterBar);
    drawMeterBars(direct, area, heights, glow, r.meterBar);
    int differ = 0;
    for (int y = 0; y < cached.height(); ++y)
      for (int x = 0; x < cached.width(); ++x) {
        const uint32_t a = cached.pixel(x, y), b = direct.pixel(x, y);
        for (int shift = 0; shift < 32; shift += 8)
          if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 1) {
            ++differ;
            break;
          }
      }
    EXPECT_LE(differ, movedShapeTiePixels()) << what;
    const std::vector<RectI> marked = cached.dirtyRects(), shapesMarked = direct.dirtyRects();
    ASSERT_EQ(marked.size(), shapesMarked.size()) << what;
    for (size_t i = 0; i < marked.size(); ++i)
      EXPECT_TRUE(marked[i].x == shapesMarked[i].x && marked[i].y == shapesMarked[i].y &&
                  marked[i].w == shapesMarked[i].w && marked[i].h == shapesMarked[i].h)
          << what;
  }
}

TEST(EmptyScreen, ResumeAndRetryButtons) {
  Drawn d;
  OverlayState s = emptyScene(W, H);
  RectF resume = resumeButtonRect(computeOverlayLayout(s));
  const int rx = static_cast<int>(resume.left) + 4, ry = static_cast<int>(resume.top) + 17;
  d.draw(s);
  const uint32_t play = d.at(CX, CY - 30);
  s.pointer.x = rx;
  s.pointer.y = ry;
  d.draw(s);
  EXPECT_NE(d.at(rx, ry), kBackground);  // filled under the pointer,
  s.resumePosition = 2.0;
  d.draw(s);
  EXPECT_EQ(d.at(rx - 4, ry), kBackground);  // and gone when not worth resuming
  s = failedScene(W, H);  // no play triangle; the retry button filled under the pointer
  RectF retry = retryButtonRect(computeOverlayLayout(s));
  s.pointer.x = static_cast<int>(retry.left) + 4;
  s.pointer.y = static_cast<int>(retry.top) + 4;
  d.draw(s);
  EXPECT_EQ(d.at(CX, CY - 30), kBackground);
  EXPECT_NE(d.at(s.pointer.x, s.pointer.y), kBackground);
  s.tick = s.failedTick + 15000;  // after 15 s the empty screen again
  d.draw(s);
  EXPECT_EQ(d.at(CX, CY - 30), play);
}

TEST(Subtitles, OutlinedInTheChosenColourAboveTheControlsAndTheAbRange) {
  Drawn d;
  OverlayState s = videoScene(W, H, nullptr);
  s.pointer.seekHover = false;
  s.subtitleColor = 1;
  s.subtitleText = "자막 테스트 Subtitle";
  s.ab.pointA = s.ab.pointB = -1;
  int lowest = 0, yellow = 0, dark = 0;
  auto count = [&] {
    lowest = yellow = dark = 0;
    for (int y = 32; y < 632; ++y)
      for (int x = 0; x < W; ++x) {
        uint32_t p = d.at(x, y);
        int r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (r > 240 && g > 240 && b < 110) ++yellow, lowest = std::max(lowest, y);
        dark += r < 8 && g < 8 && b < 8;
      }
  };
  d.draw(s);
  count();
  EXPECT_GT(yellow, 100);
  EXPECT_GT(dark, 100);  // the outline
  EXPECT_LE(lowest, 632 - (22 * 0.5 + 10));
  for (int hide = 0; hide < 3; ++hide) {  // hidden, no track, nothing playing
    OverlayState t = s;
    t.subtitleVisible = hide != 0;
    t.subtitleTrackLoaded = hide != 1;
    if (hide == 2) t.media.state = PlayState::Idle;
    d.draw(t);
    count();
    EXPECT_EQ(yellow, 0) << hide;
  }
  // A-B markers on the seek bar at A (x 258) and B (x 742) over 1000 s, the range between tinted.
  s.subtitleText.clear();
  s.media.duration = 1000;
  s.ab.pointA = 250;
  s.ab.pointB = 750;
  d.draw(s);
  const uint32_t a = d.at(258, SEEK + 8), b = d.at(742, SEEK + 8), range = d.at(500, SEEK + 8), bar = d.at(200, SEEK + 8);
  EXPECT_EQ(std::set<uint32_t>({a, b, range, bar}).size(), 4u);
  s.ab.pointB = -1;  // only A set: its marker, no range
  d.draw(s);
  EXPECT_EQ(d.at(258, SEEK + 8), a);
  EXPECT_EQ(d.at(500, SEEK + 8), bar);
  s.media.duration = 0;  // live: no markers
  d.draw(s);
  EXPECT_EQ(d.at(258, SEEK + 8), bar);
}

}  // namespace
}  // namespace vell::test
