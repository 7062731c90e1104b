// Building the shared colours and text formats, and the subtitle size.
#include "render/UiResources.h"

#include <algorithm>
#include <cmath>

namespace vell {

namespace {
TextFormat make(int weight, float size, TextAlign align, ParagraphAlign paragraph, bool wrap) {
  return TextFormat::create(kUiFontFamilies, weight, size, align, paragraph, wrap);
}
float clampSubtitleSize(float size) { return std::isfinite(size) ? std::clamp(size, 16.0f, 48.0f) : 22.0f; }
}  // namespace

void UiResources::build(float subtitleSizePoints) {
  complete = false;
  using A = TextAlign;
  using P = ParagraphAlign;
  label12 = make(600, 12, A::Leading, P::Center, true);
  body12NoWrap = make(400, 12, A::Leading, P::Center, false);
  small10 = make(600, 10, A::Center, P::Center, true);
  body12 = make(400, 12, A::Leading, P::Center, true);
  toast18 = make(600, 18, A::Center, P::Center, false).withEllipsis(true);
  hint15 = make(300, 15, A::Center, P::Top, true);
  heading18 = make(600, 18, A::Center, P::Top, true);
  tooltip11 = make(500, 11, A::Center, P::Center, true);
  small11NoWrap = make(400, 11, A::Leading, P::Center, false);
  tiny9Trailing = make(400, 9.5f, A::Trailing, P::Center, true);
  title14NoWrap = make(600, 14, A::Leading, P::Center, false);
  button12 = make(400, 12, A::Center, P::Center, true);
  small10Line = make(600, 10, A::Center, P::Center, false).withEllipsis(true);
  label12Line = make(600, 12, A::Center, P::Center, false).withEllipsis(true);
  subtitleSize = 0;
  setSubtitleSize(subtitleSizePoints);
  complete = label12.valid() && small10.valid() && subtitle.valid();
}

void UiResources::setSubtitleSize(float subtitleSizePoints) {
  float size = clampSubtitleSize(subtitleSizePoints);
  if (size == subtitleSize && subtitle.valid()) return;
  subtitleSize = size;
  subtitle = make(700, size, TextAlign::Center, ParagraphAlign::Bottom, true);
}

}  // namespace vell
