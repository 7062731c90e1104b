// Tests of local media: decoding, conversion to BGRA (the colour matrix and range a picture says
// it has, scaled or not, deep or not), tags, bad files and odd pictures.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <fstream>

#include "engine/FrameConverter.h"
#include "platform/ProcessStats.h"
#include "platform/Text.h"
#include "support/CheckingAllocator.h"
#include "support/EngineFixtures.h"
#include "support/Media.h"

namespace vell {
namespace {

using test::decodeAll;
using test::Decoded;
using test::PacketGuard;

TEST(LocalMedia, VideoWithAudioOpensAndDecodesEveryFrame) {
  MediaSource source;
  ASSERT_TRUE(source.openLocal(test::h264AacMp4(2.0, 320, 240, 30)));
  MediaInfo info = source.info();
  EXPECT_TRUE(info.hasVideo && info.hasAudio);
  EXPECT_NEAR(info.duration, 2.0, 0.1);
  EXPECT_EQ(std::make_pair(info.width, info.height), std::make_pair(320, 240));
  EXPECT_NEAR(info.frameRate, 30.0, 0.01);
  EXPECT_EQ(info.sampleRate, 48000);
  EXPECT_EQ(info.codecName, "aac");
  EXPECT_GT(info.bitrateKbps, 50);

  VideoDecoder video;
  // Without a device, or with one that makes no decoder surfaces (Direct3D under wine), every
  // frame still comes, decoded in software.
  ASSERT_TRUE(video.open(source.videoStreamParameters(), true));
  AudioDecoder audio;
  ASSERT_TRUE(audio.open(source.audioStreamParameters(), 48000, 2));
  Decoded d = decodeAll(source, &video, &audio);
  ASSERT_EQ(d.pts.size(), 60u);
  EXPECT_EQ(video.scalerBuilds(), 1);
  EXPECT_NEAR(d.pts.front(), 0.0, 0.001);
  EXPECT_NEAR(d.pts.back(), 59.0 / 30.0, 0.001);
  EXPECT_NEAR(d.pcm.size() / 2.0, 2.0 * 48000, 48000 * 0.05);
  // A device that left the pictures in main memory is not offered again: the next open pays
  // nothing for it.
  VideoDecoder again;
  ASSERT_TRUE(again.open(source.videoStreamParameters(), true));
  EXPECT_EQ(again.usesHardware(), video.decodedOnDevice());
  // Decoded in software, the first picture does not wait for the frame threads and the
  // reordering to fill up, and the main decoder's copy of it is not shown again.
  if (!again.usesHardware()) {
    ASSERT_TRUE(source.seek(0));
    d = decodeAll(source, &again, nullptr);
    ASSERT_EQ(d.pts.size(), 60u);
    EXPECT_EQ(d.packetsBeforeFirstPicture, 1);
    EXPECT_TRUE(std::adjacent_find(d.pts.begin(), d.pts.end(), std::greater_equal<double>()) == d.pts.end());
  }
}

// A file opened ahead (while the window is made) is used by the open of the same path only;
// any other open opens its own input, and whatever was opened ahead is dropped with it.
TEST(LocalMedia, AFileOpenedAheadIsTakenOnlyByTheOpenOfItsPath) {
  const std::string film = test::h264AacMp4(1.0, 320, 240, 30);
  const std::string missing = film + ".missing";
  struct Case { std::string ahead, opened; bool opens; } cases[] = {
      {film, film, true}, {missing, film, true}, {film, missing, false}, {missing, missing, false}};
  MediaSource source;
  for (const Case& c : cases) {
    source.prepareLocal(c.ahead);
    ASSERT_EQ(source.openLocal(c.opened), c.opens) << c.ahead << " then " << c.opened;
    if (!c.opens) continue;
    MediaInfo info = source.info();
    EXPECT_TRUE(info.hasVideo && info.hasAudio);
    EXPECT_EQ(std::make_pair(info.width, info.height), std::make_pair(320, 240));
    EXPECT_NEAR(info.duration, 1.0, 0.1);
    PacketGuard packet;
    EXPECT_EQ(source.readPacket(packet.p), 1);
  }
  source.prepareLocal(film);  // never taken: closed with the source
}

TEST(LocalMedia, InAHurryPicturesNothingRefersToAreLeftOutAndCounted) {
  MediaSource source;
  ASSERT_TRUE(source.openLocal(test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=30:duration=2 -c:v libx264 -preset faster -bf 3 -x264-params b-pyramid=none",
      "mp4")));
  VideoDecoder video;
  ASSERT_TRUE(video.open(source.videoStreamParameters(), false));
  video.setHurry(true);
  Decoded d = decodeAll(source, &video, nullptr);
  EXPECT_LT(d.pts.size(), 50u);
  EXPECT_EQ(d.pts.size() + static_cast<size_t>(video.takeSkippedPictures()), 60u);
}

TEST(LocalMedia, ConvertsToBgraOfTheRightColour) {
  MediaSource source;
  ASSERT_TRUE(source.openLocal(test::makeMedia(
      "-f lavfi -i color=c=0x2060C0:s=64x48:r=10:d=0.5 -c:v libx264 -preset ultrafast -pix_fmt yuv444p -qp 0", "mkv")));
  EXPECT_EQ(source.audioStreamParameters(), nullptr);
  EXPECT_EQ(source.info().codecName, "");
  VideoDecoder video;
  ASSERT_TRUE(video.open(source.videoStreamParameters(), false));
  VideoFrame frame;
  decodeAll(source, &video, nullptr, &frame);
  ASSERT_EQ(frame.width, 64);
  ASSERT_EQ(frame.linesize[0], 64 * 4);
  const uint8_t* px = frame.data[0] + 20 * frame.linesize[0] + 30 * 4;
  EXPECT_NEAR(px[0], 0xC0, 6);  // B
  EXPECT_NEAR(px[1], 0x60, 6);  // G
  EXPECT_NEAR(px[2], 0x20, 6);  // R
  EXPECT_EQ(px[3], 255);
}

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

// Each common kind, made tiny by the host's ffmpeg: three 64x64 pictures for video, 0.2 s of a
// 440 Hz tone for sound. AV1 comes from libaom, or SVT-AV1 where ffmpeg lacks it.
TEST(LocalMedia, CommonCodecsDecode) {
  std::string encoders;
  test::runCommand("ffmpeg -hide_banner -encoders", &encoders);
  const std::string av1 =
      encoders.find("libaom-av1") != std::string::npos ? "libaom-av1 -cpu-used 8" : "libsvtav1 -preset 12";
  const std::string picture = "-f lavfi -i testsrc2=size=64x64:rate=15 -frames:v 3 -c:v ";
  const std::string tone = "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=0.2 -c:a ";
  const struct { const char* name; std::string args, ext; } rows[] = {
      {"H.264", picture + "libx264 -preset ultrafast -pix_fmt yuv420p", "mp4"},
      {"HEVC", picture + "libx265 -preset ultrafast -pix_fmt yuv420p -x265-params log-level=error", "mp4"},
      {"HEVC 10-bit", picture + "libx265 -preset ultrafast -pix_fmt yuv420p10le -x265-params log-level=error", "mkv"},
      {"VP9", picture + "libvpx-vp9 -deadline realtime -cpu-used 8", "webm"},
      {"AV1", picture + av1, "mkv"},
      {"AAC", tone + "aac", "m4a"},
      {"MP3", tone + "libmp3lame", "mp3"},
      {"Opus", tone + "libopus", "opus"},
      {"Vorbis", tone + "libvorbis", "ogg"},
      {"FLAC", tone + "flac", "flac"},
      {"AC-3", tone + "ac3", "ac3"},
      {"E-AC-3", tone + "eac3", "eac3"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    MediaSource source;
    const bool opened = source.openLocal(test::makeMedia(r.args, r.ext));
    EXPECT_TRUE(opened);
    if (!opened) continue;  // the other kinds are still tried
    if (source.hasVideo()) {
      VideoDecoder video;
      const AVStream* stream = source.videoStreamParameters();
      EXPECT_TRUE(video.open(stream, true) || video.open(stream, false));
      Decoded d = decodeAll(source, &video, nullptr);
      EXPECT_EQ(d.pts.size(), 3u);
      EXPECT_EQ(d.sizes, (std::vector<std::pair<int, int>>{{64, 64}}));
    } else {
      AudioDecoder audio;
      EXPECT_TRUE(audio.open(source.audioStreamParameters(), 48000, 2));
      std::vector<float> pcm = decodeAll(source, nullptr, &audio).pcm;
      EXPECT_NEAR(pcm.size() / 2 / 48000.0, 0.2, 0.05);
      EXPECT_NEAR(test::toneFrequency(pcm, 1200, 8400), 440.0, 5.0);
    }
  }
}

// Tags in the case each kind writes them (Vorbis comments in capitals, an Opus file's on its
// stream) and the attached picture, which is cover art, not video.
TEST(LocalMedia, TagsAndCoverArtOfEachAudioKind) {
  const std::string tone = "-f lavfi -i sine=frequency=440:duration=1 ";
  const std::string picture = "-f lavfi -i color=c=red:s=64x64:d=0.04 -map 0:a -map 1:v -frames:v 1 ";
  const std::string tags = "-metadata TITLE=\"봄날 Spring\" -metadata ARTIST=Artist -metadata ALBUM=Album";
  struct { std::string args, ext, codec, mime; uint8_t second; /* of the picture's signature */ } kinds[] = {
      {tone + picture + "-c:a libmp3lame -b:a 128k -c:v mjpeg -disposition:v:0 attached_pic -id3v2_version 3 ", "mp3",
       "mp3", "image/jpeg", 0xD8},
      {tone + picture + "-c:a libmp3lame -b:a 128k -c:v png -disposition:v:0 attached_pic ", "mp3", "mp3",
       "image/png", 'P'},
      {tone + picture + "-c:a flac -c:v mjpeg -disposition:v:0 attached_pic ", "flac", "flac", "image/jpeg", 0xD8},
      {tone + picture + "-c:a aac -c:v mjpeg -disposition:v:0 attached_pic ", "m4a", "aac", "image/jpeg", 0xD8},
      {tone + "-c:a libopus ", "opus", "opus", "", 0},
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.ext + " " + k.mime);
    MediaSource source;
    ASSERT_TRUE(source.openLocal(test::makeMedia(k.args + tags, k.ext)));
    MediaInfo info = source.info();
    EXPECT_FALSE(info.hasVideo);
    EXPECT_EQ(source.videoStreamParameters(), nullptr);
    EXPECT_EQ(info.title + "|" + info.artist + "|" + info.album, "봄날 Spring|Artist|Album");
    EXPECT_EQ(info.codecName, k.codec);
    EXPECT_TRUE(k.ext != "mp3" || info.bitrateKbps == 128) << info.bitrateKbps;

    std::vector<uint8_t> bytes;
    std::string mime;
    bool busy = true;
    EXPECT_EQ(source.extractCoverArt(bytes, mime, &busy), !k.mime.empty());
    EXPECT_FALSE(busy);
    if (k.mime.empty()) continue;
    EXPECT_EQ(mime, k.mime);
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes[1], k.second);
  }
}

// Chapters as ffmpeg writes them into each container, titles in any case and in Korean; one
// past the end is left out, and a file claiming too many keeps the first kMaxChapters.
TEST(LocalMedia, ChaptersAreReadWithTheirTitlesInEachContainer) {
  auto chapter = test::chapterSection;
  const std::string three = chapter(0, 2500, "title=Intro") + chapter(2500, 4000, "TITLE=2악장 Allegro") +
                            chapter(4000, 6000, "");
  const std::string beyond = chapter(9000, 9500, "title=Beyond");  // an MP4's chapter track would lengthen it
  std::string many;
  for (int i = 0; i < 1200; ++i) many += chapter(i * 100, i * 100 + 100, "title=c" + std::to_string(i + 1));
  auto recipe = [](double seconds, const std::string& metadata, const std::string& codec) {
    return "-f lavfi -i sine=sample_rate=8000:duration=" + std::to_string(seconds) + " -i '" +
           test::metadataFile(metadata) + "' -map 0 -map_metadata 1 " + codec;
  };
  struct { std::string path, want; /* the count, then the first three "start-end title" */ } rows[] = {
      {test::makeMedia(recipe(6, three + beyond, "-c:a aac"), "mkv"), "3: 0.0-2.5 Intro | 2.5-4.0 2악장 Allegro | 4.0-6.0 "},
      {test::makeMedia(recipe(6, three, "-c:a aac"), "mp4"), "3: 0.0-2.5 Intro | 2.5-4.0 2악장 Allegro | 4.0-6.0 "},
      {test::makeMedia(recipe(121, many, "-c:a pcm_s16le"), "mkv"), "1000: 0.0-0.1 c1 | 0.1-0.2 c2 | 0.2-0.3 c3"},
      {test::sineMp3(1.0), "none"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.path);
    MediaSource source;
    ASSERT_TRUE(source.openLocal(r.path));
    ChapterList chapters = source.chapters();
    std::string got = "none";
    if (chapters) {
      got = std::to_string(chapters->size()) + ":";
      for (size_t i = 0; i < chapters->size() && i < 3; ++i) {
        const Chapter& c = (*chapters)[i];
        got += (i ? " | " : " ") + formatText("%.1f-%.1f ", c.start, c.end) + c.title;
      }
    }
    EXPECT_EQ(got, r.want);
  }
}

TEST(LocalMedia, ResolutionChangeMidStreamBuildsOneNewScaler) {
  // MPEG-TS segments can be joined byte for byte; the second one is twice the size.
  std::string parts;
  for (const char* size : {"160x120", "320x240"})
    parts += test::mediaBytes(test::makeMedia("-f lavfi -i testsrc2=size=" + std::string(size) +
                                                  ":rate=25:duration=0.4 -c:v libx264 -preset ultrafast -bsf:v h264_mp4toannexb",
                                              "ts"));
  test::TempDir dir;
  MediaSource source;
  ASSERT_TRUE(source.openLocal(dir.write("joined.ts", parts)));
  VideoDecoder video;
  ASSERT_TRUE(video.open(source.videoStreamParameters(), false));
  Decoded d = decodeAll(source, &video, nullptr);
  EXPECT_EQ(d.sizes, (std::vector<std::pair<int, int>>{{160, 120}, {320, 240}}));
  EXPECT_EQ(video.scalerBuilds(), 2);
  EXPECT_EQ(d.pts.size(), 20u);
}

// Noise, a missing or empty file are refused and leave the source empty; a file cut short
// or damaged in its media data opens (its index is in front) or is refused, and reads to an end.
TEST(LocalMedia, BadFilesAreRefusedOrReadToAnEnd) {
  test::TempDir dir;
  std::string noise;
  for (int i = 0; i < 50000; ++i) noise.push_back(static_cast<char>((i * 7919) ^ (i >> 3)));
  MediaSource source;
  for (const std::string& path : {dir.write("noise.mp4", noise), dir.file("missing.mp4"), dir.write("empty.mkv", "")}) {
    EXPECT_FALSE(source.openLocal(path)) << path;
    EXPECT_FALSE(source.isOpen());
  }
  PacketGuard pkt;
  EXPECT_EQ(source.readPacket(pkt.p), 0);
  EXPECT_FALSE(source.seek(1.0));
  EXPECT_EQ(source.info().duration, 0.0);
  VideoDecoder closed;
  EXPECT_FALSE(closed.open(nullptr, true));

  std::string whole = test::mediaBytes(test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 -c:v libx264 "
      "-preset ultrafast -c:a aac -movflags +faststart", "mp4"));
  std::string damaged = whole;
  for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 4000; ++i) damaged[i] = static_cast<char>(i * 31);
  for (const std::string& path : {dir.write("cut.mp4", whole.substr(0, whole.size() / 2)), dir.write("damaged.mp4", damaged)}) {
    if (!source.openLocal(path)) continue;
    VideoDecoder video;
    AudioDecoder audio;
    video.open(source.videoStreamParameters(), false);
    audio.open(source.audioStreamParameters(), 48000, 2);
    EXPECT_LE(decodeAll(source, &video, &audio).pts.size(), 25u) << path;
  }
}

// A stream may switch layout and rate mid-way; the resampler follows, at either speed.
TEST(AudioDecoder, FormatChangesMidStreamKeepLengthAndPitch) {
  // MP3 frames can be joined byte for byte: stereo 44.1 kHz, then mono 48 kHz. The first part
  // keeps its encoder header, so the decoder trims the start of the stream.
  std::string parts;
  for (const char* format : {"44100:duration=1 -ac 2", "48000:duration=1 -ac 1 -write_xing 0"})
    parts += test::mediaBytes(test::makeMedia(
        "-f lavfi -i sine=frequency=440:sample_rate=" + std::string(format) + " -c:a libmp3lame", "mp3"));
  test::TempDir dir;
  std::string joined = dir.write("joined.mp3", parts);
  for (int speed : {1, 2}) {
    MediaSource source;
    ASSERT_TRUE(source.openLocal(joined));
    AudioDecoder audio;
    ASSERT_TRUE(audio.open(source.audioStreamParameters(), 48000, 2));
    audio.setSpeed(speed);
    std::vector<float> pcm = decodeAll(source, nullptr, &audio).pcm;
    size_t second = 48000 / speed;  // output frames a second of input gives
    EXPECT_NEAR(pcm.size() / 2.0, 2.0 * second, 4000.0 / speed);
    EXPECT_NEAR(test::toneFrequency(pcm, second / 5, second * 4 / 5), 440.0 * speed, 5.0);  // first part
    EXPECT_NEAR(test::toneFrequency(pcm, second * 6 / 5, second * 9 / 5), 440.0 * speed, 5.0);
    // The mono part reaches both channels.
    for (size_t f = second * 5 / 4; f < second * 5 / 4 + 1000; ++f) ASSERT_FLOAT_EQ(pcm[2 * f], pcm[2 * f + 1]) << f;
  }
}

// Pictures of awkward sizes and timestamps: narrow, huge, without timestamps, late starts.
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

// The scaler writes past short rows unless the buffer has room for it; a checking allocator
// catches such a write where the target has one, else the decode just has to survive.
TEST(Picture, NarrowPicturesStayInsideTheirBuffers) {
  for (auto [w, h] : kNarrowSizes) narrowH264(w, h);
  int rc = 0;
  std::string output;
  if (!std::getenv("VELL_CHECKED_CHILD") &&
      test::runUnderCheckingAllocator("Picture.NarrowPicturesStayInsideTheirBuffers", rc, output)) {
    EXPECT_EQ(rc, 0) << output;
    return;
  }
  for (auto [w, h] : kNarrowSizes) {
    Decoded d = decodePictures(narrowH264(w, h));
    EXPECT_EQ(d.pts.size(), 3u) << w << "x" << h;
    EXPECT_EQ(d.sizes, (std::vector<std::pair<int, int>>{{w, h}}));
  }
}

long peakResidentKb() { return static_cast<long>(peakResidentBytes() / 1024); }

// Linux lets a process restart its peak; elsewhere the peak of earlier tests stays (a weaker check).
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
  source.extractCoverArt(bytes, mime);  // the picture decoder refuses it (tests/render)
  EXPECT_LT(peakResidentKb() - before, 300 * 1024);
}

// Frames without their own timestamp take the decoder's best guess; inputs whose clock
// starts late are counted from their first frame, and seeks land on the same scale.
TEST(Picture, TimestampsAreBestEffortAndStartAtZero) {
  struct Case { const char* name; std::string path; double seek; } cases[] = {
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
