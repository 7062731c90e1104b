// The screens drawn in the picture area: now playing, empty and failed, the subtitles, and their texts.
#include "render/NowPlaying.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/VideoFrame.h"
#include "platform/Text.h"

namespace vell {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr const char* kSeparator = "  ·  ";

std::string join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty()) out += kSeparator;
    out += p;
  }
  return out;
}

std::string asciiUpper(std::string_view text) {
  std::string out(text);
  for (char& ch : out)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return out;
}

bool hovered(const OverlayState& s, const RectF& r) {
  return s.pointer.x >= 0 && r.contains(static_cast<float>(s.pointer.x), static_cast<float>(s.pointer.y));
}

// A button of the empty screen: soft fill under the mouse, accent outline and label.
void drawOutlinedButton(Canvas& c, const UiResources& r, const OverlayState& s, const RectF& b, float radius,
                        std::string_view label, const TextFormat& format) {
  if (hovered(s, b)) c.fillRoundedRect(b, radius, r.accent15);
  c.drawRoundedRect(b, radius, r.accent, 1);
  c.drawText(label, format, b, r.accent);
}

}  // namespace

std::string technicalLine(std::string_view codecName, int bitrateKbps, int sampleRate, int channels) {
  std::vector<std::string> parts;
  char buf[64];
  if (!codecName.empty()) parts.push_back(asciiUpper(codecName));
  if (bitrateKbps > 0) parts.push_back(std::to_string(bitrateKbps) + " kbps");
  if (sampleRate > 0) {
    std::snprintf(buf, sizeof buf, "%.1f kHz", sampleRate * 0.001);
    parts.push_back(buf);
  }
  if (channels > 0) parts.push_back(channels > 1 ? "Stereo" : "Mono");
  return join(parts);
}

std::string statusLine(size_t ringFill, size_t ringCapacity, uint32_t listenedMs) {
  std::vector<std::string> parts;
  char buf[64];
  if (ringCapacity > 0) {
    double fraction = static_cast<double>(ringFill) / static_cast<double>(ringCapacity);
    if (fraction > 0.001) {
      std::snprintf(buf, sizeof buf, "버퍼 %d%%", static_cast<int>(std::min(fraction, 1.0) * 100));
      parts.push_back(buf);
    }
  }
  uint32_t seconds = listenedMs / 1000;
  if (seconds >= 60) {
    if (seconds < 3600)
      std::snprintf(buf, sizeof buf, "%u분 %u초 청취", seconds / 60, seconds % 60);
    else
      std::snprintf(buf, sizeof buf, "%u시간 %u분 청취", seconds / 3600, (seconds % 3600) / 60);
    parts.push_back(buf);
  }
  return join(parts);
}

std::string failedItemText(std::string_view name) {
  if (utf8Length(name) > 40) return utf8Prefix(name, 38) + "..";
  return std::string(name);
}

std::string resumeLabel(std::string_view name, double positionSeconds) {
  return "▶ 이어듣기: " + std::string(name) + " (" + formatMinutesSeconds(positionSeconds) + ")";
}

std::string bufferingText(double seconds) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "버퍼링... %.1fs", std::isfinite(seconds) ? seconds : 0.0);
  return buf;
}

RectF coverRect(int bitmapWidth, int bitmapHeight, const OverlayLayout& l) {
  if (bitmapWidth < 1 || bitmapHeight < 1) return {};
  float side = std::max(10.0f, std::min(0.45f * l.video.height(), 0.45f * l.video.width()));
  float scale = side / static_cast<float>(std::max(bitmapWidth, bitmapHeight));
  float w = bitmapWidth * scale, h = bitmapHeight * scale;
  // Centred 40 above the view's centre like the icon disc, but never reaching below the
  // disc's lower edge (centre + 24), where the text lines begin.
  float cx = l.cx, cy = std::min(l.cy - 40, l.cy + 24 - h / 2);
  return RectF{cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
}

float subtitleOutlineOffset(float size) { return std::max(size * 0.07f, 1.5f); }

Color subtitleFillColor(int index) {
  switch (std::clamp(index, 0, 3)) {
    case 1: return Color{1.0f, 1.0f, 0.3f, 1.0f};
    case 2: return Color::rgb(0x21C45E);
    case 3: return Color{0.5f, 0.85f, 1.0f, 1.0f};
    default: return Color::rgb(0xFFFFFF);
  }
}

bool levelMeterFits(const OverlayLayout& l) { return l.controlsTop - 70 > l.topBar + 20; }

RectF levelMeterRect(const OverlayLayout& l) {
  return RectF{l.video.left + 40, l.controlsTop - 70, l.video.right - 40, l.controlsTop - 10};
}

bool stepLevelMeter(LevelMeter& meter, const std::array<float, kLevelBands>& levels, const OverlayLayout& l) {
  const float height = std::max(levelMeterRect(l).height(), 0.0f);
  for (int i = 0; i < kLevelBands; ++i) {
    float level = std::isfinite(levels[i]) ? std::max(levels[i], 0.0f) : 0.0f;
    float target = std::min(level * 5, 1.0f);
    meter.smoothed[i] += (target - meter.smoothed[i]) * 0.3f;
    meter.heights[i] = static_cast<int16_t>(std::lround(std::max(meter.smoothed[i] * height, 2.0f)));
  }
  return !meter.everDrawn || meter.heights != meter.drawn;
}

float abMarkerX(double time, double duration, int width) {
  if (!(duration > 0)) return 16;
  return static_cast<float>(time / duration * (width - 32) + 16);
}

VideoAreaContent videoAreaContent(const OverlayState& s) {
  if (s.connecting) return VideoAreaContent::None;
  if (!s.media.hasVideo && s.media.state != PlayState::Idle) return VideoAreaContent::AudioOnly;
  bool frame = s.frame && s.frame->hasPixels();
  if (s.currentPath.empty() && !frame && s.media.state == PlayState::Idle) {
    bool recentFailure = s.connectionFailed && static_cast<uint32_t>(s.tick - s.failedTick) < 15000;
    return recentFailure ? VideoAreaContent::Failed : VideoAreaContent::Empty;
  }
  return VideoAreaContent::None;
}

// ---------------------------------------------------------------------------------------

void drawMediaIcon(Canvas& c, const UiResources& r, const OverlayState& s, float cx, float cy) {
  const float k = 42;  // icon size
  const Color ink = r.accent;
  if (s.media.isLive) {
    // A radio: body, antenna with its knob, grille and dial.
    const float body = std::max(0.06f * k, 1.5f), fine = std::max(0.05f * k, 1.5f);
    c.drawRoundedRect(RectF{cx - 0.7f * k, cy - 0.35f * k, cx + 0.7f * k, cy + 0.55f * k}, 0.12f * k, ink, body);
    PointF tip{cx + 0.77f * k, cy - 0.9f * k};
    c.drawLine(PointF{cx + 0.49f * k, cy - 0.35f * k}, tip, ink, body);
    c.fillEllipse(tip, 0.06f * k, 0.06f * k, ink);
    for (int i = -1; i <= 1; ++i) {
      float y = cy + 0.1f * k + i * 0.18f * k;
      c.drawLine(PointF{cx - 0.532f * k, y}, PointF{cx - 0.07f * k, y}, ink, fine);
    }
    PointF dial{cx + 0.35f * k, cy + 0.1f * k};
    c.drawEllipse(dial, 0.18f * k, 0.18f * k, ink, body);
    c.fillEllipse(dial, 0.06f * k, 0.06f * k, ink);
  } else if (s.media.podcastRequest) {
    // Headphones: a band over the top and two ear cups at its ends.
    const float stroke = std::max(0.09f * k, 1.5f), rad = 0.75f * k;
    std::array<PointF, 17> band;
    for (int i = 0; i <= 16; ++i) {
      float a = kPi + kPi * i / 16;  // left end, over the top, to the right end
      band[i] = PointF{cx + rad * std::cos(a), cy + rad * std::sin(a)};
    }
    c.drawPolyline(band, ink, stroke);
    for (float ex : {cx - rad, cx + rad})
      c.drawRoundedRect(RectF{ex - 0.14f * k, cy - 0.21f * k, ex + 0.14f * k, cy + 0.21f * k}, 0.112f * k, ink, stroke);
  } else {
    // A note (coordinates relative to the view centre, 40 below the icon centre).
    const float vy = cy + 40, stroke = 3.36f;
    c.drawLine(PointF{cx + 0.2f, vy - 69.4f}, PointF{cx + 4.4f, vy - 35.8f}, ink, stroke);
    c.drawEllipse(PointF{cx - 4, vy - 35.8f}, 10.5f, 7.56f, ink, stroke);
    c.drawLine(PointF{cx + 4.4f, vy - 69.4f}, PointF{cx + 19.1f, vy - 56.8f}, ink, stroke);
  }
}

void drawLevelMeter(Canvas& c, const UiResources& r, const OverlayLayout& l, LevelMeter& meter) {
  if (!levelMeterFits(l)) return;
  RectF m = levelMeterRect(l);
  if (m.width() <= 0) return;
  meter.drawn = meter.heights;
  meter.everDrawn = true;
  meter.shapes.draw(c, m, meter.heights, r.meterGlow, r.meterBar);
}

float drawAudioOnlyView(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l,
                       const Bitmap* cover, LevelMeter& meter) {
  const MediaView& m = s.media;
  const float cx = l.cx, cy = l.cy;

  if (cover && cover->valid()) {
    c.drawBitmap(*cover, coverRect(cover->width(), cover->height(), l), 1.0f);
  } else {
    c.fillEllipse(PointF{cx, cy - 40}, 64, 64, r.accent15);
    c.drawEllipse(PointF{cx, cy - 40}, 64, 64, r.accent, 1.5f);
    drawMediaIcon(c, r, s, cx, cy - 40);
  }

  const float x0 = l.video.left + 30, x1 = l.video.right - 30;
  float y = cy + 28;
  if (!m.title.empty()) {
    c.drawText(m.title, r.label12Line, RectF{x0, y, x1, y + 24}, r.text);
    y += 26;
  }
  // A station's song. A file's own title tag comes back this way too: a file shows its
  // title above and its tags below instead.
  if (!s.streamTitle.empty() && s.streamTitle != m.title && m.isLive) {
    c.drawText(s.streamTitle, r.small10Line, RectF{x0, y, x1, y + 20}, r.accent);
    y += 22;
  }
  // A file's artist and album, as its tags write them.
  std::string byline = m.artist;
  if (!m.album.empty()) byline += (byline.empty() ? "" : " · ") + m.album;
  if (!byline.empty()) {
    c.drawText(byline, r.small10Line, RectF{x0, y, x1, y + 20}, r.accent);
    y += 22;
  }
  if (!m.stationName.empty() && m.stationName != m.title) {
    c.drawText(m.stationName, r.small10Line, RectF{x0, y, x1, y + 18}, r.textMuted);
    y += 20;
  }
  y += 6;
  // One line each, cut with an ellipsis where the view is narrow (a side panel beside a small
  // window): wrapped, they would run into each other and into the meter.
  c.drawText(technicalLine(m.codecName, m.bitrateKbps, m.sampleRate, m.channels), r.small10Line,
             RectF{x0, y, x1, y + 18}, r.textMuted);
  y += 20;
  std::string status = statusLine(s.audio.ringFill, s.audio.ringCapacity, s.tick - s.listenStartTick);
  c.drawText(status, r.small10Line, RectF{x0, y, x1, y + 18}, r.textMuted);

  if (!m.reconnecting && s.audio.rebuffering && m.state == PlayState::Playing) {
    float opacity = (std::sin(2 * kPi * static_cast<float>(s.tick % 1500) / 1500) + 1) / 2;
    c.fillRoundedRect(RectF{cx - 60, cy + 6, cx + 60, cy + 30}, 12, r.black70.withOpacity(opacity));
    double perSecond = static_cast<double>(s.audio.sampleRate) * s.audio.channels;
    double seconds = perSecond > 0 ? s.audio.ringFill / perSecond : 0.0;
    c.fillRect(RectF{cx - 50, cy + 25, cx + 50, cy + 27.5f}, r.textMuted);
    float part = static_cast<float>(std::min(seconds / 3, 1.0));
    c.fillRect(RectF{cx - 50, cy + 25, cx - 50 + 100 * part, cy + 27.5f}, r.accent);
    c.drawText(bufferingText(seconds), r.small10, RectF{cx - 60, cy + 6, cx + 60, cy + 26}, r.text);
  }

  if (m.reconnecting) {
    float opacity = 0.55f + 0.45f * std::sin(2 * kPi * static_cast<float>(s.tick % 1200) / 1200);
    c.fillRoundedRect(RectF{cx - 54, cy + 3, cx + 54, cy + 25}, 11, r.accent.withOpacity(opacity));
    // A circular arrow turning once a second.
    const PointF o{cx - 40, cy + 14};
    const float rad = 7, start = 2 * kPi * static_cast<float>(s.tick % 1000) / 1000, sweep = 1.5f * kPi;
    std::array<PointF, 15> arc;
    for (int i = 0; i <= 14; ++i) {
      float a = start + sweep * i / 14;
      arc[i] = PointF{o.x + rad * std::cos(a), o.y + rad * std::sin(a)};
    }
    c.drawPolyline(arc, r.white, 1.6f);
    float e = start + sweep;
    PointF tip = arc[14];
    PointF back{std::sin(e) * 3.5f, -std::cos(e) * 3.5f};  // against the direction of travel
    PointF out{std::cos(e) * 3.0f, std::sin(e) * 3.0f};
    c.drawLine(tip, PointF{tip.x + back.x + out.x, tip.y + back.y + out.y}, r.white, 1.6f);
    c.drawLine(tip, PointF{tip.x + back.x - out.x, tip.y + back.y - out.y}, r.white, 1.6f);
    c.drawText("재연결 중", r.small10, RectF{cx - 26, cy + 3, cx + 46, cy + 25}, r.white);
  }

  // The meter only where it clears the text above it.
  if (m.state == PlayState::Playing && y + 18 + 4 <= levelMeterRect(l).top - 3) {
    stepLevelMeter(meter, s.audio.levels, l);
    drawLevelMeter(c, r, l, meter);
  }
  return y + 18;
}

void drawEmptyScreen(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) {
  const float cx = l.cx, cy = l.cy, left = l.video.left, right = l.video.right;
  if (videoAreaContent(s) == VideoAreaContent::Failed) {
    c.drawText("연결 실패", r.hint15, RectF{left, cy - 24, right, cy + 4}, r.textMuted);
    c.drawText(failedItemText(s.failedName), r.small10, RectF{left, cy + 10, right, cy + 30}, r.textDim);
    drawOutlinedButton(c, r, s, retryButtonRect(l), 6, "재시도", r.small10);
    return;
  }
  c.fillEllipse(PointF{cx, cy - 30}, 45, 45, r.accent15);
  const std::array<PointF, 3> play{{{cx - 10, cy - 50}, {cx + 15, cy - 30}, {cx - 10, cy - 10}}};
  c.fillPolygon(play, r.accent);
  c.drawText("파일을 드래그하거나 O 키를 눌러 열기", r.hint15, RectF{left, cy + 30, right, cy + 55}, r.textMuted);
  c.drawText("또는 아래 [라디오] / [팟캐스트] 버튼을 누르세요", r.hint15, RectF{left, cy + 58, right, cy + 83},
             r.textMuted);
  if (!s.lastPodcastUrl.empty() && !s.lastPodcastName.empty() && s.resumePosition > 2.0) {
    // Long names end in an ellipsis rather than spilling out of the button.
    RectF b = resumeButtonRect(l);
    if (hovered(s, b)) c.fillRoundedRect(b, 8, r.accent15);
    c.drawRoundedRect(b, 8, r.accent, 1);
    c.drawText(resumeLabel(s.lastPodcastName, s.resumePosition), r.small10Line, RectF{b.left + 8, b.top, b.right - 8, b.bottom},
               r.accent);
  }
}

void drawSubtitles(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) {
  if (s.connecting || !s.subtitleVisible || !s.subtitleTrackLoaded || s.media.state == PlayState::Idle ||
      s.subtitleText.empty() || !r.subtitle.valid())
    return;
  const float size = r.subtitle.size();
  const float W = static_cast<float>(s.width);
  const RectF box{30, l.topBar + 20, W - 30, l.controlsTop - (size * 0.5f + 10)};
  const float o = subtitleOutlineOffset(size);
  for (int dx = -1; dx <= 1; ++dx) {
    for (int dy = -1; dy <= 1; ++dy) {
      if (dx == 0 && dy == 0) continue;
      RectF shifted{box.left + dx * o, box.top + dy * o, box.right + dx * o, box.bottom + dy * o};
      c.drawText(s.subtitleText, r.subtitle, shifted, r.black85);
    }
  }
  c.drawText(s.subtitleText, r.subtitle, box, subtitleFillColor(s.subtitleColor));
}

void drawAbMarkers(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) {
  const double d = s.media.duration;
  if (s.connecting || !(d > 0) || (s.ab.pointA < 0 && s.ab.pointB < 0)) return;
  const float y = l.seekY;
  const float xA = abMarkerX(s.ab.pointA, d, s.width), xB = abMarkerX(s.ab.pointB, d, s.width);
  if (s.ab.pointA >= 0 && s.ab.pointB > s.ab.pointA) c.fillRect(RectF{xA, y, xB, y + 12}, r.green15);
  if (s.ab.pointA >= 0) c.fillRect(RectF{xA - 1, y - 2, xA + 1, y + 14}, r.green);
  if (s.ab.pointB >= 0) c.fillRect(RectF{xB - 1, y - 2, xB + 1, y + 14}, r.red);
}

}  // namespace vell
