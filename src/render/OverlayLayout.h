// The overlay's geometry: where the bars, panels and controls go, hit tests and animations.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Canvas.h"
#include "render/OverlayState.h"

namespace vell {

inline constexpr float kTopBarHeight = 32;
inline constexpr float kBottomBarHeight = 68;
inline constexpr float kSidePanelWidth = 320;

// Where the parts of the window go for one paint.
struct OverlayLayout {
  int width = 0, height = 0;
  float topBar = 0;       // T
  float sidePanel = 0;    // S
  float controlsTop = 0;  // C
  float seekY = 0;        // C + 2
  float barY = 0;         // C + 14
  float barHeight = 20;   // from barY to the bottom, at least 20
  RectF video;            // (0, T) to (W - S, C)
  float cx = 0, cy = 0;   // centre of the video area

  bool controlsVisible() const { return controlsTop < height; }
};

// T = 32 in the normal window (0 in compact view or full screen); S = 320 while a side
// panel is open outside compact view; C = max(H - 68 + offset, T + 20).
OverlayLayout computeOverlayLayout(int width, int height, bool fullscreen, bool compact, bool sidePanelOpen,
                                   float controlsOffset);
OverlayLayout computeOverlayLayout(const OverlayState& s);

// Animation steps, run once per paint by the App before drawing.
// Where the controls offset wants to go: 68 (hidden) or 0 (shown).
float controlsOffsetTarget(const OverlayState& s);
// 18 % of the way to the target, snapping within 0.5.
float stepControlsOffset(float offset, float target);
// 30 % of the way to 1 (open) or 0 (closed), snapping within 0.01.
float stepQuickOpenAlpha(float alpha, bool open);

// The control bar's items across a bar `width` wide (x extents; zero width for an item not
// shown). The buttons, the speaker, the volume track and the playlist button keep fixed
// places; the time read-out (or LIVE badge) `timeWidth` wide starts at 16. The speed badge
// goes right of the next button, else left of the previous one, else it is left out.
struct ControlBarItems {
  RectF time, previous, play, next, speed, speaker, volume, playlist;
};
ControlBarItems controlBarItems(int width, float timeWidth, bool speedShown);

// Hit tests of the controls (W = client width).
bool seekBarHit(int width, float seekY, float x, float y);
// Media time under x on the seek bar.
double seekPositionAt(int width, float x, double duration);
// 0 nothing, 1 play/pause, 3 previous, 4 next, 5 mute, 6 volume slider, 7 playlist button.
int controlBarHit(int width, float barY, float barHeight, float x, float y);
// The control-bar hover code for a hit: 1 -> 1, 3 -> 0, 4 -> 2, 5 -> 4, 7 -> 5, else -1.
int controlHoverFromHit(int hit);
// Volume under x: the 80-pixel track, 0.0125 per pixel.
float volumeAt(int width, float x);
// Left edge of the seek tooltip `boxWidth` wide for the mouse at x: centred on x, kept within
// 16..W - 16 (x - 28 within 16..W - 72 for the plain time).
float seekTooltipLeft(int width, float x, float boxWidth = 56);
// The quick-open button under the point (0..3), or -1.
int quickOpenButtonAt(int width, float controlsTop, float x, float y);

// The buttons of the empty screen.
RectF retryButtonRect(const OverlayLayout& l);
RectF resumeButtonRect(const OverlayLayout& l);

// The input dialog's rectangles for a client size; two fields = name and URL.
struct InputLayout {
  RectF dialog, title, nameLabel, nameBox, urlLabel, urlBox, ok, cancel;
};
InputLayout computeInputLayout(float width, float height, bool twoFields);

struct InputDialogTexts {
  const char* title;
  const char* prompt;
  const char* ok;
};
InputDialogTexts inputDialogTexts(const InputDialogView& v);

// Scrolling of a title wider than its box: holds of 2 s at both ends, moving `speed` pixels
// per second; `overflow` includes the run-out. Offset for `seconds` since the scroll began.
float marqueeOffset(double seconds, float overflow, float speed);

// Full-screen title: the text after the last '\' or '/', without its extension.
std::string fullscreenTitle(std::string_view path);

// The toast's pill for a text `textWidth` pixels wide on one line: the text and 24 pixels
// each side, at least 200 wide and at most the window less 8 pixels each side; 44 high,
// at 15 % of the height.
inline constexpr float kToastPadding = 24;
RectF toastRect(int width, int height, float textWidth);
// 1 while showing, falling to 0 over the last 300 ms; 0 once the duration has passed.
float toastOpacity(uint32_t now, uint32_t start, uint32_t durationMs);

}  // namespace vell
