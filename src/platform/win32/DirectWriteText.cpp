// The canvas's text on DirectWrite: installed fonts and their fallbacks, text laid out in a
// box, and the layouts of recent labels.
#include "platform/win32/DirectWriteText.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/Text.h"

using Microsoft::WRL::ComPtr;

namespace vell {

namespace {

constexpr float kUnbounded = 1.0e6f;  // layout width of text that is placed by hand

// One DirectWrite factory for the process, and what is known about its fonts.
struct FontCache {
  ComPtr<IDWriteFactory> dwrite;
  ComPtr<IDWriteFontCollection> fonts;
  std::mutex lock;  // guards everything below
  std::map<std::wstring, ComPtr<IDWriteFont>> fontByFamily;  // null: not installed
  std::vector<std::wstring> allFamilies;
  std::unordered_map<uint32_t, int> coverage;  // code point -> index in allFamilies, -1 none

  FontCache() {
    DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                        reinterpret_cast<IUnknown**>(dwrite.GetAddressOf()));
    if (dwrite) dwrite->GetSystemFontCollection(fonts.GetAddressOf(), FALSE);
    if (fonts) {
      for (UINT32 i = 0, n = fonts->GetFontFamilyCount(); i < n; ++i) {
        ComPtr<IDWriteFontFamily> family;
        ComPtr<IDWriteLocalizedStrings> names;
        UINT32 length = 0;
        if (FAILED(fonts->GetFontFamily(i, &family)) || FAILED(family->GetFamilyNames(&names)) ||
            FAILED(names->GetStringLength(0, &length)))
          continue;
        std::wstring name(length + 1, L'\0');
        if (FAILED(names->GetString(0, name.data(), length + 1))) continue;
        name.resize(length);
        allFamilies.push_back(name);
      }
    }
  }

  // The regular face of an installed family, or null. Call with the lock held.
  IDWriteFont* font(const std::wstring& family) {
    auto it = fontByFamily.find(family);
    if (it != fontByFamily.end()) return it->second.Get();
    ComPtr<IDWriteFont> font;
    UINT32 index = 0;
    BOOL exists = FALSE;
    ComPtr<IDWriteFontFamily> fam;
    if (fonts && SUCCEEDED(fonts->FindFamilyName(family.c_str(), &index, &exists)) && exists &&
        SUCCEEDED(fonts->GetFontFamily(index, &fam)))
      fam->GetFirstMatchingFont(DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STRETCH_NORMAL, DWRITE_FONT_STYLE_NORMAL, &font);
    return fontByFamily.emplace(family, font).first->second.Get();
  }

  static bool has(IDWriteFont* font, uint32_t cp) {
    BOOL yes = FALSE;
    return font && SUCCEEDED(font->HasCharacter(cp, &yes)) && yes;
  }

  // An installed family that draws `cp`, preferring the usual Korean faces; null for none.
  const std::wstring* anyFamilyFor(uint32_t cp) {
    auto it = coverage.find(cp);
    if (it == coverage.end()) {
      int found = -1;
      static const wchar_t* const preferred[] = {L"Malgun Gothic", L"NanumGothic", L"NanumBarunGothic",
                                                 L"Noto Sans CJK KR", L"Gulim", L"Segoe UI Symbol",
                                                 L"Arial Unicode MS"};
      for (const wchar_t* name : preferred) {
        auto at = std::find(allFamilies.begin(), allFamilies.end(), name);
        if (at != allFamilies.end() && has(font(*at), cp)) {
          found = static_cast<int>(at - allFamilies.begin());
          break;
        }
      }
      for (size_t i = 0; found < 0 && i < allFamilies.size(); ++i)
        if (has(font(allFamilies[i]), cp)) found = static_cast<int>(i);
      it = coverage.emplace(cp, found).first;
    }
    return it->second < 0 ? nullptr : &allFamilies[it->second];
  }

};

FontCache& fontCache() {
  static FontCache* s = new FontCache();  // lives as long as the process: canvases may outlive statics
  return *s;
}

// Characters that take no glyph of their own.
bool ignorable(uint32_t cp) {
  return cp < 0x20 || cp == 0x7F || (cp >= 0x200B && cp <= 0x200F) || (cp >= 0xFE00 && cp <= 0xFE0F) || cp == 0xFEFF;
}

// UTF-8 to UTF-16 for DirectWrite: bad bytes become U+FFFD, NUL characters are dropped.
// `starts` receives the UTF-16 index where each code point begins.
std::wstring toWide(std::string_view text, std::vector<uint32_t>* starts = nullptr) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t n = utf8SequenceLength(text, i);
    uint32_t cp = 0xFFFD;
    if (n == 0) {
      n = 1;
    } else {
      const auto* b = reinterpret_cast<const unsigned char*>(text.data() + i);
      if (n == 1) cp = b[0];
      else if (n == 2) cp = ((b[0] & 0x1Fu) << 6) | (b[1] & 0x3Fu);
      else if (n == 3) cp = ((b[0] & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
      else cp = ((b[0] & 0x07u) << 18) | ((b[1] & 0x3Fu) << 12) | ((b[2] & 0x3Fu) << 6) | (b[3] & 0x3Fu);
    }
    i += n;
    if (cp == 0) continue;
    if (starts) starts->push_back(static_cast<uint32_t>(out.size()));
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
  }
  return out;
}

uint32_t codePointAt(const std::wstring& s, size_t i, size_t& units) {
  uint32_t c = s[i];
  units = 1;
  if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
    units = 2;
    return 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
  }
  return c;
}

}  // namespace

struct FontSpec {
  std::wstring family;                    // the first family of the list that is installed
  std::vector<std::wstring> alternatives;  // the other installed ones, in the list's order
  IDWriteFont* regular = nullptr;          // the family's regular face (owned by the cache)
  ComPtr<IDWriteTextFormat> format;

  // The family to draw `cp` with: null for the format's own, else another installed one.
  const std::wstring* familyFor(uint32_t cp, bool& missing) const {
    missing = false;
    if (ignorable(cp) || FontCache::has(regular, cp)) return nullptr;
    FontCache& s = fontCache();
    std::lock_guard<std::mutex> guard(s.lock);
    for (const std::wstring& alt : alternatives)
      if (FontCache::has(s.font(alt), cp)) return &alt;
    const std::wstring* any = s.anyFamilyFor(cp);
    missing = any == nullptr;
    return any;
  }
};

TextFormat TextFormat::create(std::string_view families, int weight, float size, TextAlign align,
                              ParagraphAlign paragraph, bool wrap) {
  TextFormat f;
  FontCache& s = fontCache();
  if (!(size > 0) || !s.dwrite) return f;
  auto spec = std::make_shared<FontSpec>();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    // DirectWrite draws nothing at all for a family it lacks, so the list is resolved here.
    size_t start = 0;
    while (start <= families.size()) {
      size_t comma = std::min(families.find(',', start), families.size());
      std::string_view name = families.substr(start, comma - start);
      while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
      while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
      std::wstring wide = toWide(name);
      if (!wide.empty() && s.font(wide)) {
        if (spec->family.empty()) spec->family = wide;
        else spec->alternatives.push_back(wide);
      }
      start = comma + 1;
    }
    if (spec->family.empty()) {
      for (const wchar_t* name : {L"Segoe UI", L"Malgun Gothic", L"NanumGothic", L"Arial", L"Tahoma"})
        if (s.font(name)) {
          spec->family = name;
          break;
        }
      if (spec->family.empty() && !s.allFamilies.empty()) spec->family = s.allFamilies.front();
    }
    if (!spec->family.empty()) spec->regular = s.font(spec->family);
  }
  if (FAILED(s.dwrite->CreateTextFormat(spec->family.empty() ? L"Segoe UI" : spec->family.c_str(), nullptr,
                                        static_cast<DWRITE_FONT_WEIGHT>(std::clamp(weight, 1, 999)),
                                        DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, size, L"",
                                        &spec->format)))
    return f;
  f.font_ = std::move(spec);
  f.size_ = size;
  f.weight_ = weight;
  f.align_ = align;
  f.paragraph_ = paragraph;
  f.wrap_ = wrap;
  return f;
}

namespace {

// Lays `wide` out in `format` for a box `boxWidth` x `boxHeight` (either may be 0).
LaidText layOutWide(const std::wstring& wide, const FontSpec& font, const TextFormat& format, float boxWidth, float boxHeight) {
  LaidText out;
  bool wraps = format.wraps() && boxWidth > 0;
  bool trims = !wraps && format.ellipsis() && boxWidth > 0;
  bool byHand = !wraps && !trims;  // one line placed in the box by its measured width
  float maxWidth = byHand ? kUnbounded : boxWidth;
  if (FAILED(fontCache().dwrite->CreateTextLayout(wide.c_str(), static_cast<UINT32>(wide.size()), font.format.Get(),
                                               maxWidth, std::max(0.0f, boxHeight), &out.layout)))
    return LaidText{};
  IDWriteTextLayout* l = out.layout.Get();
  l->SetWordWrapping(wraps ? DWRITE_WORD_WRAPPING_WRAP : DWRITE_WORD_WRAPPING_NO_WRAP);
  l->SetParagraphAlignment(format.paragraph() == ParagraphAlign::Center   ? DWRITE_PARAGRAPH_ALIGNMENT_CENTER
                           : format.paragraph() == ParagraphAlign::Bottom ? DWRITE_PARAGRAPH_ALIGNMENT_FAR
                                                                          : DWRITE_PARAGRAPH_ALIGNMENT_NEAR);
  DWRITE_TEXT_ALIGNMENT align = format.align() == TextAlign::Center     ? DWRITE_TEXT_ALIGNMENT_CENTER
                                : format.align() == TextAlign::Trailing ? DWRITE_TEXT_ALIGNMENT_TRAILING
                                                                        : DWRITE_TEXT_ALIGNMENT_LEADING;
  l->SetTextAlignment(byHand ? DWRITE_TEXT_ALIGNMENT_LEADING : align);
  if (trims) {
    ComPtr<IDWriteInlineObject> sign;
    if (SUCCEEDED(fontCache().dwrite->CreateEllipsisTrimmingSign(l, &sign))) {
      DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
      l->SetTrimming(&trimming, sign.Get());
    }
  }
  // Characters the format's family lacks (Hangul in a Latin face) go to a family that has them.
  const std::wstring* runFamily = nullptr;
  UINT32 runStart = 0;
  auto endRun = [&](UINT32 at) {
    if (runFamily && at > runStart) l->SetFontFamilyName(runFamily->c_str(), DWRITE_TEXT_RANGE{runStart, at - runStart});
  };
  for (size_t i = 0; i < wide.size();) {
    size_t units;
    uint32_t cp = codePointAt(wide, i, units);
    bool missing;
    const std::wstring* family = font.familyFor(cp, missing);
    if (ignorable(cp) || cp == ' ') family = runFamily;  // spaces stay with their neighbours
    if (family != runFamily) {
      endRun(static_cast<UINT32>(i));
      runFamily = family;
      runStart = static_cast<UINT32>(i);
    }
    i += units;
  }
  endRun(static_cast<UINT32>(wide.size()));
  DWRITE_TEXT_METRICS m{};
  l->GetMetrics(&m);
  if (byHand) {
    // Lines align among themselves within the widest one; the block sits in the box by hand.
    l->SetMaxWidth(m.widthIncludingTrailingWhitespace);
    l->SetTextAlignment(align);
    float w = m.widthIncludingTrailingWhitespace;
    out.dx = format.align() == TextAlign::Center ? (boxWidth - w) / 2 : format.align() == TextAlign::Trailing ? boxWidth - w : 0;
    l->GetMetrics(&m);
  }
  out.left = out.dx + m.left;
  out.top = m.top;
  out.width = m.widthIncludingTrailingWhitespace;
  out.height = m.height;
  return out;
}

}  // namespace

TextLayout::~TextLayout() = default;

LaidText layOutText(std::string_view text, const FontSpec& font, const TextFormat& format, float boxWidth,
                    float boxHeight) {
  return layOutWide(toWide(text), font, format, boxWidth, boxHeight);
}

size_t TextLayoutCache::KeyHash::operator()(const Key& k) const {
  return std::hash<std::string>()(k.text) ^ (std::hash<const void*>()(k.font.get()) * 31) ^
         std::hash<float>()(k.w) * 7 ^ std::hash<float>()(k.h) * 13 ^ static_cast<size_t>(k.flags);
}

const LaidText& TextLayoutCache::layOut(std::string_view text, const std::shared_ptr<const FontSpec>& font,
                                        const TextFormat& format, float w, float h) {
  int flags = static_cast<int>(format.align()) | static_cast<int>(format.paragraph()) << 2 |
              (format.wraps() ? 16 : 0) | (format.ellipsis() ? 32 : 0);
  Key key{std::string(text), font, w, h, flags};
  auto it = layouts_.find(key);
  if (it != layouts_.end()) return it->second;
  if (layouts_.size() >= 512) layouts_.clear();
  return layouts_.emplace(std::move(key), layOutText(text, *font, format, w, h)).first->second;
}

PointF textSize(std::string_view text, const FontSpec& font, const TextFormat& format) {
  LaidText laid = layOutText(text, font, format.withEllipsis(false).withAlign(TextAlign::Leading), 0, 0);
  return PointF{laid.width, laid.height};
}

std::vector<float> textCaretOffsets(std::string_view text, const FontSpec& font, const TextFormat& format) {
  std::vector<float> out{0.0f};
  std::vector<uint32_t> starts;
  std::wstring wide = toWide(text, &starts);
  if (wide.empty()) return out;
  LaidText laid = layOutWide(wide, font, format.withEllipsis(false).withAlign(TextAlign::Leading), 0, 0);
  if (!laid.layout) return out;
  // From the clusters' advances (wine has no caret hit-testing); a code point inside a
  // cluster gets its share of the cluster's width.
  UINT32 count = 0;
  laid.layout->GetClusterMetrics(nullptr, 0, &count);
  std::vector<DWRITE_CLUSTER_METRICS> clusters(count);
  if (count == 0 || FAILED(laid.layout->GetClusterMetrics(clusters.data(), count, &count))) return out;
  std::vector<float> atUnit(wide.size() + 1, 0.0f);
  float x = 0;
  UINT32 unit = 0;
  for (const DWRITE_CLUSTER_METRICS& c : clusters) {
    for (UINT32 i = 0; i < c.length && unit + i < wide.size(); ++i) atUnit[unit + i] = x + c.width * i / c.length;
    unit += c.length;
    x += c.width;
  }
  for (size_t i = 1; i < starts.size(); ++i) out.push_back(atUnit[starts[i]]);
  out.push_back(laid.width);
  return out;
}

int textUnknownGlyphs(std::string_view text, const FontSpec& font) {
  std::wstring wide = toWide(text);
  int unknown = 0;
  for (size_t i = 0; i < wide.size();) {
    size_t units;
    bool missing;
    font.familyFor(codePointAt(wide, i, units), missing);
    unknown += missing;
    i += units;
  }
  return unknown;
}

}  // namespace vell
