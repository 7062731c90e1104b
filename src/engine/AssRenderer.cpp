// libass on the subtitle thread: the library and fonts, the track, and its images blended into one BGRA picture.
#include "engine/AssRenderer.h"

extern "C" {
#include <ass/ass.h>
}

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "engine/VideoFrame.h"
#include "platform/Log.h"

namespace vell {

namespace {

// The header a stream without one gets: libass's defaults with a plain style.
constexpr char kDefaultHeader[] =
    "[Script Info]\nScriptType: v4.00+\nPlayResX: 384\nPlayResY: 288\n\n[V4+ Styles]\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
    "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, "
    "MarginV, Encoding\n"
    "Style: Default,sans-serif,16,&Hffffff,&Hffffff,&H0,&H0,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,0\n\n"
    "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";

// libass speaks at length about fonts; only its errors and warnings reach the log.
void quietMessages(int level, const char* format, va_list args, void*) {
  if (level > 2) return;
  char line[512];
  std::vsnprintf(line, sizeof line, format, args);
  debugLog("libass: %s\n", line);
}

// The images of one drawing, blended in order into one premultiplied BGRA picture as large as
// their bounds.
SubtitleImage blend(const ASS_Image* images, int frameWidth, int frameHeight) {
  int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
  for (const ASS_Image* i = images; i; i = i->next) {
    if (i->w <= 0 || i->h <= 0) continue;
    x0 = std::min(x0, i->dst_x);
    y0 = std::min(y0, i->dst_y);
    x1 = std::max(x1, i->dst_x + i->w);
    y1 = std::max(y1, i->dst_y + i->h);
  }
  SubtitleImage out;
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, frameWidth);
  y1 = std::min(y1, frameHeight);
  if (x1 <= x0 || y1 <= y0) return out;
  out.x = x0;
  out.y = y0;
  out.width = x1 - x0;
  out.height = y1 - y0;
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, 0);
  for (const ASS_Image* i = images; i; i = i->next) {
    if (i->w <= 0 || i->h <= 0) continue;
    const uint32_t c = i->color;
    const uint32_t r = c >> 24, g = (c >> 16) & 0xFF, b = (c >> 8) & 0xFF, opacity = 255 - (c & 0xFF);
    const int left = std::max(i->dst_x, x0), right = std::min(i->dst_x + i->w, x1);
    const int top = std::max(i->dst_y, y0), bottom = std::min(i->dst_y + i->h, y1);
    for (int y = top; y < bottom; ++y) {
      const unsigned char* coverage = i->bitmap + static_cast<size_t>(y - i->dst_y) * i->stride;
      uint32_t* row = out.pixels.data() + static_cast<size_t>(y - y0) * out.width;
      for (int x = left; x < right; ++x) {
        const uint32_t a = (coverage[x - i->dst_x] * opacity + 127) / 255;
        if (a == 0) continue;
        uint32_t& pixel = row[x - x0];
        const uint32_t d = pixel, keep = 255 - a;
        auto mix = [&](uint32_t source, int shift) { return (source * a + ((d >> shift) & 0xFF) * keep + 127) / 255; };
        pixel = (mix(255, 24) << 24) | (mix(r, 16) << 16) | (mix(g, 8) << 8) | mix(b, 0);
      }
    }
  }
  return out;
}

}  // namespace

AssRenderer::~AssRenderer() { reset(); }

void AssRenderer::reset() {
  dropTrack();
  if (renderer_) ass_renderer_done(renderer_);
  renderer_ = nullptr;
  if (library_) ass_library_done(library_);
  library_ = nullptr;
  frameWidth_ = frameHeight_ = storageWidth_ = storageHeight_ = 0;
}

void AssRenderer::setFonts(std::shared_ptr<const FontFiles> fonts) {
  dropTrack();
  // Fonts join a library before its renderer is made: other fonts need new ones. Without any the
  // old ones stay, and with them what they found of the system's fonts (slow to look up).
  const bool none = !fonts || fonts->empty(), hadNone = !fonts_ || fonts_->empty();
  if (!none || !hadNone) reset();
  fonts_ = std::move(fonts);
}

bool AssRenderer::ensureLibrary() {
  if (library_) return true;
  library_ = ass_library_init();
  if (!library_) return false;
  ass_set_message_cb(library_, quietMessages, nullptr);
  ass_set_extract_fonts(library_, 1);  // fonts a script carries in its [Fonts] part
  if (fonts_)
    for (const FontFile& f : *fonts_)
      ass_add_font(library_, const_cast<char*>(f.name.c_str()), const_cast<char*>(f.data.data()),
                   static_cast<int>(f.data.size()));
  return true;
}

bool AssRenderer::ensureRenderer() {
  if (renderer_) return true;
  if (!ensureLibrary()) return false;
  renderer_ = ass_renderer_init(library_);
  if (!renderer_) return false;
  // The system's own fonts: fontconfig on Linux, DirectWrite on Windows.
  ass_set_fonts(renderer_, nullptr, "sans-serif", ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
  return true;
}

bool AssRenderer::startTrack(const uint8_t* header, size_t size) {
  dropTrack();
  if (!ensureLibrary()) return false;
  track_ = ass_new_track(library_);
  if (!track_) return false;
  if (header && size > 0) {
    std::vector<char> copy(header, header + size);
    ass_process_codec_private(track_, copy.data(), static_cast<int>(copy.size()));
  } else {
    std::string copy = kDefaultHeader;
    ass_process_codec_private(track_, copy.data(), static_cast<int>(copy.size()));
  }
  return true;
}

bool AssRenderer::loadScript(const std::string& script) {
  dropTrack();
  if (!ensureLibrary() || script.empty()) return false;
  std::string copy = script;
  track_ = ass_read_memory(library_, copy.data(), copy.size(), nullptr);
  if (track_ && track_->n_events <= 0) dropTrack();
  return track_ != nullptr;
}

void AssRenderer::dropTrack() {
  if (track_) ass_free_track(track_);
  track_ = nullptr;
  fresh_ = true;
}

void AssRenderer::addEvent(const uint8_t* data, size_t size, int64_t startMs, int64_t durationMs) {
  if (!track_ || !data || size == 0 || size > (1u << 20)) return;
  std::vector<char> copy(data, data + size);
  ass_process_chunk(track_, copy.data(), static_cast<int>(copy.size()), startMs, std::max<int64_t>(durationMs, 0));
}

std::shared_ptr<const AssPicture> AssRenderer::render(int64_t ms, int frameWidth, int frameHeight, int storageWidth,
                                                      int storageHeight) {
  if (!track_ || frameWidth < 1 || frameHeight < 1 || frameWidth > kMaxPictureSide || frameHeight > kMaxPictureSide ||
      !ensureRenderer())
    return nullptr;
  bool resized = false;
  if (frameWidth != frameWidth_ || frameHeight != frameHeight_) {
    ass_set_frame_size(renderer_, frameWidth, frameHeight);
    frameWidth_ = frameWidth;
    frameHeight_ = frameHeight;
    resized = true;
  }
  if (storageWidth > 0 && storageHeight > 0 && (storageWidth != storageWidth_ || storageHeight != storageHeight_)) {
    ass_set_storage_size(renderer_, storageWidth, storageHeight);
    storageWidth_ = storageWidth;
    storageHeight_ = storageHeight;
    resized = true;
  }
  int change = 0;
  ASS_Image* images = ass_render_frame(renderer_, track_, static_cast<long long>(ms), &change);
  if (change == 0 && !resized && !fresh_) return nullptr;
  fresh_ = false;
  auto picture = std::make_shared<AssPicture>();
  picture->frameWidth = frameWidth;
  picture->frameHeight = frameHeight;
  picture->image = blend(images, frameWidth, frameHeight);
  return picture;
}

}  // namespace vell
