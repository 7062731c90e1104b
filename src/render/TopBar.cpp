// The title bar's hit test and drawing.
#include "render/TopBar.h"

#include "render/OverlayLayout.h"

namespace vell {

int TopBar::controlAt(int width, int x, int y) {
  if (y < 0 || y >= kHeight) return kTopBarNone;
  if (x >= width - 184) {
    int cell = (x - (width - 184)) / 46;
    return cell == 0 ? kTopBarPin : cell == 1 ? kTopBarMinimize : cell == 2 ? kTopBarMaximize : kTopBarClose;
  }
  if (y >= 5 && y <= 27) {
    if (x >= 28 && x < 100) return kTopBarRadioTab;
    if (x >= 100 && x < 172) return kTopBarPodcastTab;
  }
  return kTopBarNone;
}

void TopBar::draw(Canvas& c, const UiResources& r, const TopBarView& v) {
  const float W = static_cast<float>(v.width);
  const Color bar = v.windowActive ? r.darkest : r.background;
  c.fillRect(RectF{0, 0, W, kHeight}, bar);
  c.fillRect(RectF{0, kHeight - 1, W, kHeight}, r.separator50);
  c.fillEllipse(PointF{14, 16}, 4, 4, r.accent);

  // Radio / podcast switch.
  c.fillRoundedRect(RectF{28, 5, 172, 27}, 11, r.background);
  c.drawRoundedRect(RectF{28, 5, 172, 27}, 11, r.separator30, 1);
  const bool radioActive = v.browserOpen && !v.browserPodcastMode;
  const bool podcastActive = v.browserOpen && v.browserPodcastMode;
  const RectF radioPill{30, 7, 98, 25}, podcastPill{102, 7, 170, 25};
  if (radioActive) c.fillRoundedRect(radioPill, 9, r.accent);
  else if (v.hovered == kTopBarRadioTab) c.fillRoundedRect(radioPill, 9, r.surface262630at50);
  if (podcastActive) c.fillRoundedRect(podcastPill, 9, r.accent);
  else if (v.hovered == kTopBarPodcastTab) c.fillRoundedRect(podcastPill, 9, r.surface262630at50);
  c.drawText("라디오", r.small10, RectF{28, 5, 100, 27}, radioActive ? r.white : r.textDim);
  c.drawText("팟캐스트", r.small10, RectF{100, 5, 172, 27}, podcastActive ? r.white : r.textDim);

  // Title.
  titleOffset_ = 0;
  if (v.title.empty()) {
    layout_.reset();
    layoutText_.clear();
  } else {
    if (!layout_ || v.title != layoutText_ || v.width != layoutWidth_) {
      layout_ = c.createTextLayout(v.title, r.label12, 10000, kHeight);
      layoutText_ = v.title;
      layoutWidth_ = v.width;
      marqueeStart_ = v.tick;
    }
    const float room = W - 382;
    const Color color = v.windowActive ? r.text : r.textMuted;
    // A window of 382 pixels or less leaves no title box at all.
    if (layout_ && room > 0) {
      if (layout_->width() <= room) {
        c.drawTextLayout(*layout_, PointF{188, 0}, color);
      } else {
        float overflow = layout_->width() - room + 30;
        titleOffset_ = marqueeOffset(static_cast<uint32_t>(v.tick - marqueeStart_) / 1000.0, overflow, 30);
        c.pushClip(RectF{188, 0, W - 194, kHeight});
        c.drawTextLayout(*layout_, PointF{188 - titleOffset_, 0}, color);
        c.popClip();
      }
    }
  }

  // Window buttons: pin, minimise, maximise/restore, close.
  const float x0 = W - 184;
  const int hoveredCell = v.hovered == kTopBarPin        ? 0
                          : v.hovered == kTopBarMinimize ? 1
                          : v.hovered == kTopBarMaximize ? 2
                          : v.hovered == kTopBarClose    ? 3
                                                         : -1;
  if (hoveredCell >= 0) {
    float left = x0 + kButtonWidth * hoveredCell;
    c.fillRect(RectF{left, 0, left + kButtonWidth, kHeight}, hoveredCell == 3 ? r.closeHover : r.surface262630);
  }
  const Color stroke = r.textDim;
  float cx = x0 + 23;
  if (v.alwaysOnTop) {
    c.fillEllipse(PointF{cx, 14}, 3.5f, 3.5f, r.accent);
    c.drawLine(PointF{cx, 17}, PointF{cx, 24}, r.accent, 1.6f);
  } else {
    c.drawEllipse(PointF{cx, 14}, 3.5f, 3.5f, stroke, 1.2f);
    c.drawLine(PointF{cx, 17}, PointF{cx, 24}, stroke, 1.2f);
  }
  cx += kButtonWidth;
  c.drawLine(PointF{cx - 5, 16}, PointF{cx + 5, 16}, stroke, 1.2f);
  cx += kButtonWidth;
  if (v.maximized) {
    c.drawRect(RectF{cx - 3, 11, cx + 5, 19}, stroke, 1.0f);
    c.fillRect(RectF{cx - 5, 13, cx + 3, 21}, bar);
    c.drawRect(RectF{cx - 5, 13, cx + 3, 21}, stroke, 1.0f);
  } else {
    c.drawRect(RectF{cx - 5, 11, cx + 5, 21}, stroke, 1.2f);
  }
  cx += kButtonWidth;
  const Color cross = hoveredCell == 3 ? r.white : stroke;
  c.drawLine(PointF{cx - 5, 11}, PointF{cx + 5, 21}, cross, 1.2f);
  c.drawLine(PointF{cx + 5, 11}, PointF{cx - 5, 21}, cross, 1.2f);
}

}  // namespace vell
