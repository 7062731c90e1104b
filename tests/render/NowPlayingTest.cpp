// The now-playing view, empty and failed screens, subtitles and A-B markers. Drawn at
// W 1000, H 700 unless said otherwise: video area (0, 32)-(1000, 632), centre (500, 332).
#include <gtest/gtest.h>

#include <cmath>

#include "Scenes.h"
#include "platform/Files.h"
#include "render/NowPlaying.h"
#include "support/Media.h"

namespace vell::test {
namespace {

constexpr int W = 1000, H = 700, CX = 500, CY = 332, SEEK = 634;
constexpr uint32_t kAccent = 0x6366F1, kBackground = 0x121216, kAccent15 = 0x1D1E37;

TEST(NowPlayingText, TechnicalAndStatusLines) {
  EXPECT_EQ(technicalLine("mp3", 128, 44100, 2), "MP3  ·  128 kbps  ·  44.1 kHz  ·  Stereo");
  EXPECT_EQ(technicalLine("aac", 96, 48000, 6), "AAC  ·  96 kbps  ·  48.0 kHz  ·  Stereo");
  EXPECT_EQ(technicalLine("opus", 0, 0, 1), "OPUS  ·  Mono");
  EXPECT_EQ(technicalLine("", 0, 22050, 0), "22.1 kHz");
  EXPECT_EQ(technicalLine("", 0, 0, 0), "");

  const size_t cap = 48000 * 2 * 30;
  EXPECT_EQ(statusLine(cap / 2, cap, 0), "버퍼 50%");
  EXPECT_EQ(statusLine(cap / 1000, cap, 0), "");  // exactly 0.1 % is not shown
  EXPECT_EQ(statusLine(cap / 500, cap, 0), "버퍼 0%");
  EXPECT_EQ(statusLine(0, 0, 59999), "");
  EXPECT_EQ(statusLine(0, cap, 60000), "1분 0초 청취");
  EXPECT_EQ(statusLine(0, cap, 3599999), "59분 59초 청취");
  EXPECT_EQ(statusLine(cap, cap, (3600 + 125) * 1000), "버퍼 100%  ·  1시간 2분 청취");

  EXPECT_EQ(failedItemText("0123456789012345678901234567890123456789"), "0123456789012345678901234567890123456789");
  EXPECT_EQ(failedItemText("01234567890123456789012345678901234567890"), "01234567890123456789012345678901234567..");
  std::string hangul41;
  for (int i = 0; i < 41; ++i) hangul41 += "가";
  std::string cut;
  for (int i = 0; i < 38; ++i) cut += "가";
  EXPECT_EQ(failedItemText(hangul41), cut + "..");

  EXPECT_EQ(resumeLabel("과학 이야기", 754.9), "▶ 이어듣기: 과학 이야기 (12:34)");
  EXPECT_EQ(resumeLabel("x", 3725), "▶ 이어듣기: x (62:05)");
  EXPECT_EQ(bufferingText(1.46), "버퍼링... 1.5s");
}

TEST(NowPlayingGeometry, CoverOutlineAndColours) {
  // A 600 x 400 video area.
  OverlayLayout small = computeOverlayLayout(600, 500, false, false, false, 0);
  RectF r = coverRect(3000, 1000, small);
  EXPECT_FLOAT_EQ(r.width(), 180);
  EXPECT_FLOAT_EQ(r.height(), 60);
  EXPECT_FLOAT_EQ((r.left + r.right) / 2, 300);
  EXPECT_FLOAT_EQ((r.top + r.bottom) / 2, small.cy - 40);
  EXPECT_FLOAT_EQ(coverRect(10, 10, computeOverlayLayout(20, 120, false, false, false, 0)).width(), 10);

  // A square cover in a large window ends where the text begins.
  OverlayLayout big = computeOverlayLayout(1280, 720, false, false, false, 0);
  r = coverRect(1000, 1000, big);
  EXPECT_FLOAT_EQ(r.height(), 0.45f * 620);
  EXPECT_FLOAT_EQ(r.bottom, big.cy + 24);
  EXPECT_GT(r.top, big.video.top);

  EXPECT_NEAR(subtitleOutlineOffset(22), 1.54f, 1e-5);
  EXPECT_FLOAT_EQ(subtitleOutlineOffset(16), 1.5f);
  EXPECT_FLOAT_EQ(subtitleFillColor(9).r, 0.5f);  // out of range: the last colour
  EXPECT_FLOAT_EQ(subtitleFillColor(-1).b, 1.0f);

  EXPECT_FLOAT_EQ(abMarkerX(250, 1000, 1000), 258);
}

TEST(NowPlayingGeometry, WhichScreenShows) {
  OverlayState s = baseState(W, H);
  EXPECT_EQ(videoAreaContent(s), VideoAreaContent::Empty);
  s.connectionFailed = true;
  s.failedTick = s.tick - 14999;
  EXPECT_EQ(videoAreaContent(s), VideoAreaContent::Failed);
  s.failedTick = s.tick - 15000;
  EXPECT_EQ(videoAreaContent(s), VideoAreaContent::Empty);
  s.connecting = true;
  EXPECT_EQ(videoAreaContent(s), VideoAreaContent::None);
  s.connecting = false;
  s.currentPath = "/a.mp3";
  EXPECT_EQ(videoAreaContent(s), VideoAreaContent::None);  // stopped with a medium
  s.media.state = PlayState::Paused;
  EXPECT_EQ(videoAreaContent(s), VideoAreaContent::AudioOnly);
  s.media.hasVideo = true;
  EXPECT_EQ(videoAreaContent(s), VideoAreaContent::None);
}

TEST(LevelMeter, SmoothsAndNeedsRoom) {
  std::array<float, kLevelBands> smoothed{}, levels{};
  levels[0] = 0.1f;
  levels[1] = 1.0f;
  levels[2] = -1.0f;
  levels[3] = NAN;
  stepLevelMeter(smoothed, levels);
  EXPECT_NEAR(smoothed[0], 0.15f, 1e-6);
  EXPECT_NEAR(smoothed[1], 0.3f, 1e-6);
  EXPECT_EQ(smoothed[2], 0);
  EXPECT_EQ(smoothed[3], 0);
  stepLevelMeter(smoothed, levels);
  EXPECT_NEAR(smoothed[0], 0.255f, 1e-6);

  auto meterState = [](int h) {
    OverlayState s = radioScene(800, h);
    s.audio.levels.fill(0.2f);
    return s;
  };
  // H 191: C = 123, meter from 53 to 113. H 190: C - 70 = T + 20, no meter.
  Drawn d;
  d.draw(meterState(191));
  EXPECT_NE(d.at(52, 111), kBackground);
  EXPECT_NEAR(d.overlay.meterLevels()[0], 0.3f, 1e-6);
  d.overlay.resetMedium();
  d.draw(meterState(190));
  EXPECT_EQ(d.at(52, 110), kBackground);
  EXPECT_EQ(d.overlay.meterLevels()[0], 0);

  OverlayState paused = meterState(700);
  paused.media.state = PlayState::Paused;
  d.draw(paused);
  EXPECT_EQ(d.at(52, 632 - 12), kBackground);
  EXPECT_EQ(d.overlay.meterLevels()[0], 0);
  d.draw(meterState(700));
  EXPECT_NE(d.at(52, 632 - 12), kBackground);
}

TEST(AudioOnlyView, IconCoverAndBadges) {
  Drawn d;
  OverlayState s = radioScene(W, H);
  d.draw(s);
  EXPECT_TRUE(near(d.at(CX - 30, CY - 80), kAccent15));  // inside the disc, off the radio icon
  EXPECT_FALSE(near(d.at(CX - 64, CY - 40), kAccent15, 20));  // the ring
  EXPECT_EQ(d.at(CX - 40, CY + 14), kBackground);      // no badge yet

  // Rebuffering with 1.5 s in the ring: the bar is filled to its middle.
  s.audio.rebuffering = true;
  s.audio.ringFill = 48000 * 2 * 3 / 2;
  d.draw(s);
  EXPECT_EQ(d.at(CX - 40, CY + 26), kAccent);
  EXPECT_EQ(d.at(CX + 40, CY + 26), 0x646473u);
  // While reconnecting the buffering badge gives way to the reconnecting one.
  s.media.reconnecting = true;
  d.draw(s);
  EXPECT_NE(d.at(CX + 50, CY + 14), kBackground);
  EXPECT_NE(d.at(CX - 40, CY + 26), kAccent);

  // A cover replaces the icon.
  std::string png;
  ASSERT_TRUE(readFile(makeMedia("-f lavfi -i color=c=0x20C040:size=100x100 -frames:v 1", "png"), png));
  ASSERT_TRUE(d.overlay.setCover(reinterpret_cast<const uint8_t*>(png.data()), png.size(), "image/png"));
  EXPECT_TRUE(d.overlay.coverTried());
  s = podcastScene(W, H);
  d.draw(s);
  RectF r = coverRect(100, 100, computeOverlayLayout(s));
  EXPECT_TRUE(near(d.at(static_cast<int>(r.left) + 5, static_cast<int>(r.top) + 5), 0x20C040, 4));
  d.overlay.resetMedium();
  EXPECT_FALSE(d.overlay.coverTried());
  EXPECT_FALSE(d.overlay.setCover(reinterpret_cast<const uint8_t*>("junk data"), 9));
  EXPECT_TRUE(d.overlay.coverTried());
  d.draw(s);
  EXPECT_TRUE(near(d.at(CX - 30, CY - 80), kAccent15));  // back to the icon disc
}

TEST(EmptyScreen, HintsRetryAndResume) {
  Drawn d;
  OverlayState s = emptyScene(W, H);
  d.draw(s);
  EXPECT_EQ(d.at(CX, CY - 30), kAccent);          // play triangle
  EXPECT_TRUE(near(d.at(CX, CY - 30 + 40), kAccent15));   // its disc
  RectF resume = resumeButtonRect(computeOverlayLayout(s));
  const int rx = static_cast<int>(resume.left) + 4, ry = static_cast<int>(resume.top) + 17;
  EXPECT_NE(d.at(static_cast<int>(resume.left), ry), kBackground);  // outline
  EXPECT_EQ(d.at(rx, ry), kBackground);
  s.mouseX = rx;
  s.mouseY = ry;
  d.draw(s);
  EXPECT_TRUE(near(d.at(rx, ry), kAccent15));
  s.resumePosition = 2.0;  // not worth resuming
  d.draw(s);
  EXPECT_EQ(d.at(static_cast<int>(resume.left), ry), kBackground);

  s = failedScene(W, H);
  RectF retry = retryButtonRect(computeOverlayLayout(s));
  const int bx = static_cast<int>(retry.left) + 4, by = static_cast<int>(retry.top) + 4;
  d.draw(s);
  EXPECT_EQ(d.at(CX, CY - 30), kBackground);  // no play triangle on the failed screen
  EXPECT_EQ(d.at(bx, by), kBackground);
  EXPECT_NE(d.at(static_cast<int>(retry.left), by + 10), kBackground);
  s.mouseX = bx;
  s.mouseY = by;
  d.draw(s);
  EXPECT_TRUE(near(d.at(bx, by), kAccent15));
  s.tick = s.failedTick + 15000;
  d.draw(s);
  EXPECT_EQ(d.at(CX, CY - 30), kAccent);
}

TEST(Subtitles, OutlinedInTheChosenColourAboveTheControls) {
  Drawn d;
  OverlayState s = videoScene(W, H, nullptr);
  s.seekHover = false;
  s.pointA = s.pointB = -1;
  s.subtitleColor = 1;
  s.subtitleText = "자막 테스트 Subtitle";
  d.draw(s);
  int yellow = 0, dark = 0, lowest = 0;
  for (int y = 32; y < 632; ++y)
    for (int x = 0; x < W; ++x) {
      uint32_t p = d.at(x, y);
      int r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (r > 240 && g > 240 && b < 110) ++yellow, lowest = std::max(lowest, y);
      if (r < 8 && g < 8 && b < 8) ++dark;
    }
  EXPECT_GT(yellow, 100);
  EXPECT_GT(dark, 100);  // the outline
  EXPECT_LE(lowest, 632 - (22 * 0.5 + 10));

  for (auto hide : {0, 1, 2}) {
    OverlayState t = s;
    if (hide == 0) t.subtitleVisible = false;
    if (hide == 1) t.subtitleTrackLoaded = false;
    if (hide == 2) t.media.state = PlayState::Idle;
    d.draw(t);
    int found = 0;
    for (int y = 400; y < 632; ++y)
      for (int x = 0; x < W; x += 2) found += (d.at(x, y) >> 16) > 240;
    EXPECT_EQ(found, 0) << hide;
  }
}

TEST(AbMarkers, OnTheSeekBar) {
  Drawn d;
  OverlayState s = baseState(W, H);
  s.currentPath = "/a.mp4";
  s.media.state = PlayState::Playing;
  s.media.hasVideo = true;
  s.media.duration = 1000;
  s.pointA = 250;  // x 258
  s.pointB = 750;  // x 742
  d.draw(s);
  EXPECT_EQ(d.at(258, SEEK + 8), 0x21C45Eu);
  EXPECT_EQ(d.at(742, SEEK + 8), 0xEF4444u);
  EXPECT_TRUE(near(d.at(500, SEEK + 8), 0x162E24, 3)) << std::hex << d.at(500, SEEK + 8);
  EXPECT_EQ(d.at(200, SEEK + 8), 0x14141Au);
  s.pointB = -1;  // only A set: its marker, no range
  d.draw(s);
  EXPECT_EQ(d.at(258, SEEK + 8), 0x21C45Eu);
  EXPECT_EQ(d.at(500, SEEK + 8), 0x14141Au);
  s.media.duration = 0;  // live: no markers
  d.draw(s);
  EXPECT_EQ(d.at(258, SEEK + 8), 0x14141Au);
}

}  // namespace
}  // namespace vell::test
