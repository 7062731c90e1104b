// Cost of one full paint at 1280x720 with a 1080p frame: clear, picture upload and draw,
// overlay draw (control bar, seek bar, subtitle), overlay upload and blend, present.
// Median over 300 paints for each renderer. Run under a display (xvfb-run) for the opengl
// renderer; without one the offscreen video driver is used.
//
//   bench/paint [driver...]        (default: software opengl auto)
//
// "auto" is the renderer the player picks by itself. The last line is
// paint_ms=<median of the opengl renderer> (or of the first one measured without it).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/VideoFrame.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/Renderer.h"
#include "render/UiResources.h"

using namespace vell;

namespace {

constexpr int kWidth = 1280, kHeight = 720, kPaints = 300, kWarmup = 20;

struct Result {
  bool ok = false;
  double median = 0, p90 = 0, drawMs = 0;
  long overlayPixels = 0;
};

Result measure(const std::string& driver, const VideoFrame* frames) {
  Result r;
  Window window;
  WindowOptions options;
  options.borderless = true;
  if (!window.create("paint bench", kWidth, kHeight, options)) return r;
  Renderer renderer;
  if (!renderer.initialize(window, driver == "auto" ? std::string() : driver)) {
    std::printf("driver=%s unavailable\n", driver.c_str());
    return r;
  }
  UiResources res;
  res.build(22);
  Overlay overlay;

  OverlayState s;
  s.width = kWidth;
  s.height = kHeight;
  s.currentPath = "/videos/benchmark.mkv";
  s.media.state = PlayState::Playing;
  s.media.hasVideo = true;
  s.media.duration = 5400;
  s.media.volume = 0.8f;
  s.subtitleTrackLoaded = true;
  s.subtitleText = "자막이 있는 장면입니다.\nA subtitle line.";

  std::vector<double> times;
  double drawTotal = 0;
  for (int i = 0; i < kWarmup + kPaints; ++i) {
    s.tick = 100000 + i * 16;
    s.frame = &frames[i % 2];  // a new picture every paint: the upload is never skipped
    s.frameChanged = true;
    s.media.position = 600 + i * 0.016;
    auto t0 = std::chrono::steady_clock::now();
    overlay.paint(renderer, res, s);
    renderer.present();
    auto t1 = std::chrono::steady_clock::now();
    if (i >= kWarmup) times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    if (i == kWarmup) r.overlayPixels = renderer.device().overlayPixelsUploaded();
  }
  // The canvas part alone, for reference.
  for (int i = 0; i < 50; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    renderer.canvas().clear();
    overlay.draw(renderer.canvas(), res, s);
    drawTotal += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  }
  std::sort(times.begin(), times.end());
  r.ok = true;
  r.median = times[times.size() / 2];
  r.p90 = times[times.size() * 9 / 10];
  r.drawMs = drawTotal / 50;
  std::printf("driver=%s renderer=%s median_ms=%.2f p90_ms=%.2f overlay_draw_ms=%.2f overlay_px=%ld\n", driver.c_str(),
              renderer.device().driverName().c_str(), r.median, r.p90, r.drawMs, r.overlayPixels);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("SDL_VIDEODRIVER") && !std::getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  std::vector<std::string> drivers;
  for (int i = 1; i < argc; ++i) drivers.push_back(argv[i]);
  if (drivers.empty()) drivers = {"software", "opengl", "auto"};

  // Two 1080p pictures with some structure, shown alternately.
  const int fw = 1920, fh = 1080;
  std::vector<uint32_t> pixels[2];
  VideoFrame frames[2];
  for (int k = 0; k < 2; ++k) {
    pixels[k].resize(static_cast<size_t>(fw) * fh);
    for (int y = 0; y < fh; ++y)
      for (int x = 0; x < fw; ++x)
        pixels[k][static_cast<size_t>(y) * fw + x] =
            0xFF000000u | ((x * 255 / fw) << 16) | ((y * 255 / fh) << 8) | (k ? 0xA0 : 0x60);
    frames[k].data[0] = reinterpret_cast<uint8_t*>(pixels[k].data());
    frames[k].linesize[0] = fw * 4;
    frames[k].width = fw;
    frames[k].height = fh;
    frames[k].pts = k;
  }

  double reported = -1;
  std::string reportedDriver;
  for (const std::string& d : drivers) {
    Result r = measure(d, frames);
    if (!r.ok) continue;
    if (reported < 0 || d == "opengl") {
      reported = r.median;
      reportedDriver = d;
    }
  }
  if (reported < 0) {
    std::printf("no renderer could be created\n");
    return 1;
  }
  std::printf("paint_ms=%.2f\n", reported);
  return 0;
}
