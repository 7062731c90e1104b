#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

#include "Scenes.h"
#include "platform/Files.h"
#include "support/Media.h"
#include "support/TempDir.h"

namespace vell::test {
namespace {

constexpr uint32_t kBackground = 0x121216;
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// One scene drawn by `paint` between begin and end, then read back into the screen's pixels.
template <typename Paint>
void shoot(Screen& s, Paint paint) {
  s.renderer.beginScene();
  paint(s.renderer);
  s.renderer.endScene();
  int w, h;
  ASSERT_TRUE(s.renderer.readPixels(s.pixels, w, h));
}

// A window of the given size, its presenter on the software renderer, one frame drawn.
struct VideoShot {
  Screen screen;
  explicit VideoShot(int w, int h) { EXPECT_TRUE(screen.open(w, h)); }
  void draw(const VideoFrame& f, int aspect, int rotation = 0, bool flipH = false, bool flipV = false) {
    shoot(screen, [&](Renderer& r) {
      r.drawVideo(f, 0, 0, screen.width, screen.height, aspect, rotation, flipH, flipV);
    });
  }
  uint32_t at(int x, int y) const { return screen.at(x, y); }
};

// Half-transparent white over the left 100 x 100.
void halfWhite(Renderer& r) { r.canvas().fillRect(RectF{0, 0, 100, 100}, Color::rgb(0xFFFFFF, 0.5f)); }

TEST(VideoPlacement, LetterboxesByAspectMode) {
  RectF area{0, 0, 1000, 1000};
  VideoPlacement p = computeVideoPlacement(1920, 1080, area, kAspectSource, 0, false, false);
  EXPECT_FLOAT_EQ(p.w, 1000);
  EXPECT_FLOAT_EQ(p.h, 562.5f);
  EXPECT_FLOAT_EQ(p.y, 218.75f);
  EXPECT_FLOAT_EQ(p.cy, 500);

  // 4:3 mode: a wide area gets bars at the sides.
  p = computeVideoPlacement(1920, 1080, RectF{0, 32, 1600, 632}, kAspect4x3, 0, false, false);
  EXPECT_FLOAT_EQ(p.h, 600);
  EXPECT_FLOAT_EQ(p.w, 800);
  EXPECT_FLOAT_EQ(p.x, 400);
  EXPECT_FLOAT_EQ(p.y, 32);

  // 16:9 mode ignores the frame's own shape.
  p = computeVideoPlacement(640, 480, area, kAspect16x9, 0, false, false);
  EXPECT_FLOAT_EQ(p.h, 562.5f);

  // Fill stretches a 4:3 frame over a 16:9 area.
  p = computeVideoPlacement(640, 480, RectF{0, 0, 1600, 900}, kAspectFill, 0, false, false);
  EXPECT_FLOAT_EQ(p.w, 1600);
  EXPECT_FLOAT_EQ(p.h, 900);

  // A quarter turn swaps the source sides and draws into a turned rectangle.
  p = computeVideoPlacement(1920, 1080, area, kAspectSource, 90, false, false);
  EXPECT_FLOAT_EQ(p.w, 562.5f);
  EXPECT_FLOAT_EQ(p.h, 1000);
  EXPECT_FLOAT_EQ(p.x, 218.75f);
  EXPECT_FLOAT_EQ(p.drawRect.width(), 1000);
  EXPECT_FLOAT_EQ(p.drawRect.height(), 562.5f);
  EXPECT_FLOAT_EQ(p.drawRect.left, 0);
  EXPECT_FLOAT_EQ(p.drawRect.top, 218.75f);
  EXPECT_EQ(computeVideoPlacement(1920, 1080, area, 0, -90, false, false).rotation, 270);

  EXPECT_FALSE(computeVideoPlacement(0, 1080, area, 0, 0, false, false).visible);
  EXPECT_FALSE(computeVideoPlacement(1920, 1080, RectF{0, 0, 0, 100}, 0, 0, false, false).visible);
}

TEST(Renderer, InitialisationFailsWithoutARenderer) {
  Window none;  // never created
  Renderer r;
  EXPECT_FALSE(r.initialize(none));
  EXPECT_FALSE(r.ready());
  r.beginScene();  // all harmless without a device
  r.endScene();
  r.present();

  Window window;
  WindowOptions hidden;
  hidden.hidden = true;
  ASSERT_TRUE(window.create("t", 64, 64, hidden));
  EXPECT_FALSE(r.initialize(window, "no-such-driver"));
  EXPECT_TRUE(r.initialize(window, "software"));
  EXPECT_TRUE(r.ready());
}

TEST(Renderer, ResizeIgnoresEmptySizes) {
  Screen s;
  ASSERT_TRUE(s.open(320, 200));
  s.renderer.resize(320, 0);
  s.renderer.resize(0, 200);
  EXPECT_EQ(s.renderer.width(), 320);
  EXPECT_EQ(s.renderer.height(), 200);
  s.renderer.resize(400, 300);
  EXPECT_EQ(s.renderer.canvas().width(), 400);
  EXPECT_EQ(s.renderer.canvas().height(), 300);
}

TEST(Renderer, SourceAspectLeavesBackgroundBars) {
  TestFrame frame(1920, 1080, kRed);
  VideoShot shot(1000, 1000);
  shot.draw(frame.frame, kAspectSource);
  // 562.5 high starting 218.75 from the top: rows 219..780 are picture, the rest bars.
  for (int y : {0, 100, 217}) EXPECT_EQ(shot.at(500, y), kBackground) << y;
  for (int y : {219, 500, 780}) EXPECT_EQ(shot.at(500, y), kRed) << y;
  for (int y : {782, 900, 999}) EXPECT_EQ(shot.at(500, y), kBackground) << y;
  EXPECT_EQ(shot.at(0, 500), kRed);
  EXPECT_EQ(shot.at(999, 500), kRed);

  shot.draw(frame.frame, kAspectFill);
  EXPECT_EQ(shot.at(500, 5), kRed);
  EXPECT_EQ(shot.at(500, 995), kRed);

  shot.draw(frame.frame, kAspect4x3);  // 1000 x 750 from row 125
  EXPECT_EQ(shot.at(500, 120), kBackground);
  EXPECT_EQ(shot.at(500, 130), kRed);
  EXPECT_EQ(shot.at(500, 870), kRed);
  EXPECT_EQ(shot.at(500, 880), kBackground);
}

TEST(Renderer, RotationAndFlipsMoveTheCorner) {
  // A wide frame with a green block in its top-left corner.
  TestFrame wide(1920, 1080, kBlue, kGreen, 200);
  VideoShot shot(1000, 1000);
  shot.draw(wide.frame, kAspectSource, 90);
  // Turned clockwise: placed 562.5 wide (x 218.75..781.25) and 1000 high; the corner block
  // (scaled to about 104 pixels) lands at the top right.
  EXPECT_EQ(shot.at(210, 500), kBackground);
  EXPECT_EQ(shot.at(790, 500), kBackground);
  EXPECT_EQ(shot.at(225, 500), kBlue);
  EXPECT_EQ(shot.at(770, 40), kGreen);
  EXPECT_EQ(shot.at(230, 40), kBlue);
  EXPECT_EQ(shot.at(770, 960), kBlue);

  shot.draw(wide.frame, kAspectSource, 270);  // top-left corner goes to the bottom left
  EXPECT_EQ(shot.at(230, 960), kGreen);
  EXPECT_EQ(shot.at(770, 40), kBlue);

  // Flips on a square frame filling a square window. The picture is mirrored first and
  // turned after, so a horizontal flip and a quarter turn take the corner to the bottom right.
  TestFrame square(400, 400, kBlue, kGreen, 100);
  struct Case {
    int rotation;
    bool h, v;
    int x, y;  // where the corner block must appear
  } cases[] = {
      {0, false, false, 50, 50},   {0, true, false, 950, 50},  {0, false, true, 50, 950},
      {0, true, true, 950, 950},   {180, false, false, 950, 950}, {90, true, false, 950, 950},
      {90, false, true, 50, 50},
  };
  for (const Case& c : cases) {
    shot.draw(square.frame, kAspectSource, c.rotation, c.h, c.v);
    EXPECT_EQ(shot.at(c.x, c.y), kGreen) << c.rotation << c.h << c.v;
    int others = 0;
    for (int cx : {50, 950})
      for (int cy : {50, 950}) others += shot.at(cx, cy) == kGreen;
    EXPECT_EQ(others, 1) << c.rotation << c.h << c.v;
  }
}

TEST(Renderer, DefaultChoiceDraws) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "probes the GL driver, whose unloaded leftovers the leak checker reports";
#endif
  // Whatever the machine offers (here: a CPU GL driver, given up for the software renderer),
  // the picture arrives.
  Screen s;
  ASSERT_TRUE(s.open(200, 100, ""));
  EXPECT_FALSE(s.renderer.device().driverName().empty());
  TestFrame frame(200, 100, kRed);
  shoot(s, [&](Renderer& r) { r.drawVideo(frame.frame, 0, 0, 200, 100, kAspectFill, 0, false, false); });
  EXPECT_EQ(s.at(100, 50), kRed);
}

TEST(Renderer, ReusesTheVideoTextureWhileTheSizeStays) {
  Screen s;
  ASSERT_TRUE(s.open(200, 200));
  TestFrame a(320, 240, kRed), b(640, 360, kBlue);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(s.renderer.uploadFrame(a.frame));
  EXPECT_EQ(s.renderer.device().videoTextureCreations(), 1);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(s.renderer.uploadFrame(b.frame));
  EXPECT_EQ(s.renderer.device().videoTextureCreations(), 2);
  VideoFrame empty;
  EXPECT_FALSE(s.renderer.uploadFrame(empty));

  // Drawing an unchanged frame again does not copy it, unless the texture does not hold it.
  GraphicsDevice& dev = s.renderer.device();
  s.renderer.drawVideo(b.frame, 0, 0, 200, 200, 0, 0, false, false, false);
  EXPECT_EQ(dev.videoUploads(), 6);
  s.renderer.drawVideo(a.frame, 0, 0, 200, 200, 0, 0, false, false, false);  // other size
  EXPECT_EQ(dev.videoUploads(), 7);
  dev.dropTextures();
  s.renderer.drawVideo(a.frame, 0, 0, 200, 200, 0, 0, false, false, false);
  EXPECT_EQ(dev.videoUploads(), 8);
  s.renderer.drawVideo(a.frame, 0, 0, 200, 200, 0, 0, false, false, true);
  EXPECT_EQ(dev.videoUploads(), 9);
}

TEST(Renderer, BlendsThePremultipliedOverlay) {
  Screen s;
  ASSERT_TRUE(s.open(200, 100));
  Renderer& r = s.renderer;
  shoot(s, halfWhite);
  // Half white over 121216: (255 + 18) / 2, not darkened by a second alpha multiply.
  EXPECT_TRUE(near(s.at(50, 50), 0x88888A, 3)) << std::hex << s.at(50, 50);
  EXPECT_EQ(s.at(150, 50), kBackground);
  // Only the drawn part was uploaded.
  EXPECT_LE(r.device().overlayPixelsUploaded(), 110 * 100);

  shoot(s, [](Renderer&) {});
  EXPECT_EQ(r.device().overlayPixelsUploaded(), 0);
  EXPECT_EQ(s.at(50, 50), kBackground);  // last frame's overlay is gone
}

TEST(Renderer, BlendsWithTheCustomModeWhereAvailable) {
#if defined(__SANITIZE_ADDRESS__)
  // The GL driver is unloaded when the window goes; its leftovers would be reported as
  // leaks of an unknown module.
  GTEST_SKIP() << "not under AddressSanitizer";
#endif
  Screen s;
  if (!s.open(200, 100, "opengl")) GTEST_SKIP() << "no opengl renderer here";
  shoot(s, halfWhite);
  EXPECT_TRUE(s.renderer.device().premultipliedBlend());
  EXPECT_TRUE(near(s.at(50, 50), 0x88888A, 3)) << std::hex << s.at(50, 50);
}

// ---------------------------------------------------------------------------------------

std::string fileBytes(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(readFile(path, bytes));
  return bytes;
}

bool decode(const std::string& bytes, Bitmap& out, std::string_view mime = {}) {
  return decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, mime);
}

TEST(DecodeImage, DecodesCoverArtFormats) {
  Bitmap b;
  std::string jpeg = fileBytes(makeMedia("-f lavfi -i color=c=red:size=64x48 -frames:v 1", "jpg"));
  ASSERT_TRUE(decode(jpeg, b));
  EXPECT_EQ(b.width(), 64);
  EXPECT_EQ(b.height(), 48);
  uint32_t p = b.pixel(30, 20);
  EXPECT_EQ(p >> 24, 255u);
  EXPECT_GT((p >> 16) & 0xFF, 230u);
  EXPECT_LT(p & 0xFF, 30u);

  std::string png = fileBytes(makeMedia("-f lavfi -i color=c=blue:size=20x30 -frames:v 1", "png"));
  ASSERT_TRUE(decode(png, b, "image/png"));
  EXPECT_EQ(b.width(), 20);
  EXPECT_TRUE(near(b.pixel(5, 5), 0x0000FF)) << std::hex << b.pixel(5, 5);
  EXPECT_EQ(b.pixel(5, 5) >> 24, 255u);

  // Transparent parts come out premultiplied.
  TempDir dir;
  Canvas c;
  ASSERT_TRUE(c.resize(8, 8));
  c.fillRect(RectF{0, 0, 8, 8}, Color::rgb(0xFFFFFF, 0.5f));
  ASSERT_TRUE(c.writePng(dir.file("half.png")));
  ASSERT_TRUE(decode(fileBytes(dir.file("half.png")), b));
  p = b.pixel(3, 3);
  EXPECT_NEAR(static_cast<int>(p >> 24), 128, 2);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 2);
}

TEST(DecodeImage, RejectsWhatDoesNotDecode) {
  Bitmap b;
  EXPECT_FALSE(decodeImage(nullptr, 10, b));
  EXPECT_FALSE(decode("", b));
  EXPECT_FALSE(decode("not an image at all, just text", b));
  EXPECT_FALSE(b.valid());

  std::string jpeg = fileBytes(makeMedia("-f lavfi -i color=c=red:size=64x48 -frames:v 1", "jpg"));
  EXPECT_FALSE(decode(jpeg.substr(0, 40), b));

  // A PNG header that claims 100000 x 100000 pixels is refused before anything is allocated.
  std::string png("\x89PNG\r\n\x1a\n", 8);
  const unsigned char ihdr[] = {0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0,
                                8, 6, 0, 0, 0, 0, 0, 0, 0};
  png.append(reinterpret_cast<const char*>(ihdr), sizeof ihdr);
  png.append(std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12));
  EXPECT_FALSE(decode(png, b));
  EXPECT_FALSE(b.valid());
}

TEST(DecodeImage, SurvivesDamagedPictures) {
  const int oldLevel = av_log_get_level();
  av_log_set_level(AV_LOG_QUIET);
  std::string sources[] = {
      fileBytes(makeMedia("-f lavfi -i testsrc=size=48x32:rate=1 -frames:v 1", "jpg")),
      fileBytes(makeMedia("-f lavfi -i testsrc=size=48x32:rate=1 -frames:v 1", "png")),
      fileBytes(makeMedia("-f lavfi -i testsrc=size=48x32:rate=1 -frames:v 1", "gif")),
  };
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  int decoded = 0;
  for (const std::string& src : sources) {
    ASSERT_GT(src.size(), 20u);
    for (int round = 0; round < 150; ++round) {
      std::string bytes = src;
      int flips = 1 + next() % 8;
      for (int i = 0; i < flips; ++i) bytes[8 + next() % (bytes.size() - 8)] = static_cast<char>(next());
      if (round % 5 == 0) bytes.resize(8 + next() % (bytes.size() - 8));
      Bitmap b;
      if (decode(bytes, b)) {
        ++decoded;
        EXPECT_GT(b.width(), 0);
        EXPECT_LE(b.width(), 16384);
      } else {
        EXPECT_FALSE(b.valid());
      }
    }
  }
  av_log_set_level(oldLevel);
  EXPECT_GT(decoded, 0);
}

TEST(UiResources, SubtitleFormatFollowsTheSize) {
  UiResources r;
  EXPECT_FALSE(r.complete);
  r.build(22);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.subtitle.size(), 22);
  r.setSubtitleSize(30);
  EXPECT_EQ(r.subtitle.size(), 30);
  r.setSubtitleSize(100);
  EXPECT_EQ(r.subtitle.size(), 48);
  r.setSubtitleSize(2);
  EXPECT_EQ(r.subtitle.size(), 16);
  r.setSubtitleSize(NAN);
  EXPECT_EQ(r.subtitle.size(), 22);
  EXPECT_STREQ(aspectModeName(7), "채우기");
  EXPECT_STREQ(aspectModeName(-2), "원본");
}

}  // namespace
}  // namespace vell::test
