// Pixels of the overlay at the places the layout gives them (W 1000, H 700: C = 632, seek
// line at 634, control bar 646..700 with its centre line at 673).
#include <gtest/gtest.h>

#include <cmath>

#include "Scenes.h"

namespace vell::test {
namespace {

constexpr uint32_t kAccent = 0x6366F1, kWhite = 0xFFFFFF, kRed = 0xEF4444, kTrack = 0x32323C;
constexpr uint32_t kBar = 0x14141A, kBackground = 0x121216;
constexpr int W = 1000, H = 700, CY = 673, SEEK = 634;

OverlayState playing(double position = 250, double duration = 1000) {
  OverlayState s = baseState(W, H);
  s.currentPath = "/media/a.mp4";
  s.media.state = PlayState::Playing;
  s.media.hasVideo = true;
  s.media.position = position;
  s.media.duration = duration;
  return s;
}

TEST(ControlBar, PlayDiscAndIcons) {
  Drawn d;
  OverlayState s = playing();
  d.draw(s);
  EXPECT_EQ(d.at(500, CY), kAccent);       // between the pause bars
  EXPECT_EQ(d.at(500, CY + 20), kAccent);  // inside the disc
  EXPECT_EQ(d.at(494, CY), kWhite);        // left pause bar (494..496)
  EXPECT_EQ(d.at(506, CY), kWhite);
  EXPECT_EQ(d.at(500, CY + 26), kBar);     // outside the disc

  s.media.state = PlayState::Paused;
  s.controlHover = 1;
  d.draw(s);
  EXPECT_EQ(d.at(500, CY), kWhite);  // the play triangle
  EXPECT_EQ(d.at(500, CY + 20), kAccent);
  EXPECT_TRUE(near(d.at(500, CY + 26), 0x2A2B4C, 3)) << std::hex << d.at(500, CY + 26);  // halo at 25 %
}

TEST(ControlBar, SeekFillEndsAtTheProgressPoint) {
  Drawn d;
  for (double p : {0.25, 0.75}) {
    d.draw(playing(p * 1000, 1000));
    float end = 16 + static_cast<float>(p) * (W - 32);
    EXPECT_EQ(d.at(static_cast<int>(end) - 3, SEEK + 2), kAccent) << p;
    EXPECT_EQ(d.at(static_cast<int>(end) + 3, SEEK + 2), kTrack) << p;
  }
  d.draw(playing(0, 0));  // no duration: an empty track
  EXPECT_EQ(d.at(20, SEEK + 2), kTrack);
  d.draw(playing(5000, 1000));  // past the end: clamped
  EXPECT_EQ(d.at(W - 20, SEEK + 2), kAccent);
  EXPECT_EQ(d.at(W - 10, SEEK + 2), kBar);
}

TEST(ControlBar, SeekTooltipStaysInside) {
  Drawn d;
  OverlayState s = playing();
  s.seekHover = true;
  const uint32_t tip = 0x25252F;  // 262630 at 0.95 over the background
  s.mouseX = 17;
  d.draw(s);
  EXPECT_TRUE(near(d.at(19, SEEK - 20), tip, 2)) << std::hex << d.at(19, SEEK - 20);
  EXPECT_EQ(d.at(14, SEEK - 20), kBackground);
  s.mouseX = W - 17;
  d.draw(s);
  EXPECT_TRUE(near(d.at(W - 72 + 2, SEEK - 20), tip, 2));
  EXPECT_EQ(d.at(W - 14, SEEK - 20), kBackground);
  s.mouseX = 16;  // outside 17..W - 17: no tooltip
  d.draw(s);
  EXPECT_EQ(d.at(19, SEEK - 20), kBackground);
  s.mouseX = 500;
  s.seekHover = false;  // only while hovered or dragged
  d.draw(s);
  EXPECT_EQ(d.at(500, SEEK - 20), kBackground);
}

TEST(ControlBar, LiveBadgeWithoutDuration) {
  Drawn d;
  OverlayState s = playing(12, 0);
  d.draw(s);
  EXPECT_EQ(d.at(20, CY + 5), kRed);
  EXPECT_EQ(d.at(70, CY + 6), kRed);
  s.media.duration = 100;
  d.draw(s);
  EXPECT_NE(d.at(20, CY + 5), kRed);
  EXPECT_NE(d.at(70, CY + 6), kRed);
  s.media.duration = 0;
  s.media.state = PlayState::Idle;  // nothing open: neither badge nor time
  d.draw(s);
  EXPECT_EQ(d.at(20, CY + 5), kBar);
}

TEST(ControlBar, VolumeMuteAndSpeed) {
  Drawn d;
  OverlayState s = playing();
  s.media.volume = 0.5f;  // fill to W - 108
  d.draw(s);
  EXPECT_EQ(d.at(W - 120, CY), kAccent);
  EXPECT_EQ(d.at(W - 96, CY), kTrack);
  EXPECT_EQ(d.at(W - 108, CY + 3), kAccent);  // the knob
  EXPECT_EQ(d.at(500 + 84, CY - 8), kBar);     // no speed badge at 1.0x
  s.media.muted = true;
  s.media.speed = 1.5f;
  d.draw(s);
  EXPECT_EQ(d.at(W - 120, CY), kTrack);
  EXPECT_TRUE(near(d.at(500 + 82, CY - 8), 0x232445, 2)) << std::hex << d.at(582, CY - 8);
  EXPECT_EQ(speedBadgeText(1.5f), "1.5x");
  EXPECT_EQ(speedBadgeText(1.0f), "");
  EXPECT_EQ(speedBadgeText(0.99999f), "");
}

TEST(Overlay, ToastBoxAndFade) {
  Drawn d;
  OverlayState s = baseState(W, 600);
  s.toastText = "";
  s.toastTick = s.tick - 100;
  s.toastDurationMs = 1500;
  d.draw(s);
  // 200 wide at x 400..600, 44 high from 90.
  EXPECT_TRUE(near(d.at(403, 112), 0x050507, 2)) << std::hex << d.at(403, 112);
  EXPECT_TRUE(near(d.at(597, 112), 0x050507, 2));
  EXPECT_EQ(d.at(397, 112), kBackground);
  EXPECT_EQ(d.at(603, 112), kBackground);
  s.toastTick = s.tick - 1350;  // 150 ms left: half strength
  d.draw(s);
  EXPECT_TRUE(near(d.at(403, 112), 0x0C0C0E, 2)) << std::hex << d.at(403, 112);
  s.toastTick = s.tick - 1500;
  d.draw(s);
  EXPECT_EQ(d.at(403, 112), kBackground);
}

TEST(Overlay, QuickOpenBarSlidesOutOfTheControls) {
  Drawn d;
  OverlayState s = baseState(W, H);
  s.quickOpenVisible = true;
  s.quickOpenAlpha = 1;
  s.quickOpenHover = 1;
  d.draw(s);
  // Panel 302..698 from y 580; button 1 at 406.5..497 is selected.
  EXPECT_NE(d.at(305, 600), kBackground);
  EXPECT_TRUE(near(d.at(410, 588), 0x282947, 3)) << std::hex << d.at(410, 588);
  s.quickOpenAlpha = 0.5f;  // y = 606: the lower half is clipped at C
  d.draw(s);
  EXPECT_NE(d.at(305, 620), kBackground);
  EXPECT_EQ(d.at(305, 640), kBar);
  s.quickOpenAlpha = 0.009f;
  d.draw(s);
  EXPECT_EQ(d.at(305, 628), kBackground);
}

TEST(Overlay, ConnectingScrimCoversOnlyTheVideoArea) {
  Drawn d;
  OverlayState s = connectingScene(W, H);
  d.draw(s);
  EXPECT_TRUE(near(d.at(10, 100), 0x070709, 2)) << std::hex << d.at(10, 100);
  EXPECT_EQ(d.at(10, H - 10), kBar);
  EXPECT_EQ(d.at(10, 20), kBackground);  // title bar row is outside the video area
}

TEST(Overlay, HelpSheetListsEveryRow) {
  Drawn d;
  OverlayState s = helpScene(W, H);
  d.draw(s);
  // Panel 420 x 440 centred: left 290, top 130; the last row's key at y 538..556.
  const int right = 710, lastRow = 130 + 48 + 18 * 20;
  const uint32_t panel = d.at(right - 10, lastRow + 9);
  int ink = 0;
  for (int x = right - 120; x < right - 20; ++x)
    for (int y = lastRow; y < lastRow + 18; ++y) ink += d.at(x, y) != panel;
  EXPECT_GT(ink, 20);
}

TEST(Overlay, FullscreenTitleScrollsOnlyWhenWider) {
  Drawn d;
  OverlayState s = baseState(W, H);
  s.fullscreen = true;
  s.currentPath = "/films/아주 긴 제목의 영화 파일 이름 — 감독판 확장 에디션.mkv";
  s.media.state = PlayState::Playing;
  s.media.hasVideo = true;
  d.canvas.resize(W, H);
  const float w = d.canvas.measureText(fullscreenTitle(s.currentPath), d.res.title14NoWrap).x;
  ASSERT_GT(w, 100);

  s.width = static_cast<int>(std::ceil(w)) + 32;  // exactly fits
  d.draw(s);
  s.tick += 3000;
  d.draw(s);
  EXPECT_EQ(d.overlay.titleOffset(), 0);
  EXPECT_NEAR(d.overlay.titleWidth(), w, 0.01);

  s.width = static_cast<int>(std::floor(w)) + 31;  // one pixel short: scrolls
  d.overlay.onResize();
  d.draw(s);  // the strip starts here
  s.tick += 3000;
  d.draw(s);
  EXPECT_NEAR(d.overlay.titleOffset(), 40, 0.01);
  // Clipped to 16..W - 16: the margin shows the strip only.
  const uint32_t strip = 0x070709;
  for (int y = 4; y < 32; y += 3) EXPECT_TRUE(near(d.at(8, y), strip, 2)) << y;

  s.controlsOffset = 68;  // controls hidden: no strip, and the scroll starts over
  d.draw(s);
  EXPECT_EQ(d.at(8, 18), kBackground);
  s.controlsOffset = 0;
  d.draw(s);
  EXPECT_EQ(d.overlay.titleOffset(), 0);
}

TEST(Overlay, HooksGetTheirPlaces) {
  Drawn d;
  OverlayState s = baseState(W, H);
  s.playlistOpen = true;
  int topBars = 0;
  RectF panel;
  OverlayHooks hooks;
  hooks.topBar = [&](Canvas&, const UiResources&, const OverlayState&, const OverlayLayout&) { ++topBars; };
  hooks.sidePanel = [&](Canvas&, const UiResources&, const OverlayState&, const OverlayLayout&, const RectF& r) {
    panel = r;
  };
  d.draw(s, hooks);
  EXPECT_EQ(topBars, 1);
  EXPECT_EQ(panel.left, W - 320);
  EXPECT_EQ(panel.top, 32);
  EXPECT_EQ(panel.bottom, 632);
  s.fullscreen = true;
  panel = RectF{};
  d.draw(s, hooks);
  EXPECT_EQ(topBars, 1);
  EXPECT_EQ(panel.top, 0);
  EXPECT_EQ(panel.bottom, 632);
}

TEST(Overlay, InputDialogFrame) {
  Drawn d;
  OverlayState s = inputScene(W, 600);
  bool fields = false;
  OverlayHooks hooks;
  hooks.inputFields = [&](Canvas&, const UiResources&, const OverlayState&, const InputLayout& in) {
    fields = in.nameBox.width() > 0;
  };
  d.draw(s, hooks);
  EXPECT_TRUE(fields);
  InputLayout in = computeInputLayout(W, 600, true);
  EXPECT_EQ(d.at(static_cast<int>(in.nameBox.left) + 20, static_cast<int>(in.nameBox.top) + 17), kBackground);
  const int ringX = static_cast<int>(in.nameBox.left) + 20, ringY = static_cast<int>(in.nameBox.top);
  const uint32_t focused = d.at(ringX, ringY);
  s.input.focusedField = 2;  // the ring moves to the URL box
  d.draw(s, hooks);
  EXPECT_GT(static_cast<int>(focused & 0xFF), static_cast<int>(d.at(ringX, ringY) & 0xFF) + 60);
  EXPECT_EQ(d.at(static_cast<int>(in.ok.left) + 4, static_cast<int>(in.ok.top) + 4), kAccent);       // hovered OK
  EXPECT_TRUE(near(d.at(5, 5), 0x050507, 2));  // scrim
}

TEST(Overlay, KoreanTextsHaveRealGlyphsInEveryFormat) {
  Drawn d;
  d.canvas.resize(10, 10);
  std::vector<std::string> texts = {"파일을 드래그하거나 O 키를 눌러 열기", "또는 아래 [라디오] / [팟캐스트] 버튼을 누르세요",
                                    "연결 실패", "재시도", "연결 중...", "재연결 중", "버퍼링... 1.5s",
                                    "▶ 이어듣기: 두시의 데이트 (12:34)", "키보드 단축키", "이름", "취소", "파일 열기",
                                    "버퍼 40%  ·  3분 20초 청취", "1시간 2분 청취", "슬립 타이머 — 재생 정지됨"};
  for (const HelpRow& row : kHelpRows) texts.push_back(std::string(row.description) + " " + row.keys);
  InputDialogView v;
  for (int use = 0; use < 4; ++use) {
    v.urlOnly = use != 2;
    v.editing = use == 3;
    v.categoryUse = use == 1;
    InputDialogTexts t = inputDialogTexts(v);
    texts.insert(texts.end(), {t.title, t.prompt, t.ok});
  }
  const UiResources& r = d.res;
  for (const TextFormat* f : {&r.small10, &r.hint15, &r.heading18, &r.label12, &r.toast18, &r.subtitle, &r.button12,
                              &r.title14NoWrap, &r.tooltip11, &r.small10Line})
    for (const std::string& t : texts) EXPECT_EQ(d.canvas.unknownGlyphCount(t, *f), 0) << t;
}

}  // namespace
}  // namespace vell::test
