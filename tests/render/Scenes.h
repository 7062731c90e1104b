#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/VideoFrame.h"
#include "platform/Canvas.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/OverlayState.h"
#include "render/Renderer.h"
#include "render/UiResources.h"

namespace vell::test {

// A test frame of solid colour with a marker block in its top-left corner; the pixels live
// in the object (the frame does not own them).
struct TestFrame {
  std::vector<uint32_t> pixels;
  VideoFrame frame;
  TestFrame(int width, int height, uint32_t colour, uint32_t marker = 0, int markerSize = 0);
};

// A hidden offscreen window with the software presenter, resources and overlay.
struct Screen {
  Window window;
  Renderer renderer;
  UiResources res;
  Overlay overlay;
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;

  bool open(int w, int h, const std::string& driver = "software");
  // Paints the state and reads the composed picture back (0xAARRGGBB).
  void paint(const OverlayState& s, const OverlayHooks& hooks = {});
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
  bool savePng(const std::string& path) const;
};

// The overlay drawn onto a bare canvas (no window): colours are read back composed over the
// frame's background colour, as they appear on screen without a picture.
struct Drawn {
  Canvas canvas;
  UiResources res;
  Overlay overlay;
  Drawn() { res.build(22); }
  void draw(const OverlayState& s, const OverlayHooks& hooks = {});
  uint32_t at(int x, int y) const;
};

// The states of the main screens (at `w` x `h`, with the tick given).
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

// Per-channel distance check of two 0xRRGGBB colours.
bool near(uint32_t a, uint32_t b, int tolerance = 2);

}  // namespace vell::test
