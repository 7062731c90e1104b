#include "platform/Canvas.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vell {
namespace {

const char* kFamilies = "Segoe UI, NanumGothic, NanumBarunGothic, Noto Sans CJK KR, sans-serif";

uint32_t alphaAt(const Canvas& c, int x, int y) { return c.pixel(x, y) >> 24; }

// Bounding box of the pixels with any alpha.
struct Ink {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  int count = 0;
};
Ink inkOf(const Canvas& c) {
  Ink ink;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x)
      if (alphaAt(c, x, y) > 40) {
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y);
        ink.bottom = std::max(ink.bottom, y);
        ++ink.count;
      }
  return ink;
}

TEST(Canvas, ShapesArePremultiplied) {
  Canvas c;
  ASSERT_TRUE(c.resize(100, 60));
  c.fillRect(RectF{10, 10, 20, 20}, Color::rgb(0x6366F1));
  EXPECT_EQ(c.pixel(15, 15), 0xFF6366F1u);
  EXPECT_EQ(c.pixel(9, 15), 0u);
  EXPECT_EQ(c.pixel(20, 15), 0u);
  c.fillRect(RectF{30, 10, 40, 20}, Color::rgb(0xFFFFFF, 0.5f));
  uint32_t p = c.pixel(35, 15);
  EXPECT_NEAR(static_cast<int>(p >> 24), 128, 1);
  EXPECT_EQ(p & 0xFF, p >> 24);  // colour scaled by alpha

  // Rounded corners stay clear; the middle is filled.
  c.fillRoundedRect(RectF{50, 10, 90, 50}, 10, Color::rgb(0xFF0000));
  EXPECT_EQ(alphaAt(c, 50, 10), 0u);
  EXPECT_EQ(alphaAt(c, 70, 30), 255u);
  EXPECT_EQ(alphaAt(c, 70, 10), 255u);

  c.fillEllipse(PointF{20, 45}, 8, 8, Color::rgb(0x00FF00));
  EXPECT_EQ(c.pixel(20, 45), 0xFF00FF00u);
  EXPECT_EQ(alphaAt(c, 13, 38), 0u);

  // A 2-wide vertical line on x = 5 covers columns 4 and 5.
  c.drawLine(PointF{5, 30}, PointF{5, 40}, Color::rgb(0xFFFFFF), 2);
  EXPECT_EQ(alphaAt(c, 4, 35), 255u);
  EXPECT_EQ(alphaAt(c, 5, 35), 255u);
  EXPECT_EQ(alphaAt(c, 6, 35), 0u);

  // Invisible or degenerate shapes draw nothing.
  Canvas d;
  ASSERT_TRUE(d.resize(20, 20));
  d.fillRect(RectF{0, 0, 20, 20}, Color::rgb(0xFFFFFF, 0));
  d.fillEllipse(PointF{10, 10}, 0, 5, Color::rgb(0xFFFFFF));
  d.fillRect(RectF{10, 10, 5, 5}, Color::rgb(0xFFFFFF));
  EXPECT_FALSE(d.hasDrawing());
  EXPECT_EQ(d.pixel(10, 10), 0u);
}

TEST(Canvas, TransformsAndClips) {
  Canvas c;
  ASSERT_TRUE(c.resize(100, 100));
  const PointF tri[] = {{-5, -5}, {5, 0}, {-5, 5}};
  c.setTransform(Matrix::translation(50, 50));
  c.fillPolygon(tri, Color::rgb(0xFFFFFF));
  c.resetTransform();
  EXPECT_EQ(alphaAt(c, 48, 50), 255u);
  EXPECT_EQ(alphaAt(c, 2, 0), 0u);

  PointF p = Matrix::rotation(90).apply(PointF{1, 0});  // clockwise on screen: right -> down
  EXPECT_NEAR(p.x, 0, 1e-6);
  EXPECT_NEAR(p.y, 1, 1e-6);
  p = Matrix::rotation(90, 10, 10).apply(PointF{20, 10});
  EXPECT_NEAR(p.x, 10, 1e-5);
  EXPECT_NEAR(p.y, 20, 1e-5);
  p = (Matrix::translation(5, 0) * Matrix::scale(2, 2)).apply(PointF{1, 1});  // translate, then scale
  EXPECT_NEAR(p.x, 12, 1e-6);
  EXPECT_NEAR(p.y, 2, 1e-6);

  // A clip limits drawing; popping it keeps a transform set meanwhile.
  Canvas d;
  ASSERT_TRUE(d.resize(100, 100));
  d.pushClip(RectF{10, 10, 30, 30});
  d.setTransform(Matrix::translation(50, 0));
  d.popClip();
  d.fillRect(RectF{0, 0, 10, 10}, Color::rgb(0xFFFFFF));
  EXPECT_EQ(alphaAt(d, 55, 5), 255u);
  EXPECT_EQ(alphaAt(d, 5, 5), 0u);
  d.resetTransform();
  d.pushClip(RectF{10, 10, 30, 30});
  d.pushClip(RectF{20, 0, 100, 100});
  d.fillRect(RectF{0, 0, 100, 100}, Color::rgb(0xFFFFFF));
  d.popClip();
  d.popClip();
  d.popClip();  // one too many: ignored
  EXPECT_EQ(alphaAt(d, 25, 25), 255u);
  EXPECT_EQ(alphaAt(d, 15, 25), 0u);
  EXPECT_EQ(alphaAt(d, 35, 25), 0u);
}

TEST(Canvas, TracksAndClearsWhatWasDrawn) {
  Canvas c;
  ASSERT_TRUE(c.resize(640, 480));
  EXPECT_TRUE(c.dirtyRects().empty());
  c.fillRect(RectF{100, 100, 110, 110}, Color::rgb(0xFFFFFF));
  auto rects = c.dirtyRects();
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_LE(rects[0].x, 100);
  EXPECT_GE(rects[0].x + rects[0].w, 110);
  EXPECT_LE(rects[0].y, 100);
  EXPECT_GE(rects[0].y + rects[0].h, 110);
  EXPECT_LE(rects[0].w * rects[0].h, 20 * 48);

  c.drawText("자막", TextFormat::create(kFamilies, 400, 20, TextAlign::Leading, ParagraphAlign::Top, false),
             RectF{300, 400, 600, 440}, Color::rgb(0xFFFFFF));
  rects = c.dirtyRects();
  ASSERT_EQ(rects.size(), 2u);
  // Every drawn pixel lies inside a reported rectangle.
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      if (!alphaAt(c, x, y)) continue;
      bool inside = false;
      for (const RectI& r : rects) inside |= x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
      ASSERT_TRUE(inside) << x << "," << y;
    }

  c.setTransform(Matrix::translation(1000, 0));  // clear also resets the transform
  c.clear();
  EXPECT_TRUE(c.dirtyRects().empty());
  EXPECT_EQ(c.pixel(105, 105), 0u);
  c.fillRect(RectF{0, 0, 4, 4}, Color::rgb(0xFFFFFF));
  EXPECT_EQ(alphaAt(c, 1, 1), 255u);

  Canvas empty;
  EXPECT_FALSE(empty.resize(0, 10));
  EXPECT_FALSE(empty.valid());
  empty.fillRect(RectF{0, 0, 4, 4}, Color::rgb(0xFFFFFF));  // ignored
  EXPECT_TRUE(empty.dirtyRects().empty());
}

TEST(Canvas, BitmapsWithOpacityAndShrinking) {
  Bitmap red;
  ASSERT_TRUE(red.create(4, 4));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) reinterpret_cast<uint32_t*>(red.pixels() + y * red.stride())[x] = 0xFFFF0000u;
  red.commit();
  Canvas c;
  ASSERT_TRUE(c.resize(200, 100));
  c.drawBitmap(red, RectF{10, 10, 50, 50}, 0.5f);
  uint32_t p = c.pixel(30, 30);
  EXPECT_NEAR(static_cast<int>(p >> 24), 128, 1);
  EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 128, 1);
  EXPECT_EQ(alphaAt(c, 55, 30), 0u);

  // A one-pixel checkerboard shrunk ten times averages to grey instead of aliasing.
  Bitmap checker;
  ASSERT_TRUE(checker.create(1000, 1000));
  for (int y = 0; y < 1000; ++y)
    for (int x = 0; x < 1000; ++x)
      reinterpret_cast<uint32_t*>(checker.pixels() + y * checker.stride())[x] = ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
  checker.commit();
  c.drawBitmap(checker, RectF{100, 0, 200, 100}, 1.0f);
  for (int x = 110; x < 190; x += 13) EXPECT_NEAR(static_cast<int>(c.pixel(x, 50) & 0xFF), 128, 24) << x;

  Bitmap none;
  EXPECT_FALSE(none.create(0, 5));
  EXPECT_FALSE(none.create(20000, 5));
  EXPECT_FALSE(none.valid());
  c.drawBitmap(none, RectF{0, 0, 10, 10}, 1.0f);  // ignored
}

TEST(Canvas, TextAlignmentWrappingAndEllipsis) {
  Canvas c;
  ASSERT_TRUE(c.resize(400, 200));
  const RectF box{100, 50, 300, 150};
  auto drawIn = [&](TextAlign a, ParagraphAlign p, bool wrap, const char* text) {
    c.clear();
    c.drawText(text, TextFormat::create(kFamilies, 400, 16, a, p, wrap), box, Color::rgb(0xFFFFFF));
    return inkOf(c);
  };
  Ink lead = drawIn(TextAlign::Leading, ParagraphAlign::Top, true, "Vell 플레이어");
  EXPECT_NEAR(lead.left, 100, 3);
  EXPECT_NEAR(lead.top, 52, 5);
  Ink trail = drawIn(TextAlign::Trailing, ParagraphAlign::Bottom, true, "Vell 플레이어");
  EXPECT_NEAR(trail.right, 299, 3);
  EXPECT_NEAR(trail.bottom, 146, 5);
  Ink mid = drawIn(TextAlign::Center, ParagraphAlign::Center, false, "Vell 플레이어");
  EXPECT_NEAR((mid.left + mid.right) / 2.0, 200, 3);
  EXPECT_NEAR((mid.top + mid.bottom) / 2.0, 100, 4);

  const char* longText = "재생목록 스트림 팟캐스트 라디오 재생목록 스트림 팟캐스트 라디오";
  Ink wrapped = drawIn(TextAlign::Leading, ParagraphAlign::Top, true, longText);
  EXPECT_LE(wrapped.right, 300);
  EXPECT_GT(wrapped.bottom - wrapped.top, 30);  // several lines
  Ink oneLine = drawIn(TextAlign::Leading, ParagraphAlign::Top, false, longText);
  EXPECT_GT(oneLine.right, 320);  // overflows the box, no clipping
  EXPECT_LT(oneLine.bottom - oneLine.top, 22);
  c.clear();
  c.drawText(longText,
             TextFormat::create(kFamilies, 400, 16, TextAlign::Leading, ParagraphAlign::Top, false).withEllipsis(true),
             box, Color::rgb(0xFFFFFF));
  EXPECT_LE(inkOf(c).right, 300);

  // The same text again in another size or alignment is laid out again.
  Ink small = drawIn(TextAlign::Leading, ParagraphAlign::Top, true, "가");
  c.clear();
  c.drawText("가", TextFormat::create(kFamilies, 400, 40, TextAlign::Leading, ParagraphAlign::Top, true), box,
             Color::rgb(0xFFFFFF));
  EXPECT_GT(inkOf(c).bottom - inkOf(c).top, 2 * (small.bottom - small.top));
  Ink right = drawIn(TextAlign::Trailing, ParagraphAlign::Top, true, "가");
  EXPECT_GT(right.left, small.left + 100);

  // Invalid UTF-8 still draws (with replacement characters) instead of failing.
  c.clear();
  c.drawText(std::string("ab\xFF\xFE" "c\0d", 7), TextFormat::create(kFamilies, 400, 16, TextAlign::Leading,
                                                                ParagraphAlign::Top, false),
             box, Color::rgb(0xFFFFFF));
  EXPECT_GT(inkOf(c).count, 10);
}

TEST(Canvas, HangulHasRealGlyphs) {
  Canvas c;
  ASSERT_TRUE(c.resize(10, 10));
  for (int weight : {300, 400, 500, 600, 700}) {
    TextFormat f = TextFormat::create(kFamilies, weight, 12, TextAlign::Leading, ParagraphAlign::Top, true);
    EXPECT_EQ(c.unknownGlyphCount("재생목록 파일 열기 연결 실패 이어듣기 팟캐스트 ▶ ◀ · —", f), 0) << weight;
  }
  TextFormat f = TextFormat::create(kFamilies, 400, 12, TextAlign::Leading, ParagraphAlign::Top, true);
  EXPECT_GE(c.unknownGlyphCount("\xF4\x8F\xBF\xBF", f), 1);  // U+10FFFF has no glyph anywhere

  PointF shortText = c.measureText("가나", f), longer = c.measureText("가나다라마", f);
  EXPECT_GT(longer.x, shortText.x * 2);
  auto layout = c.createTextLayout("가나다라마", f.withAlign(TextAlign::Leading), 10000, 36);
  ASSERT_TRUE(layout);
  EXPECT_NEAR(layout->width(), longer.x, 0.01);
}

TEST(Canvas, UnpremultipliesForStraightAlphaBlending) {
  const uint32_t in[] = {0x80404040u, 0x00000000u, 0xFF123456u, 0x40102030u};
  uint32_t out[4];
  unpremultiplyRow(in, out, 4);
  EXPECT_EQ(out[0], 0x80808080u);
  EXPECT_EQ(out[1], 0u);
  EXPECT_EQ(out[2], 0xFF123456u);
  EXPECT_EQ(out[3], 0x404080BFu);
}

}  // namespace
}  // namespace vell

// fontconfig keeps its configuration until the process ends and never frees parts of it;
// those are not our leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
