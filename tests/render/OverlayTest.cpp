// The overlay's layout (bars, panels, hiding controls, hit tests and the marquee), and its pixels
// where the layout puts things (W 1000, H 700: C = 632, seek line at 634, control bar 646..700
// centred on 673). Colours are compared with each other, not with the palette.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Scenes.h"
#include "platform/TextField.h"
#include "render/NowPlaying.h"
#include "render/OverlayLayout.h"
#include "render/TopBar.h"

namespace vell::test {
namespace {

constexpr int W = 1000, H = 700, CY = 673, SEEK = 634;

OverlayState playing(double position, double duration) {
  OverlayState s = baseState(W, H);
  s.currentPath = "/media/a.mp4";
  s.media = {.state = PlayState::Playing, .position = position, .duration = duration, .hasVideo = true};
  return s;
}

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

// The seek fill ends at the clamped progress; the hover tooltip stays inside the window. A notch
// marks where each chapter but the first starts (x = 16 + t / 1000 x 968), on the fill and on the
// track; the tooltip adds the title of the chapter under the pointer and widens for it.
TEST(ControlBar, SeekFillTooltipAndChapterNotches) {
  Drawn d;
  d.draw(playing(0, 0));  // no duration: an empty track
  const uint32_t track = d.at(20, SEEK + 2);
  d.draw(playing(5000, 1000));  // past the end: clamped
  const uint32_t fill = d.at(W - 20, SEEK + 2);
  EXPECT_NE(fill, track);
  OverlayState s = playing(250, 1000);
  d.draw(s);
  EXPECT_EQ(d.at(255, SEEK + 2), fill);  // ends at 16 + 0.25 x (W - 32) = 258
  EXPECT_EQ(d.at(261, SEEK + 2), track);
  // The tooltip: for the pointer within 17..W - 17 while hovered, its box kept inside.
  const int cases[][4] = {{17, 1, 19, 1},         {17, 1, 14, 0}, {W - 17, 1, W - 70, 1},
                          {W - 17, 1, W - 14, 0}, {16, 1, 19, 0}, {500, 0, 500, 0}};  // mouse, hover, x, drawn
  for (const auto& c : cases) {
    s.pointer.x = c[0];
    s.pointer.seekHover = c[1];
    d.draw(s);
    EXPECT_EQ(d.at(c[2], SEEK - 20) != kBackground, c[3] != 0) << c[0] << " at " << c[2];
  }
  s.pointer.seekHover = false;
  const uint32_t start = d.at(17, SEEK + 2);
  s.media.chapters = std::make_shared<const std::vector<Chapter>>(
      std::vector<Chapter>{{0, 125, "Intro"}, {125, 625, "2악장 Allegro"}, {625, 1000, ""}});
  d.draw(s);
  EXPECT_NE(d.at(137, SEEK + 2), fill);  // at 137
  EXPECT_EQ(d.at(140, SEEK + 2), fill);
  EXPECT_NE(d.at(621, SEEK + 2), track);  // at 621
  EXPECT_EQ(d.at(624, SEEK + 2), track);
  EXPECT_EQ(d.at(17, SEEK + 2), start);  // none for the first
  s.pointer.seekHover = true;
  for (int x : {400, 800}) {  // 6:36 in "2악장 Allegro"; 8:09 in the untitled one, the time alone
    s.pointer.x = x;
    d.draw(s);
    EXPECT_EQ(d.at(x - 40, SEEK - 20) != kBackground, x == 400) << x;
    EXPECT_NE(d.at(x - 20, SEEK - 20), kBackground) << x;
  }
}

TEST(ControlBar, PlayButtonLiveBadgeVolumeAndSpeed) {
  Drawn d;
  OverlayState s = playing(12, 0);
  d.draw(s);
  const uint32_t live = d.at(20, CY + 5), bar = d.at(300, CY), disc = d.at(500, CY + 20);
  EXPECT_NE(live, bar);
  EXPECT_EQ(d.at(500, CY), disc);  // between the pause bars
  EXPECT_EQ(d.at(500, CY + 26), bar);
  s.media.duration = 100;  // a time read-out instead of the badge
  d.draw(s);
  EXPECT_NE(d.at(20, CY + 5), live);
  s.media.state = PlayState::Idle;  // neither; the play triangle, its hover halo
  s.pointer.controlHover = 1;
  d.draw(s);
  EXPECT_EQ(d.at(20, CY + 5), bar);
  EXPECT_NE(d.at(500, CY), disc);
  EXPECT_NE(d.at(500, CY + 26), bar);
  s = playing(0, 100);
  s.media.volume = 0.5f;  // filled to W - 108; no speed badge at 1.0x
  d.draw(s);
  const uint32_t fill = d.at(W - 120, CY);
  EXPECT_NE(d.at(W - 96, CY), fill);
  EXPECT_EQ(d.at(582, CY - 8), bar);
  s.media.muted = true;
  s.media.speed = 1.5f;
  d.draw(s);
  EXPECT_NE(d.at(W - 120, CY), fill);
  EXPECT_NE(d.at(582, CY - 8), bar);
}

// On the device the program itself takes (Direct3D under Windows), every paint leaves on screen
// what a fresh presenter painting the same state whole would: a cue that changes or ends, the
// controls sliding away and back, text typed into a dialog over a playing picture, the meter
// redrawn alone over the audio view, a toast that fades. Between whole paints a new picture
// redraws only itself and a moved seek fill only its strip.
TEST(Overlay, EveryPaintLeavesWhatAFreshWholePaintWould) {
  Screen s, fresh;
  ASSERT_TRUE(s.open(W, H, "") && fresh.open(W, H, ""));
  TestFrame red(320, 180, 0xFF0000), blue(320, 180, 0x0000FF);
  TextField field;
  OverlayHooks hooks;
  hooks.inputFields = [&](Canvas& c, const UiResources& r, const OverlayState& st, const InputLayout& in) {
    field.draw(c, in.urlBox, r.body12NoWrap, Color::rgb(0xEBEEF5), r.accent, st.tick, true);
  };
  enum How { Whole, Picture, Seek, Meter };
  int meterSteps = 0;
  auto check = [&](const OverlayState& st, How how, const std::string& what) {
    const RectI nowhere{};
    bool drawn = how == Whole    ? s.overlay.paint(s.renderer, s.res, st, hooks)
                 : how == Picture ? s.overlay.paintPicture(s.renderer, st, &nowhere)
                 : how == Seek    ? s.overlay.paintSeekLine(s.renderer, s.res, st)
                                  : s.overlay.paintMeter(s.renderer, s.res, st);
    ASSERT_TRUE(drawn) << what;
    ASSERT_TRUE(s.renderer.readPixels(s.pixels, s.width, s.height));
    // The meter's bars follow the levels a step a paint: the fresh one takes as many steps.
    meterSteps = st.media.hasVideo ? 0 : meterSteps + 1;
    // A new canvas and no meter history: as good as a new presenter.
    fresh.renderer.resize(1, 1);
    fresh.renderer.resize(W, H);
    fresh.overlay.resetMedium();
    for (int i = 0; i < std::max(meterSteps, 1); ++i) fresh.paint(st, hooks);
    int differ = 0;
    for (size_t i = 0; i < s.pixels.size(); ++i) differ += (s.pixels[i] & 0xFFFFFF) != (fresh.pixels[i] & 0xFFFFFF);
    EXPECT_EQ(differ, 0) << what;
  };
  // A cue, another, none.
  OverlayState st = videoScene(W, H, &red.frame);
  st.ab.pointA = st.ab.pointB = -1;
  for (const char* cue : {"안녕하세요, 여러분!\n오늘은 바다에 왔습니다.", "네", ""}) {
    st.subtitleText = cue;
    check(st, Whole, std::string("cue ") + cue);
  }
  // Full screen: the controls slide away under a changing picture and come back.
  st.view.fullscreen = true;
  for (float offset : {0.25f, 0.5f, 1.0f, 0.5f, 0.0f}) {
    st.view.controlsOffset = offset;
    st.frame = st.frame == &red.frame ? &blue.frame : &red.frame;
    check(st, Whole, "controls at " + std::to_string(offset));
  }
  // New pictures and a moving fill between whole paints.
  st = videoScene(W, H, &red.frame);
  st.pointer.seekHover = false;
  st.ab.pointA = st.ab.pointB = -1;
  st.media.position = 10.1;  // the fill moves 50 px a second; the read-out stays
  st.media.duration = 20;
  check(st, Whole, "before the partial paints");
  for (const auto& [frame, position] : {std::pair{&blue, 10.1}, {&red, 10.5}, {&blue, 10.9}}) {
    const bool seekMoved = position != st.media.position;
    st.frame = &frame->frame;
    st.media.position = position;
    ASSERT_TRUE(s.overlay.seekLineAlone());
    check(st, seekMoved ? Seek : Picture, "partial at " + std::to_string(position));
  }
  // Under the pointer (its tooltip), the play button's hover ring or with A-B marks the strip
  // is drawn whole.
  for (int what = 0; what < 3; ++what) {
    OverlayState other = st;
    other.pointer.seekHover = what == 0;
    other.pointer.controlHover = what == 1 ? 1 : -1;
    other.ab.pointA = what == 2 ? 1 : -1;
    s.overlay.paint(s.renderer, s.res, other);
    EXPECT_FALSE(s.overlay.seekLineAlone()) << what;
  }
  // Typing into the dialog's field over the playing picture.
  st = inputScene(W, H);
  st.input.urlOnly = true;
  st.input.focusedField = 2;
  st.frame = &red.frame;
  st.media = {.state = PlayState::Playing, .position = 3, .duration = 20, .hasVideo = true};
  for (const char* typed : {"h", "ht", "http://", "http://주소"}) {
    field.edit.setText(typed);
    st.frame = st.frame == &red.frame ? &blue.frame : &red.frame;
    check(st, Whole, std::string("typed ") + typed);
  }
  // The audio view with the meter redrawn alone; a toast that comes and fades.
  st = radioScene(W, H);
  st.media.isLive = false;  // a file: no pulsing live badge beside the meter
  st.media.duration = 300;
  st.media.position = 10;
  check(st, Whole, "audio view");
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(s.overlay.meterOnly());
    check(st, Meter, "meter " + std::to_string(i));
  }
  // Held levels: the bars settle, and then a meter paint that would move no bar draws nothing.
  int moving = 0;
  while (moving < 40 && s.overlay.paintMeter(s.renderer, s.res, st)) ++moving;
  EXPECT_LT(moving, 40);
  st = videoScene(W, H, &blue.frame);
  st.toast.text = "볼륨: 80%";
  for (uint32_t age : {100u, 1400u, 1600u}) {
    st.toast.tick = st.tick - age;
    check(st, Whole, "toast at " + std::to_string(age));
  }
}

TEST(Overlay, QuickOpenScrimHelpAndDialog) {
  Drawn d;
  OverlayState s = toastScene(W, H);  // the quick-open bar from y 580; half open, it is clipped at C
  s.view.quickOpenAlpha = 0.5f;
  d.draw(s);
  EXPECT_NE(d.at(305, 620), kBackground);
  EXPECT_EQ(d.at(305, 640), d.at(100, 640));
  d.draw(connectingScene(W, H));  // the scrim covers the video area only
  EXPECT_LT(d.at(10, 100) & 0xFF, kBackground & 0xFF);
  EXPECT_EQ(d.at(990, 620), d.at(10, 100));
  EXPECT_EQ(d.at(10, 20), kBackground);
  d.draw(helpScene(W, H));  // the sheet (290..710, centred) has room for every row: the last key is drawn
  const int rows = static_cast<int>(kHelpRows.size()), top = (H - (48 + 20 * rows + 12)) / 2;
  const int lastKey = top + 48 + 20 * (rows - 1);
  int ink = 0;
  for (int x = 590; x < 690; ++x)
    for (int y = lastKey; y < lastKey + 18; ++y) ink += d.at(x, y) != d.at(700, lastKey + 9);
  EXPECT_GT(ink, 20);
  s = inputScene(W, 600);
  d.draw(s);
  const RectF name = computeInputLayout(W, 600, true).nameBox;
  const int x = static_cast<int>(name.left) + 20, y = static_cast<int>(name.top);
  // The 1-wide ring on the box's top edge: half on each row beside it, or all on the row above
  // where shapes are drawn without antialiasing.
  auto ring = [&] { return static_cast<int>(std::max(d.at(x, y - 1) & 0xFF, d.at(x, y) & 0xFF)); };
  const int focused = ring();
  EXPECT_LT(d.at(5, 5) & 0xFF, kBackground & 0xFF);  // the scrim
  EXPECT_EQ(d.at(x, y + 17), kBackground);            // the field itself
  s.input.focusedField = 2;                           // the ring moves to the URL box
  s.input.hover = 0;
  d.draw(s);
  EXPECT_GT(focused, ring() + 60);
}

// The pill is as wide as its text on one line plus its padding, centred within the window; text
// wider than that is cut, never wrapped out of the pill. Over its last 300 ms it fades out.
TEST(Overlay, TheToastPillHoldsItsTextOnOneLineAndFades) {
  Drawn d;
  const std::pair<int, const char*> cases[] = {
      {1000, "볼륨: 80%"}, {1000, "에피소드를 불러올 수 없음"}, {480, "에피소드를 불러올 수 없음 — 네트워크 연결을 확인하세요"}};
  for (auto [width, text] : cases) {
    SCOPED_TRACE(text);
    OverlayState s = baseState(width, 600);  // the pill: 44 high from y 90
    s.toast.text = text;
    s.toast.tick = s.tick - 100;
    s.toast.durationMs = 1500;
    d.draw(s);
    int left = width, right = -1;
    for (int x = 0; x < width; ++x)
      if (d.at(x, 112) != kBackground) left = std::min(left, x), right = x;
    const float textWidth = d.canvas.measureText(text, d.res.toast18).x;
    EXPECT_GE(right - left + 2, std::min(textWidth + 48, width - 16.0f));
    EXPECT_GE(left, 8);
    EXPECT_LE(right, width - 9);
    EXPECT_NEAR(left + right, width, 2);
    for (int y : {84, 88, 135, 140})
      for (int x = 0; x < width; ++x) ASSERT_EQ(d.at(x, y), kBackground) << x << "," << y;
    const uint32_t full = d.at(left + 3, 112);
    s.toast.tick = s.tick - 1350;  // 150 ms left: half strength
    d.draw(s);
    EXPECT_TRUE(near(d.at(left + 3, 112), ((full & 0xFEFEFE) + (kBackground & 0xFEFEFE)) / 2)) << std::hex << full;
  }
}

TEST(Overlay, FullscreenTitleScrollsOnlyWhenWider) {
  Drawn d;
  OverlayState s = playing(0, 100);
  s.view.fullscreen = true;
  s.currentPath = "/films/아주 긴 제목의 영화 파일 이름 — 감독판 확장 에디션.mkv";
  d.canvas.resize(W, H);
  const float w = d.canvas.measureText(fullscreenTitle(s.currentPath), d.res.title14NoWrap).x;
  auto drawFor = [&](int width, uint32_t ms) {
    s.width = width;
    d.overlay.onResize();
    d.draw(s);
    s.tick += ms;
    d.draw(s);
    return d.overlay.titleOffset();
  };
  EXPECT_EQ(drawFor(static_cast<int>(std::ceil(w)) + 32, 3000), 0);  // exactly fits
  EXPECT_NEAR(drawFor(static_cast<int>(std::floor(w)) + 31, 3000), 40, 0.01);  // one pixel short: scrolls
  EXPECT_NE(d.at(8, 2), kBackground);  // clipped to 16..W - 16: the margin shows the strip only
  for (int y = 4; y < 32; y += 3) EXPECT_EQ(d.at(8, y), d.at(8, 2)) << y;
  s.view.controlsOffset = 68;  // controls hidden: no strip, and the scroll starts over
  d.draw(s);
  EXPECT_EQ(d.at(8, 18), kBackground);
  s.view.controlsOffset = 0;
  d.draw(s);
  EXPECT_EQ(d.overlay.titleOffset(), 0);
}

TEST(Overlay, KoreanTextsHaveRealGlyphsInEveryFormat) {
  Drawn d;
  d.canvas.resize(10, 10);
  ASSERT_GE(d.canvas.unknownGlyphCount("\xF4\x8F\xBF\xBF", d.res.small10), 1);  // U+10FFFF has no glyph anywhere
  std::vector<std::string> texts = {"파일을 드래그하거나 O 키를 눌러 열기", "연결 실패 재시도 재연결 중",
                                    resumeLabel("두시의 데이트", 754), statusLine(100, 1000, 200000), "슬립 타이머 — 재생 정지됨"};
  for (const HelpRow& row : kHelpRows) texts.push_back(std::string(row.description) + " " + row.keys);
  // Every use of the input dialog: add, open, playlist, category, edit, media, subtitle and queue paths.
  for (InputDialogView v : {InputDialogView{.urlOnly = false}, {}, {.use = InputUse::AddToPlaylist},
                            {.use = InputUse::NewCategory}, {.editing = true}, {.use = InputUse::OpenFilePath},
                            {.use = InputUse::SubtitlePath}, {.use = InputUse::QueueFilePath}}) {
    InputDialogTexts t = inputDialogTexts(v);
    texts.insert(texts.end(), {t.title, t.prompt, t.ok});
  }
  const UiResources& r = d.res;
  for (const TextFormat* f : {&r.small10, &r.hint15, &r.heading18, &r.label12, &r.toast18, &r.subtitle, &r.button12,
                              &r.title14NoWrap, &r.tooltip11, &r.small10Line})
    for (const std::string& t : texts) EXPECT_EQ(d.canvas.unknownGlyphCount(t, *f), 0) << t;
}

// The title bar of a 1000-pixel window: tab switch 28..172, title box 188..806, buttons
// from 816 (pin), 862 (minimise), 908 (maximise), 954 (close).
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
  EXPECT_EQ(TopBar::controlAt(1000, 400, 16), kTopBarNone);  // the title box is no control
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
