#include "Scenes.h"

#include <cmath>
#include <cstdlib>

namespace vell::test {

TestFrame::TestFrame(int width, int height, uint32_t colour, uint32_t marker, int markerSize) {
  pixels.assign(static_cast<size_t>(width) * height, 0xFF000000u | colour);
  for (int y = 0; y < markerSize && y < height; ++y)
    for (int x = 0; x < markerSize && x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = 0xFF000000u | marker;
  frame.data[0] = reinterpret_cast<uint8_t*>(pixels.data());
  frame.linesize[0] = width * 4;
  frame.width = width;
  frame.height = height;
}

bool Screen::open(int w, int h, const std::string& driver) {
  if (!window.create("test", w, h, WindowOptions{.hidden = true}) || !renderer.initialize(window, driver)) return false;
  res.build(22);
  width = w;
  height = h;
  return true;
}

void Screen::paint(const OverlayState& s, const OverlayHooks& hooks) {
  overlay.paint(renderer, res, s, hooks);
  renderer.readPixels(pixels, width, height);
}

bool Screen::savePng(const std::string& path) const { return writeArgbPng(path, pixels.data(), width, height); }

void Drawn::draw(const OverlayState& s, const OverlayHooks& hooks) {
  if (canvas.width() != s.width || canvas.height() != s.height) canvas.resize(s.width, s.height);
  canvas.clear();
  canvas.fillRect(RectF{0, 0, static_cast<float>(s.width), static_cast<float>(s.height)}, Color::rgb(0x121216));
  overlay.draw(canvas, res, s, hooks);
}

OverlayState baseState(int w, int h, uint32_t tick) {
  OverlayState s;
  s.tick = s.lastMoveTick = tick;
  s.width = w;
  s.height = h;
  return s;
}

OverlayState emptyScene(int w, int h) {
  OverlayState s = baseState(w, h);
  s.lastPodcastUrl = "https://podcast.example/feed/ep12.mp3";
  s.lastPodcastName = "두시의 데이트 12회";
  s.resumePosition = 754;
  return s;
}

OverlayState failedScene(int w, int h) {
  OverlayState s = baseState(w, h);
  s.connectionFailed = true;
  s.failedTick = s.tick - 2000;
  s.failedName = "KBS 쿨FM 라디오 — 연결이 되지 않는 아주 긴 방송국 이름 테스트";
  return s;
}

OverlayState videoScene(int w, int h, const VideoFrame* frame) {
  OverlayState s = baseState(w, h);
  s.currentPath = "/home/user/영상/여행 기록 2023.mp4";
  s.frame = frame;
  s.media = {.state = PlayState::Playing, .position = 754, .duration = 3725, .hasVideo = true, .speed = 1.5f,
             .volume = 0.7f, .title = "여행 기록 2023"};
  s.seekHover = s.mouseInside = true;
  s.mouseX = w / 3;
  s.mouseY = h - 66;
  s.subtitleTrackLoaded = true;
  s.subtitleText = "안녕하세요, 여러분!\n오늘은 바다에 왔습니다.";
  s.pointA = 600;
  s.pointB = 900;
  return s;
}

OverlayState radioScene(int w, int h) {
  OverlayState s = baseState(w, h);
  s.currentPath = "http://radio.example:8000/cool.aac";
  s.media = {.state = PlayState::Playing, .isLive = true, .volume = 0.8f, .title = "KBS 쿨FM",
             .stationName = "KBS Cool FM 89.1", .codecName = "aac", .bitrateKbps = 128, .sampleRate = 44100, .channels = 2};
  s.streamTitle = "아이유 - 밤편지";
  s.listenStartTick = s.tick - 200000;
  s.audio = {.ringFill = 48000 * 2 * 12, .ringCapacity = 48000 * 2 * 30, .sampleRate = 48000, .channels = 2};
  for (int i = 0; i < kLevelBands; ++i)
    s.audio.levels[i] = 0.02f + 0.15f * std::fabs(std::sin(i * 0.45f)) * (1.0f - i / 40.0f);
  return s;
}

OverlayState podcastScene(int w, int h) {
  OverlayState s = baseState(w, h);
  s.currentPath = "https://podcast.example/ep/2024-03-01.mp3";
  s.media = {.state = PlayState::Paused, .position = 1325, .duration = 3120, .podcastRequest = true, .volume = 0.5f,
             .muted = true, .title = "과학 이야기 — 블랙홀의 비밀", .codecName = "mp3", .bitrateKbps = 192,
             .sampleRate = 44100, .channels = 2};
  s.listenStartTick = s.tick - 30000;
  s.audio = {.ringFill = 48000 * 2 * 4, .ringCapacity = 48000 * 2 * 30, .sampleRate = 48000, .channels = 2};
  return s;
}

OverlayState helpScene(int w, int h) {
  OverlayState s = emptyScene(w, h);
  s.helpVisible = true;
  return s;
}

OverlayState connectingScene(int w, int h) {
  OverlayState s = baseState(w, h, 100250);
  s.connecting = true;
  s.connectingTarget = "http://radio.example:8000/stream.pls";
  return s;
}

OverlayState toastScene(int w, int h) {
  OverlayState s = radioScene(w, h);
  s.toastText = "볼륨: 80%";
  s.toastTick = s.tick - 500;
  s.toastDurationMs = 1500;
  s.quickOpenVisible = true;
  s.quickOpenAlpha = 1.0f;
  s.quickOpenHover = 1;
  return s;
}

OverlayState inputScene(int w, int h) {
  OverlayState s = emptyScene(w, h);
  s.input = {.open = true, .urlOnly = false, .podcast = true, .hover = 1, .focusedField = 1};
  return s;
}

bool near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift <= 16; shift += 8)
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) return false;
  return true;
}

}  // namespace vell::test

// fontconfig keeps its configuration until the process ends and never frees parts of it;
// those are not our leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
