// Subtitle pictures placed on the shown picture: libass's drawing and bitmap events, scaled with it.
#include "render/SubtitleLayer.h"

#include <cmath>
#include <cstring>

#include "engine/VideoFrame.h"
#include "render/OverlayLayout.h"
#include "render/Renderer.h"

namespace vell {

namespace {

bool fill(Bitmap& bitmap, const SubtitleImage& image) {
  if (image.width < 1 || image.height < 1 || image.pixels.size() < static_cast<size_t>(image.width) * image.height ||
      !bitmap.create(image.width, image.height))
    return false;
  for (int y = 0; y < image.height; ++y)
    std::memcpy(bitmap.pixels() + static_cast<size_t>(y) * bitmap.stride(),
                image.pixels.data() + static_cast<size_t>(y) * image.width, static_cast<size_t>(image.width) * 4);
  bitmap.commit();
  return true;
}

}  // namespace

RectF shownPictureArea(const OverlayState& s, float scale) {
  if (!s.frame || s.connecting || !s.media.hasVideo || !s.frame->hasPixels()) return {};
  const OverlayLayout l = computeOverlayLayout(s);
  // As the paint places the picture: the video area on whole pixels, then the placement.
  const RectF area{
      static_cast<float>(std::lround(l.video.left * scale)), static_cast<float>(std::lround(l.video.top * scale)),
      static_cast<float>(std::lround(l.video.right * scale)), static_cast<float>(std::lround(l.video.bottom * scale))};
  int rotation = s.turn.rotation;
  bool flipH = s.turn.flipH, flipV = s.turn.flipV;
  addFileTurn(s.frame->geometry, rotation, flipH, flipV);
  const VideoPlacement p = snapToPixels(
      computeVideoPlacement(s.frame->shapeWidth(), s.frame->shapeHeight(), area, s.aspectMode, rotation, flipH, flipV));
  if (!p.visible) return {};
  return RectF{p.x, p.y, p.x + p.w, p.y + p.h};
}

void SubtitleLayer::reset() {
  assShown_.reset();
  ass_.create(0, 0);
  bitmapsShown_.reset();
  rects_.clear();
}

void SubtitleLayer::draw(Canvas& c, const OverlayState& s) {
  if (!s.subtitleVisible || s.connecting || s.media.state == PlayState::Idle || (!s.subtitleAss && !s.subtitleBitmaps))
    return;
  const float k = c.scale();
  const RectF area = shownPictureArea(s, k);
  if (!(area.width() > 0) || !(area.height() > 0)) return;
  // Pixels of the shown picture to drawing units.
  auto place = [&](float x0, float y0, float x1, float y1) { return RectF{x0 / k, y0 / k, x1 / k, y1 / k}; };
  c.pushClip(place(area.left, area.top, area.right, area.bottom));

  if (const SubtitleBitmaps* b = s.subtitleBitmaps.get(); b && b->width > 0 && b->height > 0) {
    if (s.subtitleBitmaps != bitmapsShown_) {
      bitmapsShown_ = s.subtitleBitmaps;
      rects_.clear();
      for (const SubtitleImage& r : b->rects) {
        rects_.push_back(std::make_unique<Bitmap>());
        if (!fill(*rects_.back(), r)) rects_.back()->create(0, 0);
      }
    }
    const float sx = area.width() / b->width, sy = area.height() / b->height;
    for (size_t i = 0; i < b->rects.size() && i < rects_.size(); ++i) {
      const SubtitleImage& r = b->rects[i];
      if (!rects_[i]->valid()) continue;
      c.drawBitmap(*rects_[i],
                   place(area.left + r.x * sx, area.top + r.y * sy, area.left + (r.x + r.width) * sx,
                         area.top + (r.y + r.height) * sy),
                   1.0f);
    }
  }

  if (const AssPicture* a = s.subtitleAss.get(); a && a->frameWidth > 0 && a->frameHeight > 0) {
    if (s.subtitleAss != assShown_) {
      assShown_ = s.subtitleAss;
      if (!fill(ass_, a->image)) ass_.create(0, 0);
    }
    if (ass_.valid()) {
      const SubtitleImage& i = a->image;
      const float sx = area.width() / a->frameWidth, sy = area.height() / a->frameHeight;
      c.drawBitmap(ass_,
                   place(area.left + i.x * sx, area.top + i.y * sy, area.left + (i.x + i.width) * sx,
                         area.top + (i.y + i.height) * sy),
                   1.0f);
    }
  }
  c.popClip();
}

}  // namespace vell
