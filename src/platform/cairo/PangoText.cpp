// The canvas's text on pango: fonts by family list, text laid out in a box, and measuring.
#include "platform/cairo/PangoText.h"

#include <algorithm>

namespace vell {

namespace {

// Text for pango: valid UTF-8 (bad bytes become U+FFFD) without NUL characters.
std::string validUtf8(std::string_view text) {
  std::string in(text);
  in.erase(std::remove(in.begin(), in.end(), '\0'), in.end());
  if (g_utf8_validate(in.data(), static_cast<gssize>(in.size()), nullptr)) return in;
  gchar* fixed = g_utf8_make_valid(in.data(), static_cast<gssize>(in.size()));
  std::string out(fixed ? fixed : "");
  g_free(fixed);
  return out;
}

PangoAlignment pangoAlign(TextAlign a) {
  switch (a) {
    case TextAlign::Center: return PANGO_ALIGN_CENTER;
    case TextAlign::Trailing: return PANGO_ALIGN_RIGHT;
    default: return PANGO_ALIGN_LEFT;
  }
}

}  // namespace

struct FontSpec {
  PangoFontDescription* desc = nullptr;
  ~FontSpec() {
    if (desc) pango_font_description_free(desc);
  }
};

TextFormat TextFormat::create(std::string_view families, int weight, float size, TextAlign align,
                              ParagraphAlign paragraph, bool wrap) {
  TextFormat f;
  if (size <= 0) return f;
  auto spec = std::make_shared<FontSpec>();
  spec->desc = pango_font_description_new();
  std::string fam(families);
  pango_font_description_set_family(spec->desc, fam.c_str());
  pango_font_description_set_weight(spec->desc, static_cast<PangoWeight>(std::clamp(weight, 100, 1000)));
  pango_font_description_set_style(spec->desc, PANGO_STYLE_NORMAL);
  pango_font_description_set_stretch(spec->desc, PANGO_STRETCH_NORMAL);
  // Sizes are pixels (device-independent pixels at 96 DPI).
  pango_font_description_set_absolute_size(spec->desc, size * PANGO_SCALE);
  f.font_ = std::move(spec);
  f.size_ = size;
  f.weight_ = weight;
  f.align_ = align;
  f.paragraph_ = paragraph;
  f.wrap_ = wrap;
  return f;
}

TextLayout::~TextLayout() = default;

void layOutText(PangoLayout* layout, std::string_view text, const FontSpec& font, const TextFormat& format,
                double boxWidth) {
  const std::string valid = validUtf8(text);
  pango_layout_set_font_description(layout, font.desc);
  pango_layout_set_alignment(layout, pangoAlign(format.align()));
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
  if (format.wraps() && boxWidth > 0) {
    pango_layout_set_width(layout, static_cast<int>(boxWidth * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  } else if (format.ellipsis() && boxWidth > 0) {
    pango_layout_set_width(layout, static_cast<int>(boxWidth * PANGO_SCALE));
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  } else {
    pango_layout_set_width(layout, -1);
  }
  pango_layout_set_text(layout, valid.data(), static_cast<int>(valid.size()));
}

LaidText placeText(PangoLayout* layout, const TextFormat& format, double left, double top, double boxWidth,
                   double boxHeight) {
  LaidText p{};
  p.layout = layout;
  pango_layout_get_extents(layout, &p.ink, &p.logical);
  double lw = p.logical.width / double(PANGO_SCALE);
  double lh = p.logical.height / double(PANGO_SCALE);
  double lx = p.logical.x / double(PANGO_SCALE);
  bool widthSet = pango_layout_get_width(layout) >= 0;
  if (widthSet) {
    p.x = left;  // pango aligns the lines within the box width itself
  } else {
    switch (format.align()) {
      case TextAlign::Leading: p.x = left - lx; break;
      case TextAlign::Center: p.x = left + (boxWidth - lw) / 2 - lx; break;
      case TextAlign::Trailing: p.x = left + boxWidth - lw - lx; break;
    }
  }
  double ly = p.logical.y / double(PANGO_SCALE);
  switch (format.paragraph()) {
    case ParagraphAlign::Top: p.y = top - ly; break;
    case ParagraphAlign::Center: p.y = top + (boxHeight - lh) / 2 - ly; break;
    case ParagraphAlign::Bottom: p.y = top + boxHeight - lh - ly; break;
  }
  return p;
}

TextLayoutCache::~TextLayoutCache() {
  if (layout_) g_object_unref(layout_);
}

void TextLayoutCache::attach(PangoContext* context) {
  if (layout_) g_object_unref(layout_);
  layout_ = pango_layout_new(context);
  font_.reset();
}

PangoLayout* TextLayoutCache::layOut(std::string_view text, const std::shared_ptr<const FontSpec>& font,
                                     const TextFormat& format, double boxWidth) {
  int flags = static_cast<int>(format.align()) | (format.wraps() ? 4 : 0) | (format.ellipsis() ? 8 : 0);
  if (font_ == font && width_ == boxWidth && flags_ == flags && text_ == text) return layout_;
  layOutText(layout_, text, *font, format, boxWidth);
  text_.assign(text);
  font_ = font;
  width_ = boxWidth;
  flags_ = flags;
  return layout_;
}

PointF textSize(PangoLayout* scratch, std::string_view text, const FontSpec& font, const TextFormat& format) {
  layOutText(scratch, text, font, format.withEllipsis(false), -1);
  pango_layout_set_width(scratch, -1);
  PangoRectangle logical;
  pango_layout_get_extents(scratch, nullptr, &logical);
  return PointF{logical.width / float(PANGO_SCALE), logical.height / float(PANGO_SCALE)};
}

std::vector<float> textCaretOffsets(PangoLayout* scratch, std::string_view text, const FontSpec& font,
                                    const TextFormat& format) {
  std::vector<float> out{0.0f};
  std::string valid = validUtf8(text);
  layOutText(scratch, valid, font, format.withEllipsis(false).withAlign(TextAlign::Leading), -1);
  pango_layout_set_width(scratch, -1);
  PangoRectangle logical;
  pango_layout_get_extents(scratch, nullptr, &logical);
  const char* begin = valid.c_str();
  const char* end = begin + valid.size();
  for (const char* p = begin; p < end;) {
    p = g_utf8_next_char(p);
    if (p >= end) break;
    PangoRectangle pos;
    pango_layout_index_to_pos(scratch, static_cast<int>(p - begin), &pos);
    out.push_back((pos.width < 0 ? pos.x + pos.width : pos.x) / float(PANGO_SCALE));
  }
  if (!valid.empty()) out.push_back(logical.width / float(PANGO_SCALE));
  return out;
}

int textUnknownGlyphs(PangoLayout* scratch, std::string_view text, const FontSpec& font, const TextFormat& format) {
  layOutText(scratch, text, font, format, -1);
  return pango_layout_get_unknown_glyphs_count(scratch);
}

}  // namespace vell
