// Tests of the presenter: placement, texture reuse, partial redraws, blending, cover art.
#include <gtest/gtest.h>

#include <cmath>

extern "C" {
#include <libavutil/log.h>
}

#include "Scenes.h"
#include "support/Media.h"

namespace vell::test {
namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// One scene drawn by `paint` between begin and end, then read back into the screen's pixels.
template <typename Paint>
void shoot(Screen& s, Paint paint) {
  s.renderer.beginScene();
  paint(s.renderer);
  s.renderer.endScene();
  ASSERT_TRUE(s.renderer.readPixels(s.pixels, s.width, s.height));
}

void drawFrame(Screen& s, const TestFrame& f, int aspect, int rotation = 0, bool flipH = false, bool flipV = false) {
  shoot(s, [&](Renderer& r) { r.drawVideo(f.frame, 0, 0, s.width, s.height, aspect, rotation, flipH, flipV); });
}

TEST(Renderer, NeedsAWindowAndIgnoresEmptySizes) {
  Window none, window;  // the first is never created
  Renderer r;
  EXPECT_FALSE(r.initialize(none));
  r.beginScene();  // harmless without a device
  r.endScene();
  r.present();
  ASSERT_TRUE(window.create("t", 320, 200, WindowOptions{.hidden = true}));
  EXPECT_FALSE(r.initialize(window, "no-such-driver"));
  ASSERT_TRUE(r.initialize(window, "software"));
  r.resize(320, 0);
  r.resize(0, 200);
  EXPECT_EQ(std::make_tuple(r.width(), r.height()), std::make_tuple(320, 200));
  r.resize(400, 300);
  EXPECT_EQ(r.canvas().height(), 300);
}

TEST(Renderer, PictureIsLetterboxedByAspectModeTurnedAndMirrored) {
  Screen s;
  ASSERT_TRUE(s.open(1000, 1000));
  TestFrame wide(1920, 1080, kRed), tv(640, 480, kRed);
  const int cases[][4] = {  // aspect mode, first and last picture row, of the wide (0) or 4:3 (1) frame
      {kAspectSource, 219, 780, 0}, {kAspect4x3, 125, 874, 0}, {kAspect16x9, 219, 780, 1}, {kAspectFill, 0, 999, 1}};
  for (const auto& c : cases) {
    drawFrame(s, c[3] ? tv : wide, c[0]);
    for (int y : {c[1] - 2, c[2] + 2}) EXPECT_TRUE(y < 0 || y > 999 || s.at(500, y) == kBackground) << c[0] << " " << y;
    for (int y : {c[1], c[2]}) EXPECT_EQ(s.at(500, y), kRed) << c[0] << " " << y;
    EXPECT_EQ(s.at(0, 500), kRed) << c[0];
  }
  EXPECT_FALSE(computeVideoPlacement(0, 1080, RectF{0, 0, 10, 10}, 0, 0, false, false).visible);
  // Turned clockwise, 562.5 wide (x 218.75..781.25): the top-left block (about 104 pixels) goes top right.
  TestFrame marked(1920, 1080, kBlue, kGreen, 200);
  drawFrame(s, marked, kAspectSource, 90);
  EXPECT_EQ(s.at(210, 500), kBackground);
  EXPECT_EQ(s.at(770, 40), kGreen);
  EXPECT_EQ(s.at(230, 40), kBlue);
  drawFrame(s, marked, kAspectSource, -90);  // the same as 270
  EXPECT_EQ(s.at(230, 960), kGreen);
  // Mirrored first and turned after: a horizontal flip and a quarter turn take the corner bottom right.
  TestFrame square(400, 400, kBlue, kGreen, 100);
  const int flips[][5] = {{0, 0, 0, 50, 50},     {0, 1, 0, 950, 50},    {0, 0, 1, 50, 950}, {0, 1, 1, 950, 950},
                          {180, 0, 0, 950, 950}, {90, 1, 0, 950, 950}, {90, 0, 1, 50, 50}};  // turn, h, v, corner
  for (const auto& c : flips) {
    drawFrame(s, square, kAspectSource, c[0], c[1], c[2]);
    int greens = 0;
    for (int x : {50, 950})
      for (int y : {50, 950}) greens += s.at(x, y) == kGreen;
    EXPECT_TRUE(s.at(c[3], c[4]) == kGreen && greens == 1) << c[0] << c[1] << c[2];
  }
}

TEST(Renderer, ReusesTheVideoTextureWhileTheSizeStays) {
  Screen s;
  ASSERT_TRUE(s.open(200, 200));
  GraphicsDevice& dev = s.renderer.device();
  TestFrame a(320, 240, kRed), b(640, 360, kBlue);
  for (const TestFrame* f : {&a, &a, &a, &b, &b, &b}) EXPECT_TRUE(s.renderer.uploadFrame(f->frame));
  EXPECT_EQ(dev.videoTextureCreations(), 2);
  EXPECT_FALSE(s.renderer.uploadFrame(VideoFrame{}));
  // An unchanged frame drawn again is not copied, unless the texture does not hold it.
  auto draw = [&](const TestFrame& f, bool changed) {
    s.renderer.drawVideo(f.frame, 0, 0, 200, 200, 0, 0, false, false, changed);
  };
  draw(b, false);
  EXPECT_EQ(dev.videoUploads(), 6);
  draw(a, false);  // another size
  EXPECT_EQ(dev.videoUploads(), 7);
  dev.dropTextures();
  draw(a, false);
  draw(a, true);
  EXPECT_EQ(dev.videoUploads(), 9);
}

TEST(Renderer, RedrawingOnlyWhatChangedLeavesWhatAWholeRedrawWould) {
  Screen s;
  ASSERT_TRUE(s.open(200, 100));
  TestFrame red(64, 48, kRed), blue(64, 48, kBlue);
  // A box < 0 keeps the canvas as it was drawn last (a new picture under the same overlay).
  auto compose = [&](const TestFrame& f, float boxLeft, bool changed) {
    if (boxLeft >= 0) {
      s.renderer.canvas().clear();
      s.renderer.canvas().fillRect(RectF{boxLeft, 10, boxLeft + 20, 30}, Color::rgb(0xFFFFFF, 0.5f));
    }
    VideoDraw v{&f.frame, 0, 40, 200, 100};
    v.frameChanged = changed;
    return s.renderer.composeScene(&v);
  };
  const struct {
    const TestFrame* frame;
    float box;
    bool changed, drawn;
  } steps[] = {{&red, 10, true, true},  {&red, 10, false, false}, {&red, 40, false, true},
               {&blue, -1, true, true}, {&red, -1, true, true},   {&red, 70, false, true}};
  std::vector<uint32_t> partial, whole;
  for (const auto& step : steps) {
    bool drawn = compose(*step.frame, step.box, step.changed);
    // A device that does not keep its last frame (flip-model swap chains) draws every frame.
    EXPECT_EQ(drawn, step.drawn || !s.renderer.device().keepsPresentedPixels()) << step.box;
    ASSERT_TRUE(s.renderer.readPixels(partial, s.width, s.height));
    s.renderer.invalidate();
    compose(*step.frame, -1, false);
    ASSERT_TRUE(s.renderer.readPixels(whole, s.width, s.height));
    EXPECT_TRUE(partial == whole) << step.box;
  }
}

TEST(Renderer, BlendsThePremultipliedOverlayOnlyWhereDrawnWhateverTheDriver) {
  // "" is the default choice: here a CPU GL driver, given up for the software renderer.
  for (const char* driver : {"software", "opengl", ""}) {
#if defined(__SANITIZE_ADDRESS__)
    // The GL driver is unloaded when the window goes; its leftovers would be reported as leaks.
    if (std::string(driver) != "software") continue;
#endif
    SCOPED_TRACE(driver);
    Screen s;
    if (!s.open(200, 100, driver)) continue;  // no GL renderer here
    shoot(s, [](Renderer& r) { r.canvas().fillRect(RectF{0, 0, 100, 100}, Color::rgb(0xFFFFFF, 0.5f)); });
    // Half white over 121216: (255 + 18) / 2, not darkened by a second alpha multiply.
    EXPECT_TRUE(near(s.at(50, 50), 0x88888A, 3)) << std::hex << s.at(50, 50);
    EXPECT_EQ(s.at(150, 50), kBackground);
    EXPECT_LE(s.renderer.device().overlayPixelsUploaded(), 110 * 100);  // only the drawn part
    shoot(s, [](Renderer&) {});
    EXPECT_EQ(s.renderer.device().overlayPixelsUploaded(), 0);
    EXPECT_EQ(s.at(50, 50), kBackground);  // last frame's overlay is gone
  }
}

bool decode(const std::string& bytes, Bitmap& out, std::string_view mime = {}) {
  return decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, mime);
}

TEST(DecodeImage, DecodesCoverArtPremultipliedRefusesTheRestAndSurvivesDamage) {
  Bitmap b;
  ASSERT_TRUE(decode(mediaBytes(makeMedia("-f lavfi -i color=c=red:size=64x48 -frames:v 1", "jpg")), b));
  EXPECT_EQ(std::make_tuple(b.width(), b.height()), std::make_tuple(64, 48));
  EXPECT_TRUE(near(b.pixel(30, 20), 0xFF0000, 25)) << std::hex << b.pixel(30, 20);
  EXPECT_EQ(b.pixel(30, 20) >> 24, 255u);
  ASSERT_TRUE(decode(mediaBytes(makeMedia("-f lavfi -i color=c=white@0.5:size=8x8,format=rgba -frames:v 1", "png")), b,
                     "image/png"));
  EXPECT_NEAR(static_cast<int>(b.pixel(3, 3) >> 24), 128, 2);
  EXPECT_NEAR(static_cast<int>(b.pixel(3, 3) & 0xFF), 128, 2);
  EXPECT_FALSE(decodeImage(nullptr, 10, b));
  const std::string jpeg = mediaBytes(makeMedia("-f lavfi -i color=c=red:size=64x48 -frames:v 1", "jpg"));
  // A PNG header that claims 100000 x 100000 pixels is refused before anything is allocated.
  const std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\x01\x86\xA0\0\x01\x86\xA0\x08\x06\0\0\0\0\0\0\0"
                        "\0\0\0\0IEND\xAE\x42\x60\x82", 45);
  // A real one of 16000 x 16000 (cover art of an mp3 can be that) costs gigabytes decoded.
  const std::string huge =
      mediaBytes(makeMedia("-f lavfi -i color=c=black:s=16000x16000,format=monob -frames:v 1 -c:v png", "png"));
  for (const std::string& bytes :
       {std::string(), std::string("not an image at all, just text"), jpeg.substr(0, 40), png, huge}) {
    EXPECT_FALSE(decode(bytes, b)) << bytes.size();
    EXPECT_FALSE(b.valid());
  }
  const int oldLevel = av_log_get_level();
  av_log_set_level(AV_LOG_QUIET);
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  int decoded = 0;
  for (const char* ext : {"jpg", "png", "gif"}) {
    const std::string src = mediaBytes(makeMedia("-f lavfi -i testsrc=size=48x32:rate=1 -frames:v 1", ext));
    ASSERT_GT(src.size(), 20u);
    for (int round = 0; round < 150; ++round) {
      std::string bytes = src;
      for (int i = 1 + next() % 8; i > 0; --i) bytes[8 + next() % (bytes.size() - 8)] = static_cast<char>(next());
      if (round % 5 == 0) bytes.resize(8 + next() % (bytes.size() - 8));
      bool ok = decode(bytes, b);
      decoded += ok;
      EXPECT_EQ(b.valid(), ok);
      EXPECT_LE(b.width(), 16384);
    }
  }
  av_log_set_level(oldLevel);
  EXPECT_GT(decoded, 0);
}

TEST(UiResources, SubtitleSizeIsClamped) {
  UiResources r;
  r.build(22);
  for (auto [asked, size] : {std::pair{30.0f, 30.0f}, {100.0f, 48.0f}, {2.0f, 16.0f}, {NAN, 22.0f}}) {
    r.setSubtitleSize(asked);
    EXPECT_EQ(r.subtitle.size(), size) << asked;
  }
}

}  // namespace
}  // namespace vell::test
