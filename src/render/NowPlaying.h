// The picture area's screens: now playing, empty and failed, subtitles and the level meter.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Canvas.h"
#include "render/MeterShapes.h"
#include "render/OverlayLayout.h"
#include "render/OverlayState.h"
#include "render/UiResources.h"

namespace vell {

// The content of the video area that depends on what is playing: the audio-only view, the
// empty and failed screens, subtitles and the A-B markers.

// "MP3  ·  128 kbps  ·  44.1 kHz  ·  Stereo"; unknown parts are left out.
std::string technicalLine(std::string_view codecName, int bitrateKbps, int sampleRate, int channels);
// "버퍼 57%  ·  3분 20초 청취"; the buffer part above 0.1 % fill, the listening part from 60 s.
std::string statusLine(size_t ringFill, size_t ringCapacity, uint32_t listenedMs);
// The failed item's name: cut to 38 characters and ".." when longer than 40.
std::string failedItemText(std::string_view name);
// "▶ 이어듣기: name (m:ss)".
std::string resumeLabel(std::string_view name, double positionSeconds);
// "버퍼링... 1.5s".
std::string bufferingText(double seconds);

// The cover picture's rectangle: its larger side is 0.45 of the smaller area side (at least
// 10), centred 40 above the area's centre, raised when needed so that it ends above the text.
RectF coverRect(int bitmapWidth, int bitmapHeight, const OverlayLayout& l);
// Subtitle outline offset: max(size x 0.07, 1.5).
float subtitleOutlineOffset(float size);
// Fill colour of the subtitle colour setting (0 white, 1 yellow, 2 green, 3 sky).
Color subtitleFillColor(int index);
// The level meter needs C - 70 > T + 20.
bool levelMeterFits(const OverlayLayout& l);
RectF levelMeterRect(const OverlayLayout& l);
// The meter between paints: its smoothed values, and its bar heights in whole drawing units
// as of the last step and as last drawn. A meter paint that would move no bar is skipped.
// The bars are copied from pictures of their shapes.
struct LevelMeter {
  std::array<float, kLevelBands> smoothed{};
  std::array<int16_t, kLevelBands> heights{};
  std::array<int16_t, kLevelBands> drawn{};
  bool everDrawn = false;
  MeterShapes shapes;
  void reset() { *this = LevelMeter{}; }
};
// One smoothing step towards min(level x 5, 1); returns whether a bar moved since it was drawn.
bool stepLevelMeter(LevelMeter& meter, const std::array<float, kLevelBands>& levels, const OverlayLayout& l);
// Seek-bar x of a media time.
float abMarkerX(double time, double duration, int width);

// Which screen the video area shows.
enum class VideoAreaContent { None, AudioOnly, Empty, Failed };
VideoAreaContent videoAreaContent(const OverlayState& s);

// Returns the bottom of the text above the level meter.
float drawAudioOnlyView(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l,
                       const Bitmap* cover, LevelMeter& meter);
void drawMediaIcon(Canvas& c, const UiResources& r, const OverlayState& s, float cx, float cy);
// The bars at the heights of the last step.
void drawLevelMeter(Canvas& c, const UiResources& r, const OverlayLayout& l, LevelMeter& meter);
void drawEmptyScreen(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l);
void drawSubtitles(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l);
void drawAbMarkers(Canvas& c, const UiResources& r, const OverlayState& s, const OverlayLayout& l);

}  // namespace vell
