#include <gtest/gtest.h>

#include "EngineTestUtil.h"
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
  ASSERT_TRUE(video.open(source.videoStreamParameters(), true));  // no device here: software
  EXPECT_FALSE(video.usesHardware());
  AudioDecoder audio;
  ASSERT_TRUE(audio.open(source.audioStreamParameters(), 48000, 2));
  Decoded d = decodeAll(source, &video, &audio);
  ASSERT_EQ(d.pts.size(), 60u);
  EXPECT_EQ(video.scalerBuilds(), 1);
  EXPECT_NEAR(d.pts.front(), 0.0, 0.001);
  EXPECT_NEAR(d.pts.back(), 59.0 / 30.0, 0.001);
  EXPECT_NEAR(d.pcm.size() / 2.0, 2.0 * 48000, 48000 * 0.05);
}

TEST(LocalMedia, ConvertsToBgraOfTheRightColour) {
  MediaSource source;
  ASSERT_TRUE(source.openLocal(test::makeMedia(
      "-f lavfi -i color=c=0x2060C0:s=64x48:r=10:d=0.5 -c:v libx264 -preset ultrafast -pix_fmt yuv444p -qp 0", "mkv")));
  EXPECT_FALSE(source.hasAudio());
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

TEST(LocalMedia, Mp3TagsAndCoverArtAreNotVideo) {
  struct {
    const char* codec;
    const char* mime;
    uint8_t second;  // of the picture file's signature
  } covers[] = {{"mjpeg", "image/jpeg", 0xD8}, {"png", "image/png", 'P'}};
  for (const auto& c : covers) {
    SCOPED_TRACE(c.codec);
    MediaSource source;
    ASSERT_TRUE(source.openLocal(test::makeMedia(
        "-f lavfi -i sine=frequency=440:duration=1 -f lavfi -i color=c=red:s=64x64:d=0.04 -map 0:a -map 1:v "
        "-frames:v 1 -c:a libmp3lame -b:a 128k -c:v " + std::string(c.codec) + " -disposition:v:0 attached_pic "
        "-id3v2_version 3 -metadata title=\"봄날 Spring\" -metadata artist=Artist -metadata album=Album",
        "mp3")));
    MediaInfo info = source.info();
    EXPECT_FALSE(info.hasVideo);
    EXPECT_EQ(info.videoStream, -1);
    EXPECT_EQ(source.videoStreamParameters(), nullptr);
    EXPECT_EQ(info.title, "봄날 Spring");
    EXPECT_EQ(info.artist, "Artist");
    EXPECT_EQ(info.album, "Album");
    EXPECT_EQ(info.codecName, "mp3");
    EXPECT_EQ(info.bitrateKbps, 128);

    std::vector<uint8_t> bytes;
    std::string mime;
    ASSERT_TRUE(source.extractCoverArt(bytes, mime));
    EXPECT_EQ(mime, c.mime);
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes[1], c.second);
    source.close();
    EXPECT_FALSE(source.extractCoverArt(bytes, mime));
    EXPECT_FALSE(source.hasAudio());
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

TEST(LocalMedia, GarbageFailsAndLeavesTheSourceEmpty) {
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

  VideoFrame frame;
  frame.pts = 12.5;
  VideoDecoder closed;
  EXPECT_FALSE(closed.receiveFrame(frame));
  EXPECT_EQ(frame.pts, 12.5);
  EXPECT_FALSE(closed.open(nullptr, true));
}

TEST(LocalMedia, TruncatedAndDamagedFilesReadToAnEndWithoutCrashing) {
  std::string whole = test::mediaBytes(test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 -c:v libx264 "
      "-preset ultrafast -c:a aac -movflags +faststart",
      "mp4"));
  test::TempDir dir;
  // A band of the media data overwritten with noise, and a cut in the middle of it (the
  // index is in front, so it opens and reads stop).
  std::string damaged = whole;
  for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 4000; ++i) damaged[i] = static_cast<char>(i * 31);
  for (const std::string& path : {dir.write("cut.mp4", whole.substr(0, whole.size() / 2)), dir.write("damaged.mp4", damaged)}) {
    MediaSource source;
    if (!source.openLocal(path)) continue;  // refusing is a fine outcome too
    VideoDecoder video;
    AudioDecoder audio;
    video.open(source.videoStreamParameters(), false);
    audio.open(source.audioStreamParameters(), 48000, 2);
    EXPECT_LE(decodeAll(source, &video, &audio).pts.size(), 25u) << path;
  }
}

TEST(AudioDecoder, FormatChangesMidStreamKeepLengthAndPitch) {
  // MP3 frames can be joined byte for byte: stereo 44.1 kHz, then mono 48 kHz.
  std::string parts;
  for (const char* format : {"44100:duration=1 -ac 2", "48000:duration=1 -ac 1"})
    parts += test::mediaBytes(test::makeMedia(
        "-f lavfi -i sine=frequency=440:sample_rate=" + std::string(format) + " -c:a libmp3lame -write_xing 0", "mp3"));
  test::TempDir dir;
  MediaSource source;
  ASSERT_TRUE(source.openLocal(dir.write("joined.mp3", parts)));
  AudioDecoder audio;
  ASSERT_TRUE(audio.open(source.audioStreamParameters(), 48000, 2));
  std::vector<float> pcm = decodeAll(source, nullptr, &audio).pcm;
  EXPECT_NEAR(pcm.size() / 2.0, 96000.0, 4000.0);
  EXPECT_NEAR(test::toneFrequency(pcm, 10000, 40000), 440.0, 5.0);  // first part
  EXPECT_NEAR(test::toneFrequency(pcm, 60000, 90000), 440.0, 5.0);  // second part
  // The mono part reaches both channels.
  for (size_t f = 60000; f < 61000; ++f) ASSERT_FLOAT_EQ(pcm[2 * f], pcm[2 * f + 1]) << f;
}

}  // namespace
}  // namespace vell
