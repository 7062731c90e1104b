// Pictures to BGRA: the colour matrix and range a picture says it has, scaled or not, deep or not.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include <cstdint>
#include <cstring>

#include "engine/FrameConverter.h"
#include "engine/VideoFrame.h"

namespace vell {
namespace {

// A flat picture of one Y'CbCr colour, values given at 8 bits.
AVFrame* flatPicture(AVPixelFormat format, int w, int h, AVColorSpace space, AVColorRange range, int y, int cb, int cr) {
  AVFrame* f = av_frame_alloc();
  f->format = format;
  f->width = w;
  f->height = h;
  f->colorspace = space;
  f->color_range = range;
  EXPECT_EQ(av_frame_get_buffer(f, 0), 0);
  const int values[3] = {y, cb, cr};
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  for (int p = 0; p < 3; ++p) {
    const int rows = p == 0 ? h : AV_CEIL_RSHIFT(h, d->log2_chroma_h), cols = p == 0 ? w : AV_CEIL_RSHIFT(w, d->log2_chroma_w);
    for (int r = 0; r < rows; ++r) {
      uint8_t* row = f->data[p] + static_cast<size_t>(r) * f->linesize[p];
      if (format == AV_PIX_FMT_YUV420P10LE) {
        for (int c = 0; c < cols; ++c) reinterpret_cast<uint16_t*>(row)[c] = static_cast<uint16_t>(values[p] << 2);
      } else {
        std::memset(row, values[p], static_cast<size_t>(cols));
      }
    }
  }
  return f;
}

TEST(FrameConverter, ColoursFollowThePicturesMatrixAndRangeAtAnySizeAndDepth) {
  struct Case {
    const char* what;
    AVPixelFormat format;
    int w, h, shownW, shownH;
    AVColorSpace space;
    AVColorRange range;
    int y, cb, cr;
    uint32_t rgb;  // 0xRRGGBB
  };
  // Red as BT.709 and as BT.601 write it; read with the other matrix it turns orange or pink.
  const Case cases[] = {
      {"HD without a tag is BT.709", AV_PIX_FMT_YUV420P, 1280, 720, 0, 0, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_MPEG,
       63, 102, 240, 0xFF0000},
      {"HD scaled down", AV_PIX_FMT_YUV420P, 1280, 720, 640, 360, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 63,
       102, 240, 0xFF0000},
      {"SD without a tag is BT.601", AV_PIX_FMT_YUV420P, 320, 240, 0, 0, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_MPEG, 81,
       90, 240, 0xFF0000},
      {"a tag wins over the size", AV_PIX_FMT_YUV420P, 1280, 720, 640, 360, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG, 81,
       90, 240, 0xFF0000},
      {"10 bits, shown whole", AV_PIX_FMT_YUV420P10LE, 1280, 720, 0, 0, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, 63, 102,
       240, 0xFF0000},
      {"10 bits, scaled, odd width", AV_PIX_FMT_YUV420P10LE, 1280, 720, 851, 479, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG,
       63, 102, 240, 0xFF0000},
      // Full range keeps its darkest grey; read as limited it would be black.
      {"full range", AV_PIX_FMT_YUV420P, 320, 240, 0, 0, AVCOL_SPC_SMPTE170M, AVCOL_RANGE_JPEG, 40, 128, 128,
       0x282828},
      {"full range, scaled", AV_PIX_FMT_YUV420P, 1280, 720, 640, 360, AVCOL_SPC_BT709, AVCOL_RANGE_JPEG, 40, 128, 128,
       0x282828},
      {"full-range format", AV_PIX_FMT_YUVJ420P, 320, 240, 0, 0, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 40,
       128, 128, 0x282828},
      {"not 4:2:0, scaled", AV_PIX_FMT_YUV444P, 1280, 720, 640, 360, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, 63, 102, 240,
       0xFF0000},
  };
  FrameConverter converter;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VideoFrame frame;
    frame.picture = flatPicture(c.format, c.w, c.h, c.space, c.range, c.y, c.cb, c.cr);
    ASSERT_TRUE(converter.convert(frame, c.shownW, c.shownH));
    EXPECT_EQ(frame.width, c.shownW ? c.shownW : c.w);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{frame.width / 2, frame.height / 2},
                        std::pair{frame.width - 1, frame.height - 1}}) {
      const uint8_t* px = frame.data[0] + static_cast<size_t>(y) * frame.linesize[0] + static_cast<size_t>(x) * 4;
      EXPECT_NEAR(px[2], (c.rgb >> 16) & 0xFF, 4) << x << "," << y;
      EXPECT_NEAR(px[1], (c.rgb >> 8) & 0xFF, 4) << x << "," << y;
      EXPECT_NEAR(px[0], c.rgb & 0xFF, 4) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace vell
