// The overlay's paint: the picture, bars, panels, sheets and toasts drawn from one OverlayState.
#include "render/Overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/VideoFrame.h"
#include "platform/Text.h"
#include "render/NowPlaying.h"
#include "render/Renderer.h"

namespace vell {

namespace {

constexpr float kPi = 3.14159265358979f;

// Fills a closed icon path about (cx, cy) through a translation, as the icons are built.
template <size_t N>
void fillGeometry(Canvas& c, const std::array<PointF, N>& shape, float cx, float cy, Color color) {
  Matrix saved = c.transform();
  c.setTransform(Matrix::translation(cx, cy) * saved);
  c.fillPolygon(shape, color);
  c.setTransform(saved);
}

// 0..1 pulse: 0.55 + 0.45 sin(2 pi (tick mod period) / period).
float pulse(uint32_t tick, uint32_t period) {
  return 0.55f + 0.45f * std::sin(2 * kPi * static_cast<float>(tick % period) / period);
}

}  // namespace

const std::array<HelpRow, 23> kHelpRows = {{
    {"재생/일시정지", "Space"},
    {"파일 열기", "O"},
    {"URL 열기", "Ctrl+U"},
    {"라디오", "R"},
    {"팟캐스트", "Ctrl+R"},
    {"전체화면", "F"},
    {"컴팩트 뷰", "0"},
    {"탐색 ±3초", "← →"},
    {"볼륨 조절", "↑ ↓"},
    {"음소거", "M"},
    {"오디오 트랙", "Y"},
    {"다음 챕터", "N"},
    {"이전 챕터", "B"},
    {"속도 ±0.1x", "X / C"},
    {"오디오 싱크 ±50ms", "; / '"},
    {"오디오 싱크 ±10ms", "Shift+; / '"},
    {"오디오 싱크 초기화", "Ctrl+;"},
    {"자막 켜기/끄기", "G"},
    {"자막 트랙", "K"},
    {"재생목록", "P"},
    {"항상 위", "T"},
    {"스크린샷", "Ctrl+P"},
    {"도움말 닫기", "F1 / ESC"},
}};

std::string speedBadgeText(float speed) {
  if (!std::isfinite(speed) || std::fabs(speed - 1.0f) < 0.001f) return {};
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1fx", speed);
  return buf;
}

void Overlay::resetMedium() {
  subtitles_.reset();
  cover_.create(0, 0);
  coverTried_ = false;
  meter_.reset();
}

void Overlay::onResize() {
  titleLayout_.reset();
  titleText_.clear();
}

bool Overlay::setCover(const uint8_t* data, size_t size, std::string_view mimeType) {
  coverTried_ = true;
  if (!data || size == 0) {
    cover_.create(0, 0);
    return false;
  }
  return decodeImage(data, size, cover_, mimeType);
}

bool Overlay::paint(Renderer& renderer, const UiResources& res, const OverlayState& s, const OverlayHooks& hooks) {
  if (s.width < 1 || s.height < 1 || !renderer.ready()) return false;
  renderer.canvas().clear();
  draw(renderer.canvas(), res, s, hooks);
  return paintPicture(renderer, s);
}

bool Overlay::paintPicture(Renderer& renderer, const OverlayState& s, const RectI* canvasChangedOnlyIn) {
  if (s.width < 1 || s.height < 1 || !renderer.ready()) return false;
  OverlayLayout l = computeOverlayLayout(s);
  VideoDraw video;
  if (s.frame && !s.connecting && s.media.hasVideo) {
    // The picture is placed in pixels: its edges meet the fills around it, which the canvas
    // rounds to the same pixels.
    const float k = renderer.scale();
    video.frame = s.frame;
    video.left = static_cast<int>(std::lround(l.video.left * k));
    video.top = static_cast<int>(std::lround(l.video.top * k));
    video.right = static_cast<int>(std::lround(l.video.right * k));
    video.bottom = static_cast<int>(std::lround(l.video.bottom * k));
    video.aspectMode = s.aspectMode;
    video.rotation = s.turn.rotation;
    video.flipH = s.turn.flipH;
    video.flipV = s.turn.flipV;
    video.frameChanged = s.frameChanged;
  }
  return renderer.composeScene(&video, canvasChangedOnlyIn);
}

void Overlay::draw(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayHooks& hooks) {
  motion_ = Motion::None;
  motionNotes_ = 0;
  meterArea_ = RectI{};
  seekStrip_ = RectI{};
  if (!c.valid() || s.width < 1 || s.height < 1) return;
  OverlayLayout l = computeOverlayLayout(s);
  float W = static_cast<float>(s.width), H = static_cast<float>(s.height);

  // Controls.
  if (l.controlsTop < H) {
    c.fillRect(RectF{0, l.controlsTop, W, H}, r.controlBar);
    if (r.complete) c.fillRect(RectF{0, l.controlsTop, W, l.controlsTop + 1}, r.seekLine);
    drawSeekBar(c, r, s, l);
    drawControlBar(c, r, s, l);
  }

  // Title bar of the normal window, or the full-screen title strip.
  if (!s.view.fullscreen && !s.view.compact) {
    titleShown_ = false;
    if (hooks.topBar) hooks.topBar(c, r, s, l);
  } else {
    drawFullscreenTitle(c, r, s, l);
  }

  if (l.sidePanel > 0 && hooks.sidePanel) hooks.sidePanel(c, r, s, l, RectF{W - l.sidePanel, l.topBar, W, l.controlsTop});

  // What is playing.
  bool meterAlone = false;
  if (!s.connecting) {
    switch (videoAreaContent(s)) {
      case VideoAreaContent::AudioOnly: {
        if (s.media.state == PlayState::Playing || s.media.reconnecting) noteMotion(Motion::Slow);
        float textBottom = drawAudioOnlyView(c, r, s, l, cover_.valid() ? &cover_ : nullptr, meter_);
        const RectF m = levelMeterRect(l);
        meterAlone = s.media.state == PlayState::Playing && !s.media.reconnecting && !s.audio.rebuffering &&
                     levelMeterFits(l) && m.width() > 0 && textBottom + 4 <= m.top - 3;
        if (meterAlone) {
          const int x0 = static_cast<int>(std::floor(m.left)) - 1, y0 = static_cast<int>(std::floor(m.top)) - 3;
          meterArea_ = RectI{x0, y0, static_cast<int>(std::ceil(m.right)) + 1 - x0,
                             static_cast<int>(std::ceil(m.bottom)) + 1 - y0};
        }
        break;
      }
      case VideoAreaContent::Empty:
      case VideoAreaContent::Failed:
        drawEmptyScreen(c, r, s, l);
        break;
      case VideoAreaContent::None:
        break;
    }
    subtitles_.draw(c, s);
    drawSubtitles(c, r, s, l);
    drawAbMarkers(c, r, s, l);
  }

  if (s.input.open) {
    noteMotion(Motion::Slow);  // the caret blinks
    drawInputDialog(c, r, s, hooks);
  }
  if (s.connecting) {
    noteMotion(Motion::Smooth);
    drawConnecting(c, r, s, l);
  }
  drawQuickOpen(c, r, s, l);
  if (s.view.helpVisible) drawHelp(c, r, s);
  if (float opacity = toastOpacity(s.tick, s.toast.tick, s.toast.durationMs); opacity > 0)
    noteMotion(opacity < 1 ? Motion::Smooth : Motion::Slow);
  drawToast(c, r, s);
  // The strip from the controls' top to the buttons holds the seek line and nothing else
  // unless one of these is up (the play button's hover ring reaches a pixel into it); on
  // whole pixels it can be redrawn alone.
  const float k = c.scale();
  auto whole = [](float v) { return std::fabs(v - std::round(v)) < 1e-3f; };
  if (l.controlsTop < H && !s.pointer.seekHover && !s.pointer.seekDragging && s.pointer.controlHover != 1 && s.ab.pointA < 0 && s.ab.pointB < 0 &&
      !s.connecting && !s.input.open && !s.view.helpVisible && s.view.quickOpenAlpha < 0.01f &&
      toastOpacity(s.tick, s.toast.tick, s.toast.durationMs) <= 0 && whole(l.controlsTop) && whole(l.barY) &&
      whole(l.controlsTop * k) && whole(l.barY * k))
    seekStrip_ = RectI{0, static_cast<int>(std::lround(l.controlsTop)), s.width,
                       static_cast<int>(std::lround(l.barY - l.controlsTop))};
  // Anything else that moves or may lie over the meter needs the whole draw.
  if (!meterAlone || motionNotes_ != 1 || !s.subtitleText.empty() || s.subtitleAss || s.subtitleBitmaps ||
      s.input.open || s.view.helpVisible ||
      s.view.quickOpenAlpha >= 0.01f || toastOpacity(s.tick, s.toast.tick, s.toast.durationMs) > 0)
    meterArea_ = RectI{};
}

bool Overlay::paintMeter(Renderer& renderer, const UiResources& res, const OverlayState& s) {
  if (!meterOnly() || !renderer.ready()) return false;
  Canvas& c = renderer.canvas();
  const OverlayLayout l = computeOverlayLayout(s);
  // Only when a bar moves by a unit: a held note or silence costs no drawing at all.
  if (!stepLevelMeter(meter_, s.audio.levels, l)) return false;
  c.clearArea(meterArea_);
  drawLevelMeter(c, res, l, meter_);
  VideoDraw none;
  const RectI changed = c.pixelsCovering(meterArea_);
  return renderer.composeScene(&none, &changed);
}

bool Overlay::paintSeekLine(Renderer& renderer, const UiResources& res, const OverlayState& s) {
  if (!seekLineAlone() || !renderer.ready()) return false;
  Canvas& c = renderer.canvas();
  const OverlayLayout l = computeOverlayLayout(s);
  const float W = static_cast<float>(s.width);
  const RectF strip{0, static_cast<float>(seekStrip_.y), W, static_cast<float>(seekStrip_.y + seekStrip_.h)};
  // As the whole draw paints these rows: the bar's ground, the line on its top, the seek line.
  c.clearArea(seekStrip_);
  c.fillRect(strip, res.controlBar);
  if (res.complete) c.fillRect(RectF{0, l.controlsTop, W, l.controlsTop + 1}, res.seekLine);
  drawSeekBar(c, res, s, l);
  const RectI changed = c.pixelsCovering(seekStrip_);
  return paintPicture(renderer, s, &changed);
}

void Overlay::drawSeekBar(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) const {
  const float W = static_cast<float>(s.width), y = l.seekY;
  const bool hot = s.pointer.seekHover || s.pointer.seekDragging;
  const float th = hot ? 8.0f : 4.0f;
  const double duration = s.media.duration;
  double p = duration > 0 ? std::clamp(s.media.position / duration, 0.0, 1.0) : 0.0;
  if (!std::isfinite(p)) p = 0;
  const float fillEnd = 16 + static_cast<float>(p) * (W - 32);
  c.fillRoundedRect(RectF{16, y, W - 16, y + th}, th / 2, r.seekTrack);
  if (p > 0) c.fillRoundedRect(RectF{16, y, fillEnd, y + th}, th / 2, r.seekFill);
  // A notch where each chapter starts, none at the very start: the track begins there anyway.
  const std::vector<Chapter>* chapters = duration > 0 && s.media.chapters ? s.media.chapters.get() : nullptr;
  if (chapters)
    for (const Chapter& ch : *chapters) {
      const float x = 16 + static_cast<float>(ch.start / duration) * (W - 32);
      if (x >= 18 && x <= W - 18) c.fillRect(RectF{x - 1, y, x + 1, y + th}, r.controlBar);
    }
  if (!hot) return;
  c.fillEllipse(PointF{fillEnd, y + th / 2}, 9, 9, r.accent30);
  c.fillEllipse(PointF{fillEnd, y + th / 2}, 6, 6, r.accent);
  const float mx = static_cast<float>(s.pointer.x);
  if (duration > 0 && mx >= 17 && mx <= W - 17) {
    double t = std::max(0.0, (mx - 16.0) / (W - 32.0) * duration);
    std::string label = formatClock(std::floor(t));
    float boxWidth = 56;
    if (int i = chapters ? chapterAt(*chapters, t) : -1; i >= 0 && !(*chapters)[static_cast<size_t>(i)].title.empty()) {
      // "12:34 · 2악장", the title cut until the box fits in the window.
      std::string title = (*chapters)[static_cast<size_t>(i)].title;
      const float room = W - 32 - 16;
      std::string text = label + " · " + title;
      for (size_t n = utf8Length(title); c.measureText(text, r.tooltip11).x > room && n > 1;) {
        n = n * 3 / 4;
        text = label + " · " + utf8Prefix(title, n) + "…";
      }
      label = text;
      boxWidth = std::min(std::max(56.0f, std::ceil(c.measureText(label, r.tooltip11).x) + 16), W - 32);
    }
    float left = seekTooltipLeft(s.width, mx, boxWidth);
    RectF box{left, y - 32, left + boxWidth, y - 8};
    c.fillRoundedRect(box, 4, r.tooltip);
    c.drawText(label, r.tooltip11, box, r.text);
  }
}

void Overlay::drawControlBar(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) const {
  const float W = static_cast<float>(s.width);
  const float y = l.barY, h = l.barHeight, cy = y + h / 2, cx = W / 2;
  const MediaView& m = s.media;
  c.fillRect(RectF{0, y, W, y + h}, r.controlBar);
  c.fillRect(RectF{0, y, W, y + 1}, r.separator30);

  // Previous.
  if (s.pointer.controlHover == 0) c.fillEllipse(PointF{cx - 48, cy}, 18, 18, r.hoverDisc);
  fillGeometry(c, geo_.previous, cx - 48, cy, r.textDim);
  c.drawLine(PointF{cx - 48 - 3.6f, cy - 6}, PointF{cx - 48 - 3.6f, cy + 6}, r.textDim, 2);

  // Play / pause.
  if (s.pointer.controlHover == 1) c.fillEllipse(PointF{cx, cy}, 28, 28, r.accent.withOpacity(0.25f));
  c.fillEllipse(PointF{cx, cy}, 24, 24, r.accent);
  if (m.state == PlayState::Playing) {
    c.fillRoundedRect(RectF{cx - 8, cy - 10, cx - 4, cy + 10}, 1.5f, r.white);
    c.fillRoundedRect(RectF{cx + 4, cy - 10, cx + 8, cy + 10}, 1.5f, r.white);
  } else {
    fillGeometry(c, geo_.play, cx + 1, cy, r.white);
  }

  // Next.
  if (s.pointer.controlHover == 2) c.fillEllipse(PointF{cx + 48, cy}, 18, 18, r.hoverDisc);
  fillGeometry(c, geo_.next, cx + 48, cy, r.textDim);
  c.drawLine(PointF{cx + 48 + 3.6f, cy - 6}, PointF{cx + 48 + 3.6f, cy + 6}, r.textDim, 2);

  // Time read-out, or the LIVE badge for media without a duration.
  std::string time;
  float timeWidth = 0;
  if (m.state != PlayState::Idle) {
    if (m.duration > 0) {
      time = formatClock(m.position) + " / " + formatClock(m.duration);
      timeWidth = c.measureText(time, r.body12NoWrap).x;
    } else {
      timeWidth = 58;
    }
  }
  const std::string speed = speedBadgeText(m.speed);
  const ControlBarItems items = controlBarItems(s.width, timeWidth, !speed.empty());
  if (m.state != PlayState::Idle) {
    if (m.duration > 0) {
      c.drawText(time, r.body12NoWrap, RectF{16, y, items.previous.left, y + h}, r.textMuted);
    } else {
      noteMotion(Motion::Slow);  // the pulsing dot
      c.fillRoundedRect(RectF{16, cy - 10, 74, cy + 10}, 10, r.red);
      c.fillEllipse(PointF{26, cy}, 3.5f, 3.5f, r.white.withOpacity(pulse(s.tick, 1400)));
      c.drawText("LIVE", r.small10, RectF{32, cy - 10, 74, cy + 10}, r.white);
    }
  }

  // Playlist button.
  if (s.pointer.controlHover == 5) c.fillEllipse(PointF{W - 34, cy}, 16, 16, r.hoverDisc);
  Color listColor = s.playlistOpen ? r.accent : r.textDim;
  for (float dy : {-6.0f, 0.0f, 6.0f}) c.drawLine(PointF{W - 44, cy + dy}, PointF{W - 24, cy + dy}, listColor, 1.5f);

  // Speaker.
  if (s.pointer.controlHover == 4) c.fillEllipse(PointF{W - 162, cy}, 14, 14, r.hoverDisc);
  Color speaker = m.muted ? r.accent : r.textDim;
  c.fillRect(RectF{W - 168, cy - 4, W - 162, cy + 4}, speaker);
  fillGeometry(c, geo_.speakerCone, W - 162, cy, speaker);
  if (m.muted) c.drawLine(PointF{W - 170, cy - 8}, PointF{W - 154, cy + 8}, r.red, 2);

  // Volume.
  c.fillRoundedRect(RectF{W - 148, cy - 2, W - 68, cy + 2}, 2, r.volumeTrack);
  float v = std::isfinite(m.volume) ? std::clamp(m.volume, 0.0f, 1.0f) : 0.0f;
  if (!m.muted && v * 80 > 0) {
    float end = W - 148 + v * 80;
    c.fillRoundedRect(RectF{W - 148, cy - 2, end, cy + 2}, 2, r.volumeFill);
    c.fillEllipse(PointF{end, cy}, 5, 5, r.accent);
  }

  // Speed, where the bar has room for it.
  if (items.speed.width() > 0) {
    RectF badge{items.speed.left, cy - 10, items.speed.right, cy + 10};
    c.fillRoundedRect(badge, 4, r.accent20);
    c.drawText(speed, r.small10, badge, r.accent);
  }
}

void Overlay::drawFullscreenTitle(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) {
  std::string title = (s.view.fullscreen && l.controlsVisible()) ? fullscreenTitle(s.currentPath) : std::string();
  if (title.empty()) {
    titleShown_ = false;
    titleOffset_ = 0;
    return;
  }
  if (!titleShown_ || title != titleText_) titleStart_ = s.tick;
  titleShown_ = true;
  if (!titleLayout_ || title != titleText_) {
    titleLayout_ = c.createTextLayout(title, r.title14NoWrap, 10000, 36);
    titleText_ = title;
  }
  const float W = static_cast<float>(s.width);
  c.fillRect(RectF{0, 0, W, 36}, r.black60);
  if (!titleLayout_) return;
  const float room = W - 32, w = titleLayout_->width();
  if (w <= room) {
    titleOffset_ = 0;
    c.drawTextLayout(*titleLayout_, PointF{16, 0}, r.white90);
    return;
  }
  float overflow = w - room + 40;
  noteMotion(Motion::Smooth);
  titleOffset_ = marqueeOffset(static_cast<uint32_t>(s.tick - titleStart_) / 1000.0, overflow, 40);
  c.pushClip(RectF{16, 0, W - 16, 36});
  c.drawTextLayout(*titleLayout_, PointF{16 - titleOffset_, 0}, r.white90);
  c.popClip();
}

void Overlay::drawInputDialog(Canvas& c, const UiResources& r, const OverlayState& s,
                              const OverlayHooks& hooks) const {
  const InputDialogView& v = s.input;
  const float W = static_cast<float>(s.width), H = static_cast<float>(s.height);
  InputLayout in = computeInputLayout(W, H, !v.urlOnly);
  InputDialogTexts texts = inputDialogTexts(v);
  c.fillRect(RectF{0, 0, W, H}, r.black70);
  c.fillRoundedRect(in.dialog, 8, r.panel);
  c.drawRoundedRect(in.dialog, 8, r.separator30, 0.8f);
  const RectF& t = in.title;
  c.drawText(texts.title, r.heading18, RectF{t.left, t.top, t.right, t.top + 24}, r.text);
  c.drawText(texts.prompt, r.small10, RectF{t.left, t.top + 24, t.right, t.top + 40}, r.textMuted);
  if (!v.urlOnly) {
    c.drawText("이름", r.small10, in.nameLabel, r.textMuted);
    c.drawText("URL", r.small10, in.urlLabel, r.textMuted);
  }
  auto box = [&](const RectF& b, bool focused) {
    if (b.width() <= 0 || b.height() <= 0) return;
    c.fillRoundedRect(b, 5, r.background);
    if (focused) c.drawRoundedRect(b, 5, r.accent, 1);
  };
  box(in.nameBox, v.focusedField == 1);
  box(in.urlBox, v.focusedField == 2);
  c.fillRoundedRect(in.ok, 5, r.accent.withOpacity(v.hover == 1 ? 1.0f : 0.9f));
  c.drawText(texts.ok, r.button12, in.ok, r.white);
  if (v.hover == 0) c.fillRoundedRect(in.cancel, 5, r.hoverDisc);
  c.drawRoundedRect(in.cancel, 5, r.separator30, 0.6f);
  c.drawText("취소", r.button12, in.cancel, v.hover == 0 ? r.text : r.textDim);
  if (hooks.inputFields) hooks.inputFields(c, r, s, in);
}

void Overlay::drawConnecting(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) const {
  c.fillRect(l.video, r.black60);
  const float cx = l.cx, cy = l.cy, sy = cy - 30, rad = 16;
  const float phi = 2 * kPi * static_cast<float>(s.tick % 1000) / 1000.0f;
  for (int i = 0; i < 10; ++i) {
    float a = 2 * kPi * i / 10 + phi, b = a + 0.314159f;
    c.drawLine(PointF{cx + rad * std::cos(a), sy + rad * std::sin(a)},
               PointF{cx + rad * std::cos(b), sy + rad * std::sin(b)}, r.accent.withOpacity(i * 0.1f), 2.5f);
  }
  std::string label = "연결 중" + std::string((s.tick / 400) % 4, '.');
  c.drawText(label, r.small10, RectF{cx - 60, cy + 2, cx + 60, cy + 22}, r.textDim);
  if (!s.connectingTarget.empty()) {
    RectF target{l.video.left + 40, cy + 26, l.video.right - 40, cy + 46};
    c.pushClip(target);
    c.drawText(s.connectingTarget, r.small10, target, r.textMuted);
    c.popClip();
  }
}

void Overlay::drawQuickOpen(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) const {
  const float alpha = std::clamp(s.view.quickOpenAlpha, 0.0f, 1.0f);
  if (alpha < 0.01f) return;
  static const char* const kLabels[4] = {"파일 열기", "URL 열기", "라디오", "팟캐스트"};
  const float W = static_cast<float>(s.width), C = l.controlsTop;
  const float w = std::min(W - 32, 380.0f), y = C - 52 * alpha;
  c.pushClip(RectF{0, 0, W, C});  // slides up out of the controls' top edge
  c.fillRoundedRect(RectF{W / 2 - w / 2 - 8, y, W / 2 + w / 2 + 8, y + 42}, 8, r.panel.withOpacity(0.96f * alpha));
  const float bw = (w - 18) / 4, x0 = W / 2 - w / 2;
  for (int i = 0; i < 4; ++i) {
    RectF b{x0 + i * (bw + 6), y + 5, x0 + i * (bw + 6) + bw, y + 37};
    bool selected = s.view.quickOpenHover == i;
    if (selected) {
      c.fillRoundedRect(b, 6, r.accent.withOpacity(0.18f * alpha));
      c.drawRoundedRect(b, 6, r.accent.withOpacity(alpha), 1);
    } else {
      c.fillRoundedRect(b, 6, r.hoverDisc.withOpacity(0.5f * alpha));
    }
    c.drawText(kLabels[i], r.small10, b, (selected ? r.text : r.textDim).withOpacity(alpha));
  }
  c.popClip();
}

namespace {

// A pair of arrow keys ("← →" or "↑ ↓") drawn as shapes in the middle of `box`: the arrows of
// many fonts are tiny or missing, and a fallback font's would not match the rest.
void drawArrowPair(Canvas& c, const RectF& box, bool horizontal, Color colour) {
  const float cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  for (float side : {-1.0f, 1.0f}) {
    // The first arrow points left (up), the second right (down).
    const float ax = horizontal ? cx + side * 9 : cx + side * 5, ay = cy;
    const PointF tip = horizontal ? PointF{ax + side * 5, ay} : PointF{ax, ay + side * 5};
    const PointF tail = horizontal ? PointF{ax - side * 5, ay} : PointF{ax, ay - side * 5};
    c.drawLine(tail, tip, colour, 1.2f);
    const PointF head[3] = {tip,
                            horizontal ? PointF{tip.x - side * 4, tip.y - 3.5f} : PointF{tip.x - 3.5f, tip.y - side * 4},
                            horizontal ? PointF{tip.x - side * 4, tip.y + 3.5f} : PointF{tip.x + 3.5f, tip.y - side * 4}};
    c.fillPolygon(head, colour);
  }
}

}  // namespace

void Overlay::drawHelp(Canvas& c, const UiResources& r, const OverlayState& s) const {
  const float W = static_cast<float>(s.width), H = static_cast<float>(s.height);
  c.fillRect(RectF{0, 0, W, H}, r.black70);
  // As tall as its rows need.
  const float height = 48 + 20.0f * static_cast<float>(kHelpRows.size()) + 12;
  const float left = (W - 420) / 2, top = std::max((H - height) / 2, 20.0f);
  const float right = left + 420, bottom = top + height;
  c.fillRoundedRect(RectF{left, top, right, bottom}, 10, r.panel);
  c.drawText("키보드 단축키", r.label12, RectF{left + 20, top + 16, right - 20, top + 38}, r.text);
  float y = top + 48;
  for (const HelpRow& row : kHelpRows) {
    if (y >= bottom - 20) break;
    c.drawText(row.description, r.small10, RectF{left + 20, y, right - 128, y + 18}, r.textDim);
    const RectF keys{right - 120, y, right - 20, y + 18};
    const std::string_view k = row.keys;
    if (k == "← →" || k == "↑ ↓")
      drawArrowPair(c, keys, k == "← →", r.textMuted);
    else
      c.drawText(k, r.small10, keys, r.textMuted);
    y += 20;
  }
}

void Overlay::drawToast(Canvas& c, const UiResources& r, const OverlayState& s) const {
  float opacity = toastOpacity(s.tick, s.toast.tick, s.toast.durationMs);
  if (opacity <= 0) return;
  RectF box = toastRect(s.width, s.height, c.measureText(s.toast.text, r.toast18).x);
  c.fillRoundedRect(box, 10, r.black70.withOpacity(opacity));
  RectF text{box.left + kToastPadding, box.top, box.right - kToastPadding, box.bottom};
  c.drawText(s.toast.text, r.toast18, text, r.white.withOpacity(opacity));
}

}  // namespace vell
