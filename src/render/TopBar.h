// The normal window's 32-pixel title bar: its controls, title marquee and drawing.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Canvas.h"
#include "render/UiResources.h"

namespace vell {

// Hover codes of the title bar's controls.
enum TopBarControl : int {
  kTopBarNone = 0,
  kTopBarMinimize = 1,
  kTopBarMaximize = 2,
  kTopBarClose = 3,
  kTopBarPin = 4,
  kTopBarRadioTab = 5,
  kTopBarPodcastTab = 6,
};

// What one paint of the title bar shows.
struct TopBarView {
  int width = 0;
  uint32_t tick = 0;
  bool windowActive = true;
  bool maximized = false;
  bool alwaysOnTop = false;
  bool browserOpen = false;
  bool browserPodcastMode = false;
  int hovered = kTopBarNone;
  std::string title;  // display title (no path, no extension); empty = none
};

// The 32-pixel title bar of the normal window: logo dot, radio/podcast switch, scrolling
// title and the four window buttons. Keeps the title's layout and marquee clock.
class TopBar {
 public:
  static constexpr float kHeight = 32;
  static constexpr float kButtonWidth = 46;

  void draw(Canvas& c, const UiResources& r, const TopBarView& v);
  // The control under a client point for a window `width` wide (TopBarControl).
  static int controlAt(int width, int x, int y);

  // The marquee offset of the last paint and the title's width (tests, diagnostics).
  float titleOffset() const { return titleOffset_; }
  float titleWidth() const { return layout_ ? layout_->width() : 0; }
  // The layout is made with the canvas's fonts; drop it after the resources change.
  void reset() { layout_.reset(); }

 private:
  std::unique_ptr<TextLayout> layout_;
  std::string layoutText_;
  int layoutWidth_ = -1;
  uint32_t marqueeStart_ = 0;
  float titleOffset_ = 0;
};

}  // namespace vell
