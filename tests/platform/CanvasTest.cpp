// Tests of the canvas's drawing, text and buffers, and of the text field.
#include "platform/Canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/PageBuffer.h"
#include "platform/Text.h"
#include "platform/TextField.h"
#include "platform/VirtualKeys.h"

namespace vell {
namespace {

const char* kFamilies = "Segoe UI, NanumGothic, NanumBarunGothic, Noto Sans CJK KR, sans-serif";
const Color kWhite = Color::rgb(0xFFFFFF);

TextFormat format(float size, TextAlign a = TextAlign::Leading, ParagraphAlign p = ParagraphAlign::Top, bool wrap = true) {
  return TextFormat::create(kFamilies, 400, size, a, p, wrap);
}

// The alpha at each (x, y), in order.
std::vector<uint32_t> alphas(const Canvas& c, std::initializer_list<std::pair<int, int>> points) {
  std::vector<uint32_t> out;
  for (auto [x, y] : points) out.push_back(c.pixel(x, y) >> 24);
  return out;
}
using A = std::vector<uint32_t>;

// Bounding box of the pixels with any real alpha.
struct Ink { int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, count = 0; };
Ink inkOf(const Canvas& c) {
  Ink i;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x)
      if ((c.pixel(x, y) >> 24) > 40)
        i = {std::min(i.left, x), std::min(i.top, y), std::max(i.right, x), std::max(i.bottom, y), i.count + 1};
  return i;
}

TEST(Canvas, DrawingIsPremultipliedTransformedClippedAndTracked) {
  Canvas c;
  ASSERT_TRUE(c.resize(100, 100));
  c.fillRect(RectF{30, 10, 40, 20}, Color::rgb(0xFFFFFF, 0.5f));
  c.fillRoundedRect(RectF{50, 10, 90, 50}, 10, Color::rgb(0xFF0000));
  EXPECT_NEAR(static_cast<int>(c.pixel(35, 15) >> 24), 128, 1);
  EXPECT_EQ(c.pixel(35, 15) & 0xFF, c.pixel(35, 15) >> 24);  // colour scaled by alpha
  EXPECT_EQ(alphas(c, {{40, 15}, {50, 10}, {70, 10}}), (A{0, 0, 255}));  // beside the square, the round corner
  // A triangle through a transform; nested clips; popping one keeps the transform, one too many is ignored.
  c.clear();
  const PointF tri[] = {{-5, -5}, {5, 0}, {-5, 5}};
  c.setTransform(Matrix::translation(50, 80));
  c.fillPolygon(tri, kWhite);
  c.resetTransform();
  c.pushClip(RectF{10, 10, 30, 30});
  c.pushClip(RectF{20, 0, 100, 100});
  c.fillRect(RectF{0, 0, 100, 50}, kWhite);
  c.popClip();
  c.setTransform(Matrix::translation(50, 0));
  c.popClip();
  c.popClip();
  c.fillRect(RectF{0, 0, 10, 5}, kWhite);
  EXPECT_EQ(alphas(c, {{48, 80}, {25, 25}, {15, 25}, {35, 25}, {55, 2}, {5, 2}}), (A{255, 255, 0, 0, 255, 0}));
  auto fill = [](Bitmap& b, int size, auto colourAt) {
    ASSERT_TRUE(b.create(size, size));
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) reinterpret_cast<uint32_t*>(b.pixels() + y * b.stride())[x] = colourAt(x, y);
    b.commit();
  };
  Bitmap red, checker;
  c.clear();
  fill(red, 4, [](int, int) { return 0xFFFF0000u; });
  c.drawBitmap(red, RectF{10, 10, 50, 50}, 0.5f);
  EXPECT_NEAR(static_cast<int>(c.pixel(30, 30) >> 24), 128, 1);
  EXPECT_EQ((c.pixel(30, 30) >> 16) & 0xFF, c.pixel(30, 30) >> 24);
  EXPECT_EQ(c.pixel(55, 30), 0u);
  // A one-pixel checkerboard shrunk ten times averages to grey instead of aliasing.
  fill(checker, 1000, [](int x, int y) { return ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u; });
  c.drawBitmap(checker, RectF{0, 0, 100, 100}, 1.0f);
  for (int x = 10; x < 90; x += 13) EXPECT_NEAR(static_cast<int>(c.pixel(x, 50) & 0xFF), 128, 24) << x;
  // Blitted on device pixels whatever the scale, repeated down past its height, clipped.
  Bitmap stripe;
  ASSERT_TRUE(stripe.create(2, 1));
  const uint32_t stripePixels[] = {0xFFFF0000u, 0x80000080u};
  std::memcpy(stripe.pixels(), stripePixels, sizeof stripePixels);
  stripe.commit();
  c.clear();
  c.setScale(2);
  c.pushClip(RectF{0, 0, 5, 50});  // pixels 0 to 9
  c.blitBitmap(stripe, RectI{8, 20, 2, 6});
  c.blitBitmap(stripe, RectI{9, 30, 2, 1});
  c.popClip();
  c.setScale(1);
  EXPECT_EQ((std::vector<uint32_t>{c.pixel(8, 20), c.pixel(9, 20), c.pixel(8, 25), c.pixel(8, 26), c.pixel(9, 30),
                                   c.pixel(10, 30)}),
            (std::vector<uint32_t>{0xFFFF0000u, 0x80000080u, 0xFFFF0000u, 0, 0xFFFF0000u, 0}));
  // The dirty rectangles hold everything drawn until the clear.
  ASSERT_TRUE(c.resize(640, 480));
  c.clear();
  c.fillRect(RectF{100, 100, 110, 110}, kWhite);
  ASSERT_EQ(c.dirtyRects().size(), 1u);
  EXPECT_LE(c.dirtyRects()[0].w * c.dirtyRects()[0].h, 20 * 48);
  c.drawText("자막", format(20), RectF{300, 400, 600, 440}, kWhite);
  auto rects = c.dirtyRects();
  ASSERT_EQ(rects.size(), 2u);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      bool inside = !(c.pixel(x, y) >> 24);
      for (const RectI& r : rects) inside |= x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
      ASSERT_TRUE(inside) << x << "," << y;
    }
  c.setTransform(Matrix::translation(1000, 0));  // clear also resets the transform
  c.clear();
  EXPECT_FALSE(c.hasDrawing());
  c.fillRect(RectF{0, 0, 4, 4}, Color::rgb(0xFFFFFF, 0));  // invisible: nothing drawn
  c.fillRect(RectF{0, 0, 4, 4}, kWhite);
  EXPECT_EQ(alphas(c, {{105, 105}, {1, 1}}), (A{0, 255}));
  EXPECT_FALSE(c.writePng("/nonexistent-dir/x.png"));

  // Straight colours from premultiplied ones, rounded, each channel in its place; a channel
  // above its alpha (not premultiplied) saturates.
  const std::vector<uint32_t> premultiplied{0, 0xFF123456u, 0x80402010u, 0x01010000u, 0x40FF8000u, 0xC0604020u};
  std::vector<uint32_t> straight(premultiplied.size());
  unpremultiplyRow(premultiplied.data(), straight.data(), static_cast<int>(straight.size()));
  EXPECT_EQ(straight, (std::vector<uint32_t>{0, 0xFF123456u, 0x80804020u, 0x01FF0000u, 0x40FFFF00u, 0xC080552Bu}));
}

TEST(Canvas, TextPlacementWrappingAndGlyphs) {
  Canvas c;
  ASSERT_TRUE(c.resize(400, 200));
  auto drawIn = [&](const TextFormat& f, std::string_view text) {
    c.clear();
    c.drawText(text, f, RectF{100, 50, 300, 150}, kWhite);
    return inkOf(c);
  };
  const char* name = "Vell 플레이어";
  EXPECT_NEAR(drawIn(format(16), name).left, 100, 3);
  // The same text again in another alignment is laid out again, not taken from the cache.
  Ink trail = drawIn(format(16, TextAlign::Trailing, ParagraphAlign::Bottom), name);
  EXPECT_NEAR(trail.right, 299, 3);
  EXPECT_NEAR(trail.bottom, 146, 5);
  const char* longText = "재생목록 스트림 팟캐스트 라디오 재생목록 스트림 팟캐스트 라디오";
  const TextFormat oneLine = format(16, TextAlign::Leading, ParagraphAlign::Top, false);
  Ink wrapped = drawIn(format(16), longText);
  EXPECT_LE(wrapped.right, 300);
  EXPECT_GT(wrapped.bottom - wrapped.top, 30);
  EXPECT_GT(drawIn(oneLine, longText).right, 320);  // no clipping
  EXPECT_LE(drawIn(oneLine.withEllipsis(true), longText).right, 300);
  // Invalid UTF-8 still draws (replacement characters) instead of failing; a NUL is dropped.
  EXPECT_GT(drawIn(oneLine, "ab\xFF\xFE" "c").count, 10);
  EXPECT_NEAR(drawIn(oneLine, std::string("ab\0cd", 5)).right, drawIn(oneLine, "abcd").right, 1);
}

TEST(PageBuffer, ZeroedOnEveryAllocationAndMovedWhole) {
  PageBuffer a;
  EXPECT_TRUE(a.allocate(0));
  EXPECT_EQ(a.data(), nullptr);
  for (size_t bytes : {size_t{1}, size_t{4096}, size_t{1280 * 720 * 4 + 3}}) {
    ASSERT_TRUE(a.allocate(bytes)) << bytes;
    ASSERT_EQ(a.size(), bytes);
    EXPECT_TRUE(std::all_of(a.data(), a.data() + bytes, [](uint8_t b) { return b == 0; })) << bytes;
    a.data()[bytes - 1] = 7;  // writable to the last byte; the next allocation is zeroed again
  }
  PageBuffer b = std::move(a);
  EXPECT_EQ(a.data(), nullptr);
  EXPECT_EQ(a.size(), 0u);
  ASSERT_NE(b.data(), nullptr);
  EXPECT_EQ(b.data()[b.size() - 1], 7);
  b.release();
  EXPECT_EQ(b.size(), 0u);
}

// A field with a clipboard of its own, driven by key codes the way the window delivers them.
struct Field {
  TextField f;
  std::string clipboard;
  Field() {
    f.readClipboard = [this] { return clipboard; };
    f.writeClipboard = [this](const std::string& t) { clipboard = t; };
  }
  // < > left/right, { } Ctrl+left/right, ( ) Shift+left/right, H E home/end, [ ] Shift+Home/End,
  // B backspace, b Ctrl+Backspace, D delete, a c x v Ctrl+A/C/X/V.
  void keys(std::string_view script) {
    static const std::string_view names = "<>{}()HE[]BbDacxv", ctrl = "{}bacxv", shift = "()[]";
    static const int codes[] = {vk::Left, vk::Right, vk::Left, vk::Right, vk::Left, vk::Right, vk::Home, vk::End, vk::Home,
                                vk::End,  vk::Back,  vk::Back, vk::Delete, 'A',     'C',       'X',      'V'};
    for (char k : script) f.onKey(codes[names.find(k)], ctrl.find(k) != ctrl.npos, shift.find(k) != shift.npos);
  }
  size_t points(size_t offset) const { return utf8Length(std::string_view(f.edit.text()).substr(0, offset)); }
};

TEST(TextField, EditsByCodePointWithinTheLimitComposesAndDraws) {
  // Start, keys, text typed after them, text, caret in code points, clipboard.
  const std::tuple<const char*, const char*, const char*, const char*, size_t, const char*> rows[] = {
      {"가나 다라", "B", "", "가나 다", 4, ""},
      {"가나 다라", "<<D", "", "가나 라", 3, ""},
      {"가나 다라", "HD", "", "나 다라", 0, ""},
      {"가나 다라", "HB", "", "가나 다라", 0, ""},  // nothing before the start
      {"가나 다라", "ED", "", "가나 다라", 5, ""},  // nothing after the end
      {"가나 다라", "H>>>", "X", "가나 X다라", 4, ""},
      {"가나 다라", "H}", "", "가나 다라", 3, ""},  // to the start of the next word
      {"가나 다라", "b", "", "가나 ", 3, ""},
      {"http://a b", "((", "한", "http://a한", 9, ""},  // a typed text replaces the selection
      {"가나다", "H))x", "", "다", 0, "가나"},             // cut
      {"가나다", "ac", "", "가나다", 3, "가나다"},          // copy keeps the text
      {"가나다", "[v", "", "ab ", 3, "ab\r\n"},            // a line break pastes as a space
      {"가나다", "H)<", "", "가나다", 0, ""},               // Left ends a selection at its start
  };
  for (const auto& [start, keys, typed, text, caret, clipboard] : rows) {
    SCOPED_TRACE(std::string(start) + " / " + keys);
    Field t;
    if (std::string_view(keys).find('v') != std::string_view::npos) t.clipboard = clipboard;
    t.f.edit.setText(start);
    t.keys(keys);
    if (*typed) t.f.onTextInput(typed);
    EXPECT_EQ(t.f.edit.text(), text);
    EXPECT_EQ(t.points(t.f.edit.caret()), caret);
    EXPECT_EQ(t.clipboard, clipboard);
  }
  // The limit holds for pasted and typed text.
  Field t;
  for (int i = 0; i < 3000; ++i) t.clipboard += "가";
  t.keys("v");
  EXPECT_EQ(utf8Length(t.f.edit.text()), TextEdit::kMaxCodePoints);
  t.keys("BB");
  t.f.onTextInput("abc");  // room for two
  EXPECT_EQ(utf8Length(t.f.edit.text()), TextEdit::kMaxCodePoints);
  EXPECT_EQ(t.f.edit.text().substr(t.f.edit.text().size() - 2), "ab");
  TextEdit e;
  e.setText("play http://host/a.mp3 now");
  e.selectWordAt(9);  // inside the address
  EXPECT_EQ(e.selectedText(), "http://host/a.mp3");
  e.setText("a\xFF" "b");  // a stray byte shows as U+FFFD
  EXPECT_EQ(e.text(), "a\xEF\xBF\xBD" "b");
  // Only the committed text goes in; editing keys belong to the input method while it composes.
  t.f.edit.setText("가");
  for (const char* step : {"ㅎ", "하", "한"}) {
    t.f.onTextEditing(step);
    EXPECT_EQ(t.f.edit.composition(), step);
    EXPECT_EQ(t.f.onKey(vk::Back, false, false), FieldKey::Handled);
  }
  t.f.onTextInput("한");
  t.f.onTextEditing("");
  EXPECT_EQ(t.f.edit.text(), "가한");
  EXPECT_EQ(t.f.onKey(vk::Return, false, false), FieldKey::Submit);
  EXPECT_EQ(t.f.onKey(vk::Escape, false, false), FieldKey::Cancel);
  // Drawn, the field keeps the caret in its box and maps the pointer to characters.
  Canvas c;
  ASSERT_TRUE(c.resize(300, 60));
  TextFormat font = TextFormat::create("NanumGothic, sans-serif", 400, 14, TextAlign::Leading, ParagraphAlign::Center, false);
  t.clipboard.clear();
  for (int i = 0; i < 80; ++i) t.clipboard += "가";
  t.keys("av");  // far wider than the box, caret at the end
  const RectF box{10, 10, 210, 40};
  auto draw = [&] { return t.f.draw(c, box, font, Color::rgb(0xFFFFFF), Color::rgb(0x6366F1), 0, true).left; };
  const float caret = draw();
  EXPECT_TRUE(caret >= box.left && caret <= box.right) << caret;
  t.keys("H");
  EXPECT_NEAR(draw(), box.left, 1);
  t.f.onMouseDown(box.left + 20, 1, false);  // a drag from just inside: after the first character or two
  t.f.onMouseDrag(box.left + 60);
  t.f.onMouseUp();
  const size_t start = t.points(t.f.edit.selectionStart());
  EXPECT_TRUE(start >= 1 && start <= 2) << start;
  EXPECT_GT(t.points(t.f.edit.selectionEnd()), start + 1);
}

}  // namespace
}  // namespace vell

// fontconfig never frees parts of its configuration: not our leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
