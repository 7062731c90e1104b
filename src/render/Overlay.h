// The overlay: everything drawn over the picture each paint, and what it keeps between paints.
#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Canvas.h"
#include "render/NowPlaying.h"
#include "render/OverlayLayout.h"
#include "render/OverlayState.h"
#include "render/SubtitleLayer.h"
#include "render/UiResources.h"

namespace vell {

class Renderer;

// Parts drawn by other panels at the places the overlay leaves them.
struct OverlayHooks {
  // The 32-pixel title bar of the normal window, drawn across (0, 0, W, 32).
  std::function<void(Canvas&, const UiResources&, const OverlayState&, const OverlayLayout&)> topBar;
  // The open side panel in `panel` = (W - S, T, W, C).
  std::function<void(Canvas&, const UiResources&, const OverlayState&, const OverlayLayout&, const RectF& panel)>
      sidePanel;
  // The input dialog's text fields, drawn over the dialog frame.
  std::function<void(Canvas&, const UiResources&, const OverlayState&, const InputLayout&)> inputFields;
};

// The control-bar icons: closed paths about their centres.
struct ControlGeometries {
  std::array<PointF, 3> play{{{-6.8f, -11}, {13, 0}, {-6.8f, 11}}};
  std::array<PointF, 3> next{{{-6, -6}, {3, 0}, {-6, 6}}};
  std::array<PointF, 3> previous{{{6, -6}, {-3, 0}, {6, 6}}};
  std::array<PointF, 4> speakerCone{{{0, -4}, {6, -8}, {6, 8}, {0, 4}}};
};

// How the App drives it, once per paint (every 16 ms, window thread):
//  1. controlsOffset = stepControlsOffset(controlsOffset, controlsOffsetTarget(state));
//     quickOpenAlpha = stepQuickOpenAlpha(quickOpenAlpha, quickOpenVisible).
//  2. Unless connecting and while playing: player.syncTick(); for video, frameChanged =
//     player.takeFrame(frameSlot).
//  3. Sleep timer, deferred pause toggle, 15-second history save, expiry of the retry offer.
//  4. Unless connecting and the player is not idle: the stream-title poll (every 500 ms); for
//     audio-only media while !coverTried(), setCover(the source's attached picture).
//  5. res.setSubtitleSize(subtitleSize); subtitleText = track.textAt(position) when subtitles
//     are visible, a track is loaded and the player is not idle.
//  6. Fill an OverlayState and call paint(renderer, res, state, hooks).
//  7. The A-B repeat check, then renderer.present().
// On a size change: renderer.resize(w, h), res.build(subtitleSize), overlay.onResize().
// When a medium is opened or closed: resetMedium().

// The state the overlay keeps between paints: the level-meter smoothing, the full-screen
// title's layout and marquee clock, the control geometries and the cover picture of the
// medium that is playing.
class Overlay {
 public:
  Overlay() = default;
  Overlay(const Overlay&) = delete;
  Overlay& operator=(const Overlay&) = delete;

  // A new medium was opened (or the last one closed): forget its cover and meter values.
  void resetMedium();
  // The window changed size: cached text layouts are rebuilt on next use.
  void onResize();

  // Cover art is tried once per medium: the App hands the attached picture's bytes (or
  // nothing) while coverTried() is false. True when a picture was decoded.
  bool coverTried() const { return coverTried_; }
  bool hasCover() const { return cover_.valid(); }
  const Bitmap& cover() const { return cover_; }
  bool setCover(const uint8_t* data, size_t size, std::string_view mimeType = {});

  const std::array<float, kLevelBands>& meterLevels() const { return meter_.smoothed; }

  // What the last draw showed that changes with time alone: Smooth wants every tick
  // (marquees, spinners, fades), Slow about 20 times a second (meters, pulses, carets).
  enum class Motion { None, Slow, Smooth };
  Motion motion() const { return motion_; }
  // Panels drawn through the hooks report theirs here.
  void noteMotion(Motion m) const {
    motion_ = std::max(motion_, m);
    ++motionNotes_;
  }
  // When the level meter was the only thing moving in the last draw and nothing else lies
  // on it, paintMeter redraws just the meter over the rest as it was: most of the
  // now-playing view's paints cost a few bars instead of the whole window.
  bool meterOnly() const { return meterArea_.w > 0; }
  bool paintMeter(Renderer& renderer, const UiResources& res, const OverlayState& s);

  // When nothing lies on the seek line and it is drawn on whole pixels, paintSeekLine redraws
  // just its strip (the fill moves under a playing picture) and then the picture.
  bool seekLineAlone() const { return seekStrip_.w > 0; }
  bool paintSeekLine(Renderer& renderer, const UiResources& res, const OverlayState& s);

  // One frame on the presenter: everything drawn over the picture, then the picture and the
  // blend, only where the window changed. The App's per-paint work (clock tick, frame taking,
  // timers, history) comes before; present after, unless this says nothing changed.
  bool paint(Renderer& renderer, const UiResources& res, const OverlayState& s, const OverlayHooks& hooks = {});
  // A new picture under an overlay that has not changed since the last paint: what was
  // drawn over the picture is kept as it is, only the picture and the blend are redone.
  bool paintPicture(Renderer& renderer, const OverlayState& s, const RectI* canvasChangedOnlyIn = nullptr);
  // Everything drawn over the picture, onto a canvas (the drawing half of paint).
  void draw(Canvas& canvas, const UiResources& res, const OverlayState& s, const OverlayHooks& hooks = {});

  // The pieces, in paint order (each reads only its arguments and this object's caches).
  void drawSeekBar(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) const;
  void drawControlBar(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) const;
  void drawFullscreenTitle(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l);
  void drawInputDialog(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayHooks& hooks) const;
  void drawConnecting(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) const;
  void drawQuickOpen(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l) const;
  void drawHelp(Canvas& c, const UiResources& r, const OverlayState& s) const;
  void drawToast(Canvas& c, const UiResources& r, const OverlayState& s) const;

  // Full-screen title marquee: the offset drawn by the last paint (tests, diagnostics).
  float titleOffset() const { return titleOffset_; }
  float titleWidth() const { return titleLayout_ ? titleLayout_->width() : 0; }

 private:
  ControlGeometries geo_;
  SubtitleLayer subtitles_;
  LevelMeter meter_;
  Bitmap cover_;
  bool coverTried_ = false;
  std::unique_ptr<TextLayout> titleLayout_;
  std::string titleText_;
  uint32_t titleStart_ = 0;
  bool titleShown_ = false;
  float titleOffset_ = 0;
  mutable Motion motion_ = Motion::None;  // gathered by the const drawing pieces
  mutable int motionNotes_ = 0;
  RectI meterArea_{};  // the meter's box (drawing units) when it alone moves, else empty
  RectI seekStrip_{};  // the rows between the controls' top and the buttons, when alone
};

// Rows of the keyboard help sheet: description and keys.
struct HelpRow {
  const char* description;
  const char* keys;
};
extern const std::array<HelpRow, 23> kHelpRows;

// "%.1fx" for a speed other than 1.0, else empty.
std::string speedBadgeText(float speed);

}  // namespace vell
