// The overlay's geometry and texts: where each part goes for a state, and the input dialog's texts.
#include "render/OverlayLayout.h"

#include <algorithm>
#include <cmath>

#include "platform/Text.h"

namespace vell {

OverlayLayout computeOverlayLayout(int width, int height, bool fullscreen, bool compact, bool sidePanelOpen,
                                   float controlsOffset) {
  OverlayLayout l;
  l.width = width;
  l.height = height;
  bool normal = !fullscreen && !compact;
  l.topBar = normal ? kTopBarHeight : 0;
  // The panels stay usable in full screen, as the mouse handling expects them there.
  l.sidePanel = (sidePanelOpen && !compact) ? kSidePanelWidth : 0;
  float offset = normal ? 0 : controlsOffset;
  l.controlsTop = std::max(height - kBottomBarHeight + offset, l.topBar + 20);
  l.seekY = l.controlsTop + 2;
  l.barY = l.controlsTop + 14;
  l.barHeight = std::max(20.0f, height - l.barY);
  l.video = RectF{0, l.topBar, width - l.sidePanel, l.controlsTop};
  l.cx = l.video.left + l.video.width() / 2;
  l.cy = l.video.top + l.video.height() / 2;
  return l;
}

OverlayLayout computeOverlayLayout(const OverlayState& s) {
  return computeOverlayLayout(s.width, s.height, s.view.fullscreen, s.view.compact,
                              s.view.settingsOpen || s.view.browserOpen || s.playlistOpen, s.view.controlsOffset);
}

float controlsOffsetTarget(const OverlayState& s) {
  bool dragging = s.pointer.seekDragging || s.pointer.volumeDragging;
  int h = s.height;
  if (s.view.fullscreen) {
    bool inBand = s.pointer.y > h - 100 && s.pointer.y < h;
    bool nearTop = s.pointer.y < 40;
    bool recent = static_cast<uint32_t>(s.tick - s.pointer.lastMoveTick) < 3000;
    return (inBand || nearTop || recent || dragging) ? 0.0f : kBottomBarHeight;
  }
  if (s.view.compact) {
    bool nearBottom = s.pointer.inside && s.pointer.y > h - 80 && s.pointer.y <= h;
    return (nearBottom || dragging) ? 0.0f : kBottomBarHeight;
  }
  return 0;
}

float stepControlsOffset(float offset, float target) {
  float next = offset + (target - offset) * 0.18f;
  return std::fabs(target - next) < 0.5f ? target : next;
}

float stepQuickOpenAlpha(float alpha, bool open) {
  float target = open ? 1.0f : 0.0f;
  float next = alpha + (target - alpha) * 0.3f;
  return std::fabs(target - next) < 0.01f ? target : next;
}

ControlBarItems controlBarItems(int width, float timeWidth, bool speedShown) {
  const float W = static_cast<float>(width), cx = W / 2, gap = 8;
  auto span = [](float left, float right) { return RectF{left, 0, right, 1}; };
  ControlBarItems b;
  if (timeWidth > 0) b.time = span(16, 16 + timeWidth);
  b.previous = span(cx - 68, cx - 28);  // the places controlBarHit answers for
  b.play = span(cx - 24, cx + 24);
  b.next = span(cx + 28, cx + 68);
  b.speaker = span(W - 172, W - 152);
  b.volume = span(W - 148, W - 68);
  b.playlist = span(W - 52, W - 16);
  if (!speedShown) return b;
  const float badge = 32, afterTime = timeWidth > 0 ? b.time.right : 16;
  if (b.next.right + 12 + badge + gap <= b.speaker.left)
    b.speed = span(b.next.right + 12, b.next.right + 12 + badge);
  else if (afterTime + gap <= b.previous.left - 12 - badge)
    b.speed = span(b.previous.left - 12 - badge, b.previous.left - 12);
  return b;
}

bool seekBarHit(int width, float seekY, float x, float y) {
  return x >= 16 && x <= width - 16 && y >= seekY - 12 && y <= seekY + 20;
}

double seekPositionAt(int width, float x, double duration) {
  if (width <= 32 || !(duration > 0)) return 0;
  return std::clamp((x - 16.0) / (width - 32.0), 0.0, 1.0) * duration;
}

int controlBarHit(int width, float barY, float barHeight, float x, float y) {
  if (y < barY || y > barY + barHeight) return 0;
  float cy = barY + barHeight / 2, cx = width / 2.0f;
  auto within = [&](float px, float r) { return (x - px) * (x - px) + (y - cy) * (y - cy) < r * r; };
  if (within(cx - 48, 20)) return 3;
  if (within(cx, 24)) return 1;
  if (within(cx + 48, 20)) return 4;
  if (x >= width - 172 && x <= width - 152) return 5;
  if (x >= width - 148 && x <= width - 68) return 6;
  if (x >= width - 52 && x <= width - 16) return 7;
  return 0;
}

int controlHoverFromHit(int hit) {
  switch (hit) {
    case 1: return 1;
    case 3: return 0;
    case 4: return 2;
    case 5: return 4;
    case 7: return 5;
    default: return -1;
  }
}

float volumeAt(int width, float x) { return std::clamp((x - (width - 148.0f)) * 0.0125f, 0.0f, 1.0f); }

float seekTooltipLeft(int width, float x, float boxWidth) {
  return std::max(16.0f, std::min(x - boxWidth / 2, width - 16.0f - boxWidth));
}

int quickOpenButtonAt(int width, float controlsTop, float x, float y) {
  float w = std::min(width - 32.0f, 380.0f);
  float left = width / 2.0f - w / 2;
  if (w <= 18 || y < controlsTop - 52 || y > controlsTop - 10 || x < left || x > left + w) return -1;
  float bw = (w - 18) / 4;
  for (int i = 0; i < 4; ++i) {
    float bx = left + i * (bw + 6);
    if (x >= bx && x <= bx + bw) return i;
  }
  return -1;  // in a gap
}

RectF retryButtonRect(const OverlayLayout& l) { return RectF{l.cx - 55, l.cy + 42, l.cx + 55, l.cy + 76}; }

RectF resumeButtonRect(const OverlayLayout& l) {
  float w = std::min(l.video.width() - 60, 360.0f);
  return RectF{l.cx - w / 2, l.cy + 95, l.cx + w / 2, l.cy + 129};
}

InputLayout computeInputLayout(float width, float height, bool twoFields) {
  InputLayout in;
  float cx = width / 2, cy = height / 2;
  float body = twoFields ? 122.0f : 68.0f;
  float a = body + 62;
  float left = cx - 210, right = cx + 210, top = cy - (a + 48) / 2;
  in.dialog = RectF{left, top, right, top + a + 48};
  in.title = RectF{left + 24, top + 20, right - 24, top + 62};
  if (twoFields) {
    in.nameLabel = RectF{left + 24, top + 68, right - 24, top + 82};
    in.nameBox = RectF{left + 24, top + 82, right - 24, top + 116};
  }
  in.urlLabel = RectF{left + 24, top + body, right - 24, top + body + 14};
  in.urlBox = RectF{left + 24, top + body + 14, right - 24, top + body + 48};
  in.ok = RectF{right - 104, top + a, right - 24, top + a + 32};
  in.cancel = RectF{in.ok.left - 88, top + a, in.ok.left - 8, top + a + 32};
  return in;
}

InputDialogTexts inputDialogTexts(const InputDialogView& v) {
  const char* urlPrompt = "스트림 또는 미디어 주소를 입력하세요";
  const char* ok = v.editing ? "저장" : (v.urlOnly ? "열기" : "추가");
  if (v.use == InputUse::QueueFilePath) return {"재생목록에 파일 추가", "파일 경로를 입력하세요", "추가"};
  if (isPathUse(v.use))
    return {v.use == InputUse::SubtitlePath ? "자막 파일 열기" : "파일 열기", "파일 경로를 입력하세요", "열기"};
  if (v.use == InputUse::NewCategory) return {"새 카테고리", urlPrompt, ok};
  if (v.use == InputUse::AddToPlaylist) return {"재생목록에 URL 추가", urlPrompt, ok};
  if (v.editing) return {"스트림 편집", "수정할 내용을 입력하세요", ok};
  if (v.urlOnly) return {"URL 열기", urlPrompt, ok};
  return {v.podcast ? "새 팟캐스트 추가" : "새 라디오 추가", "이름과 URL을 입력하세요", ok};
}

float marqueeOffset(double seconds, float overflow, float speed) {
  if (!(overflow > 0) || !(speed > 0) || !(seconds >= 0)) return 0;
  double c = overflow / speed + 4;
  double t = std::fmod(seconds, 2 * c);
  double off;
  if (t < 2) off = 0;
  else if (t < c - 2) off = (t - 2) * speed;
  else if (t < c + 2) off = overflow;
  else if (t < 2 * c - 2) off = overflow - (t - c - 2) * speed;
  else off = 0;
  return static_cast<float>(std::clamp(off, 0.0, double(overflow)));
}

std::string fullscreenTitle(std::string_view path) {
  std::string name = displayName(path);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

RectF toastRect(int width, int height, float textWidth) {
  float w = std::max(std::ceil(textWidth) + 2 * kToastPadding, 200.0f);
  w = std::max(0.0f, std::min(w, width - 16.0f));
  float left = (width - w) / 2, top = 0.15f * height;
  return RectF{left, top, left + w, top + 44};
}

float toastOpacity(uint32_t now, uint32_t start, uint32_t durationMs) {
  uint32_t elapsed = now - start;
  if (elapsed >= durationMs) return 0;
  uint32_t left = durationMs - elapsed;
  return left >= 300 ? 1.0f : left / 300.0f;
}

}  // namespace vell
