// Text on DirectWrite for the canvas: laying text out in a box and measuring it.
#pragma once

#include <dwrite.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Canvas.h"

namespace vell {

// A laid-out text and where it goes relative to its box's top-left corner.
struct LaidText {
  Microsoft::WRL::ComPtr<IDWriteTextLayout> layout;
  float dx = 0;             // added to the box's left edge
  float left = 0, top = 0;  // the text's logical box, relative to where it is drawn
  float width = 0, height = 0;
};

// Lays `text` out in `format` for a box `boxWidth` x `boxHeight` (either may be 0).
LaidText layOutText(std::string_view text, const FontSpec& font, const TextFormat& format, float boxWidth,
                    float boxHeight);

// Layouts of recent texts, so labels drawn every frame are not laid out again.
class TextLayoutCache {
 public:
  const LaidText& layOut(std::string_view text, const std::shared_ptr<const FontSpec>& font, const TextFormat& format,
                         float w, float h);
  void clear() { layouts_.clear(); }

 private:
  struct Key {
    std::string text;
    std::shared_ptr<const FontSpec> font;  // held, so its address cannot be reused
    float w, h;
    int flags;
    bool operator==(const Key& o) const {
      return font == o.font && w == o.w && h == o.h && flags == o.flags && text == o.text;
    }
  };
  struct KeyHash {
    size_t operator()(const Key& k) const;
  };
  std::unordered_map<Key, LaidText, KeyHash> layouts_;
};

// The size of one unwrapped line of `text`.
PointF textSize(std::string_view text, const FontSpec& font, const TextFormat& format);
// Where the caret stands before each code point of `text` and after the last.
std::vector<float> textCaretOffsets(std::string_view text, const FontSpec& font, const TextFormat& format);
// How many characters of `text` no installed font draws.
int textUnknownGlyphs(std::string_view text, const FontSpec& font);

struct TextLayout::Impl {
  LaidText laid;
};

}  // namespace vell
