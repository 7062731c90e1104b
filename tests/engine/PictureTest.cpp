// Pictures of awkward sizes and timestamps: narrow, huge, without timestamps, late starts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "EngineTestUtil.h"
#include "render/Renderer.h"
#include "support/Media.h"

namespace vell {
namespace {

using test::Decoded;

// Decodes every picture of the file's video stream, counted from the input's start time.
Decoded decodePictures(const std::string& path, double seekTo = -1) {
  MediaSource source;
  VideoDecoder video;
  if (!source.openLocal(path) || !video.open(source.videoStreamParameters(), false)) return {};
  video.setStartTime(source.info().startTime);
  if (seekTo >= 0) source.seek(seekTo);
  return test::decodeAll(source, &video, nullptr);
}

std::string narrowH264(int w, int h) {
  return test::makeMedia("-f lavfi -i testsrc2=size=" + std::to_string(w) + "x" + std::to_string(h) +
                             ":rate=10:duration=0.3 -c:v libx264 -preset ultrafast -pix_fmt yuv420p",
                         "mp4");
}

const std::pair<int, int> kNarrowSizes[] = {{2, 2}, {6, 4}, {8, 8}, {14, 14}, {2, 480}};

// The scaler writes past short rows unless the buffer has room for it. glibc's checking
// allocator puts a guard byte after every block and aborts when a freed block lost it.
TEST(Picture, NarrowPicturesStayInsideTheirBuffers) {
  if (std::getenv("VELL_NARROW_CHILD")) {
    for (auto [w, h] : kNarrowSizes) {
      Decoded d = decodePictures(narrowH264(w, h));
      EXPECT_EQ(d.pts.size(), 3u) << w << "x" << h;
      EXPECT_EQ(d.sizes, (std::vector<std::pair<int, int>>{{w, h}}));
    }
    return;
  }
  const char* checker = "/usr/lib/x86_64-linux-gnu/libc_malloc_debug.so.0";
  if (!std::filesystem::exists(checker)) GTEST_SKIP() << "no checking allocator";
  for (auto [w, h] : kNarrowSizes) narrowH264(w, h);
  std::string self = std::filesystem::read_symlink("/proc/self/exe");
  std::string output;
  int rc = test::runCommand(std::string("VELL_NARROW_CHILD=1 MALLOC_CHECK_=3 LD_PRELOAD=") + checker + " '" + self +
                                "' --gtest_filter=Picture.NarrowPicturesStayInsideTheirBuffers",
                            &output);
  EXPECT_EQ(rc, 0) << output;
}

long peakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

// One 16000 x 16000 picture costs gigabytes once decoded: it is refused on every path.
TEST(Picture, HugePicturesAreRefusedWithoutTheirMemory) {
  // One bit a pixel keeps the file quick to make; the decoded picture is still huge.
  std::string png =
      test::makeMedia("-f lavfi -i color=c=black:s=16000x16000,format=monob -frames:v 1 -c:v png", "png");
  std::string withCover = test::makeMedia("-f lavfi -i sine=duration=1 -i '" + png +
                                              "' -map 0 -map 1 -c:a libmp3lame -c:v copy -disposition:v attached_pic",
                                          "mp3");
  resetPeakResident();
  long before = peakResidentKb();
  EXPECT_FALSE(Player().openFile(png));
  MediaSource source;
  ASSERT_TRUE(source.openLocal(withCover));  // the sound still plays
  EXPECT_TRUE(source.hasAudio());
  EXPECT_FALSE(source.hasVideo());
  std::vector<uint8_t> bytes;
  std::string mime;
  Bitmap cover;
  EXPECT_FALSE(source.extractCoverArt(bytes, mime) && decodeImage(bytes.data(), bytes.size(), cover, mime));
  EXPECT_LT(peakResidentKb() - before, 300 * 1024);
}

// Frames without their own timestamp take the decoder's best guess; inputs whose clock
// starts late are counted from their first frame, and seeks land on the same scale.
TEST(Picture, TimestampsAreBestEffortAndStartAtZero) {
  struct Case {
    const char* name;
    std::string path;
    double seek;
  } cases[] = {
      {"avi with B-frames",
       test::makeMedia("-f lavfi -i testsrc2=size=64x48:rate=10:duration=2 -c:v mpeg4 -bf 2 -q:v 5", "avi"), -1},
      {"raw h264", test::makeMedia("-f lavfi -i testsrc2=size=64x48:rate=10:duration=2 -c:v libx264 -preset ultrafast "
                                   "-bf 2 -f h264", "h264"), -1},
      {"ts from 10 hours",
       test::makeMedia("-f lavfi -i testsrc2=size=64x48:rate=10:duration=2 -c:v libx264 -preset ultrafast -g 5 "
                       "-output_ts_offset 36000", "ts"), 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded d = decodePictures(c.path);
    ASSERT_EQ(d.pts.size(), 20u);
    EXPECT_LE(d.pts.front(), 0.11);  // a B-frame delay may hold back one step
    for (size_t i = 1; i < d.pts.size(); ++i) EXPECT_NEAR(d.pts[i] - d.pts[i - 1], 0.1, 0.01) << "frame " << i;
    if (c.seek >= 0) {
      Decoded after = decodePictures(c.path, c.seek);
      ASSERT_FALSE(after.pts.empty());
      EXPECT_GE(after.pts.front(), c.seek - 0.6);
      EXPECT_LE(after.pts.front(), c.seek + 0.01);
    }
  }
}

}  // namespace
}  // namespace vell
