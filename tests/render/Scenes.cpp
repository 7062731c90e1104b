// The render tests' scenes: overlay states, the hidden screen and test frames.
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

void Drawn::draw(const OverlayState& s, const OverlayHooks& hooks) {
  if (canvas.width() != s.width || canvas.height() != s.height) canvas.resize(s.width, s.height);
  canvas.clear();
  canvas.fillRect(RectF{0, 0, static_cast<float>(s.width), static_cast<float>(s.height)}, Color::rgb(kBackground));
  overlay.draw(canvas, res, s, hooks);
}

constexpr uint32_t kTick = 100000;

OverlayState baseState(int w, int h, uint32_t tick) {
  return {.tick = tick, .width = w, .height = h, .pointer = {.lastMoveTick = tick}};
}

OverlayState emptyScene(int w, int h) {
  return {.tick = kTick, .width = w, .height = h, .pointer = {.lastMoveTick = kTick},
          .lastPodcastUrl = "https://podcast.example/feed/ep12.mp3", .lastPodcastName = "두시의 데이트 12회",
          .resumePosition = 754};
}

OverlayState failedScene(int w, int h) {
  return {.tick = kTick, .width = w, .height = h, .pointer = {.lastMoveTick = kTick}, .connectionFailed = true,
          .failedTick = kTick - 2000, .failedName = "KBS 쿨FM 라디오 — 연결이 되지 않는 아주 긴 방송국 이름 테스트"};
}

OverlayState videoScene(int w, int h, const VideoFrame* frame) {
  return {.tick = kTick, .width = w, .height = h, .pointer = {.x = w / 3, .y = h - 66, .inside = true,
          .lastMoveTick = kTick, .seekHover = true}, .currentPath = "/home/user/영상/여행 기록 2023.mp4",
          .media = {.state = PlayState::Playing, .position = 754, .duration = 3725, .hasVideo = true, .speed = 1.5f,
                    .volume = 0.7f, .title = "여행 기록 2023"},
          .frame = frame, .subtitleTrackLoaded = true, .subtitleText = "안녕하세요, 여러분!\n오늘은 바다에 왔습니다.",
          .ab = {.pointA = 600, .pointB = 900}};
}

OverlayState radioScene(int w, int h) {
  OverlayState s{.tick = kTick, .width = w, .height = h, .pointer = {.lastMoveTick = kTick},
                 .currentPath = "http://radio.example:8000/cool.aac",
                 .media = {.state = PlayState::Playing, .isLive = true, .volume = 0.8f, .title = "KBS 쿨FM",
                           .stationName = "KBS Cool FM 89.1", .codecName = "aac", .bitrateKbps = 128,
                           .sampleRate = 44100, .channels = 2},
                 .audio = {.ringFill = 48000 * 2 * 12, .ringCapacity = 48000 * 2 * 30, .sampleRate = 48000, .channels = 2},
                 .streamTitle = "아이유 - 밤편지", .listenStartTick = kTick - 200000};
  for (int i = 0; i < kLevelBands; ++i)
    s.audio.levels[i] = 0.02f + 0.15f * std::fabs(std::sin(i * 0.45f)) * (1.0f - i / 40.0f);
  return s;
}

OverlayState podcastScene(int w, int h) {
  return {.tick = kTick, .width = w, .height = h, .pointer = {.lastMoveTick = kTick},
          .currentPath = "https://podcast.example/ep/2024-03-01.mp3",
          .media = {.state = PlayState::Paused, .position = 1325, .duration = 3120, .podcastRequest = true,
                    .volume = 0.5f, .muted = true, .title = "과학 이야기 — 블랙홀의 비밀", .codecName = "mp3",
                    .bitrateKbps = 192, .sampleRate = 44100, .channels = 2},
          .audio = {.ringFill = 48000 * 2 * 4, .ringCapacity = 48000 * 2 * 30, .sampleRate = 48000, .channels = 2},
          .listenStartTick = kTick - 30000};
}

OverlayState helpScene(int w, int h) {
  OverlayState s = emptyScene(w, h);
  s.view.helpVisible = true;
  return s;
}

OverlayState connectingScene(int w, int h) {
  return {.tick = kTick + 250, .width = w, .height = h, .pointer = {.lastMoveTick = kTick}, .connecting = true,
          .connectingTarget = "http://radio.example:8000/stream.pls"};
}

OverlayState toastScene(int w, int h) {
  OverlayState s = radioScene(w, h);
  s.toast.text = "볼륨: 80%";
  s.toast.tick = s.tick - 500;
  s.toast.durationMs = 1500;
  s.view.quickOpenVisible = true;
  s.view.quickOpenAlpha = 1.0f;
  s.view.quickOpenHover = 1;
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

// fontconfig never frees parts of its configuration: not our leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
