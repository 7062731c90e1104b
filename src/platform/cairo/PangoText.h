// Text on pango for the canvas: laying text out in a box and measuring it.
#pragma once

#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Canvas.h"

namespace vell {

// A laid-out text and where its layout's origin goes.
struct LaidText {
  PangoLayout* layout = nullptr;
  double x = 0, y = 0;
  PangoRectangle ink{}, logical{};  // Pango units, relative to the origin
};

// Sets up `layout` for `text` in `format` within a box `boxWidth` wide (-1: unbounded).
void layOutText(PangoLayout* layout, std::string_view text, const FontSpec& font, const TextFormat& format,
                double boxWidth);
// Places a laid-out layout inside a box by the format's alignment rules.
LaidText placeText(PangoLayout* layout, const TextFormat& format, double left, double top, double boxWidth,
                   double boxHeight);

// One reused layout that remembers what it holds, so that drawing the same text again
// (outlines, repeated labels) does not lay it out again.
class TextLayoutCache {
 public:
  TextLayoutCache() = default;
  TextLayoutCache(const TextLayoutCache&) = delete;
  TextLayoutCache& operator=(const TextLayoutCache&) = delete;
  ~TextLayoutCache();

  void attach(PangoContext* context);  // makes the layout
  bool valid() const { return layout_ != nullptr; }
  PangoLayout* layOut(std::string_view text, const std::shared_ptr<const FontSpec>& font, const TextFormat& format,
                      double boxWidth);
  // The layout for other uses (measuring); it no longer holds a known text.
  PangoLayout* scratch() {
    font_.reset();
    return layout_;
  }

 private:
  PangoLayout* layout_ = nullptr;
  std::string text_;
  std::shared_ptr<const FontSpec> font_;  // held, so its address cannot be reused
  double width_ = -2;
  int flags_ = -1;
};

// The size of one unwrapped line of `text`.
PointF textSize(PangoLayout* scratch, std::string_view text, const FontSpec& font, const TextFormat& format);
// Where the caret stands before each code point of `text` and after the last.
std::vector<float> textCaretOffsets(PangoLayout* scratch, std::string_view text, const FontSpec& font,
                                    const TextFormat& format);
// How many characters of `text` no installed font draws.
int textUnknownGlyphs(PangoLayout* scratch, std::string_view text, const FontSpec& font, const TextFormat& format);

struct TextLayout::Impl {
  PangoLayout* layout = nullptr;
  ~Impl() {
    if (layout) g_object_unref(layout);
  }
};

}  // namespace vell
