// Scenes for the render tests: overlay states, a hidden screen and test frames.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/VideoFrame.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/Renderer.h"

// States are written with designated initialisers naming only the fields a test sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace vell::test {

constexpr uint32_t kBackground = 0x121216;  // the frame's clear colour: what an untouched overlay pixel shows

// A solid frame with a marker block in its top-left corner; the object holds the pixels.
struct TestFrame {
  std::vector<uint32_t> pixels;
  VideoFrame frame;
  TestFrame(int width, int height, uint32_t colour, uint32_t marker = 0, int markerSize = 0);
};

// A hidden window with a presenter (software unless told), resources and overlay.
struct Screen {
  Window window;
  Renderer renderer;
  UiResources res;
  Overlay overlay;
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;

  bool open(int w, int h, const std::string& driver = "software");
  void paint(const OverlayState& s, const OverlayHooks& hooks = {}) {
    overlay.paint(renderer, res, s, hooks);
    renderer.readPixels(pixels, width, height);
  }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

// The overlay drawn over the 121216 background, as the screen shows it without a picture.
struct Drawn {
  Canvas canvas;
  UiResources res;
  Overlay overlay;
  Drawn() { res.build(22); }
  void draw(const OverlayState& s, const OverlayHooks& hooks = {});
  uint32_t at(int x, int y) const { return canvas.pixel(x, y) & 0xFFFFFF; }
};

OverlayState baseState(int w, int h, uint32_t tick = 100000);
OverlayState emptyScene(int w, int h);
OverlayState failedScene(int w, int h);
OverlayState videoScene(int w, int h, const VideoFrame* frame);
OverlayState radioScene(int w, int h);
OverlayState podcastScene(int w, int h);
OverlayState helpScene(int w, int h);
OverlayState connectingScene(int w, int h);
OverlayState toastScene(int w, int h);
OverlayState inputScene(int w, int h);

// Each channel of two 0xRRGGBB colours within `tolerance`.
bool near(uint32_t a, uint32_t b, int tolerance = 2);

}  // namespace vell::test
