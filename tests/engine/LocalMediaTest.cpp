#include <gtest/gtest.h>

#include <cmath>

#include "engine/AudioChunk.h"
#include "engine/AudioDecoder.h"
#include "engine/MediaSource.h"
#include "engine/VideoDecoder.h"
#include "engine/VideoFrame.h"
#include "EngineTestUtil.h"
#include "support/Media.h"
#include "support/TempDir.h"

namespace vell {
namespace {

using test::PacketGuard;

// Reads every packet and decodes both streams; returns the number of video frames.
struct DecodeTally {
  int videoFrames = 0;
  size_t audioSamples = 0;
  std::vector<float> pcm;  // every decoded audio sample, interleaved
  std::vector<std::pair<int, int>> sizes;  // picture sizes in order of first appearance
  std::vector<double> pts;
};

DecodeTally decodeAll(MediaSource& source, VideoDecoder* video, AudioDecoder* audio) {
  DecodeTally t;
  PacketGuard pkt;
  VideoFrame frame;
  AudioChunk chunk;
  int vi = source.videoStreamIndex(), ai = source.audioStreamIndex();
  auto drainVideo = [&] {
    while (video->receiveFrame(frame)) {
      ++t.videoFrames;
      t.pts.push_back(frame.pts);
      if (t.sizes.empty() || t.sizes.back() != std::make_pair(frame.width, frame.height))
        t.sizes.emplace_back(frame.width, frame.height);
    }
  };
  for (int guard = 0; guard < 100000; ++guard) {
    int r = source.readPacket(pkt.p);
    if (r == 0) break;
    if (r < 0) continue;
    if (video && pkt.p->stream_index == vi) {
      video->sendPacket(pkt.p);
      drainVideo();
    } else if (audio && pkt.p->stream_index == ai) {
      audio->sendPacket(pkt.p);
      while (audio->receive(chunk)) {
        t.audioSamples += chunk.samples.size() / chunk.channels;
        t.pcm.insert(t.pcm.end(), chunk.samples.begin(), chunk.samples.end());
      }
    }
    av_packet_unref(pkt.p);
  }
  if (video) {
    video->sendPacket(nullptr);  // drain the decoder's delay
    drainVideo();
  }
  return t;
}

// Decodes up to the first picture of the video stream, draining the decoder at the end.
bool firstVideoFrame(MediaSource& source, VideoDecoder& video, VideoFrame& frame) {
  PacketGuard pkt;
  bool got = false;
  while (!got && source.readPacket(pkt.p) == 1) {
    if (pkt.p->stream_index == source.videoStreamIndex()) {
      video.sendPacket(pkt.p);
      got = video.receiveFrame(frame);
    }
    av_packet_unref(pkt.p);
  }
  if (!got) video.sendPacket(nullptr);
  return got || video.receiveFrame(frame);
}

TEST(LocalMedia, VideoWithAudioOpensAndDecodesEveryFrame) {
  std::string path = test::h264AacMp4(2.0, 320, 240, 30);
  MediaSource source;
  ASSERT_TRUE(source.openLocal(path));
  MediaInfo info = source.info();
  EXPECT_TRUE(info.hasVideo);
  EXPECT_TRUE(info.hasAudio);
  EXPECT_NEAR(info.duration, 2.0, 0.1);
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 240);
  EXPECT_NEAR(info.frameRate, 30.0, 0.01);
  EXPECT_EQ(info.sampleRate, 48000);
  EXPECT_EQ(info.codecName, "aac");
  EXPECT_GT(info.bitrateKbps, 50);

  VideoDecoder video;
  ASSERT_TRUE(video.open(source.videoStreamParameters(), true));  // no device here: software
  EXPECT_FALSE(video.usesHardware());
  AudioDecoder audio;
  ASSERT_TRUE(audio.open(source.audioStreamParameters(), 48000, 2));
  DecodeTally t = decodeAll(source, &video, &audio);
  EXPECT_EQ(t.videoFrames, 60);
  EXPECT_EQ(video.scalerBuilds(), 1);
  EXPECT_NEAR(t.pts.front(), 0.0, 0.001);
  EXPECT_NEAR(t.pts.back(), 59.0 / 30.0, 0.001);
  EXPECT_NEAR(static_cast<double>(t.audioSamples), 2.0 * 48000, 48000 * 0.05);
}

TEST(LocalMedia, ConvertsToBgraOfTheRightColour) {
  std::string path = test::makeMedia(
      "-f lavfi -i color=c=0x2060C0:s=64x48:r=10:d=0.5 -c:v libx264 -preset ultrafast -pix_fmt yuv444p -qp 0", "mkv");
  MediaSource source;
  ASSERT_TRUE(source.openLocal(path));
  EXPECT_FALSE(source.hasAudio());
  VideoDecoder video;
  ASSERT_TRUE(video.open(source.videoStreamParameters(), false));
  VideoFrame frame;
  ASSERT_TRUE(firstVideoFrame(source, video, frame));
  ASSERT_EQ(frame.width, 64);
  ASSERT_EQ(frame.linesize[0], 64 * 4);
  const uint8_t* px = frame.data[0] + 20 * frame.linesize[0] + 30 * 4;
  EXPECT_NEAR(px[0], 0xC0, 6);  // B
  EXPECT_NEAR(px[1], 0x60, 6);  // G
  EXPECT_NEAR(px[2], 0x20, 6);  // R
  EXPECT_EQ(px[3], 255);
}

TEST(LocalMedia, Mp3TagsAndCoverArtAreNotVideo) {
  std::string path = test::makeMedia(
      "-f lavfi -i sine=frequency=440:duration=1 -f lavfi -i color=c=red:s=64x64:d=0.04 -map 0:a -map 1:v "
      "-frames:v 1 -c:a libmp3lame -b:a 128k -c:v mjpeg -disposition:v:0 attached_pic -id3v2_version 3 "
      "-metadata title=\"봄날 Spring\" -metadata artist=Artist -metadata album=Album",
      "mp3");
  MediaSource source;
  ASSERT_TRUE(source.openLocal(path));
  MediaInfo info = source.info();
  EXPECT_FALSE(info.hasVideo);
  EXPECT_EQ(info.videoStream, -1);
  EXPECT_TRUE(info.hasAudio);
  EXPECT_EQ(info.title, "봄날 Spring");
  EXPECT_EQ(info.artist, "Artist");
  EXPECT_EQ(info.album, "Album");
  EXPECT_EQ(info.codecName, "mp3");
  EXPECT_EQ(info.bitrateKbps, 128);

  std::vector<uint8_t> bytes;
  std::string mime;
  ASSERT_TRUE(source.extractCoverArt(bytes, mime));
  EXPECT_EQ(mime, "image/jpeg");
  ASSERT_GT(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);

  source.close();
  EXPECT_FALSE(source.extractCoverArt(bytes, mime));
  EXPECT_FALSE(source.hasAudio());
}

TEST(LocalMedia, PngCoverIsReportedAsPng) {
  std::string path = test::makeMedia(
      "-f lavfi -i sine=duration=0.5 -f lavfi -i color=c=blue:s=32x32:d=0.04 -map 0:a -map 1:v -frames:v 1 "
      "-c:a libmp3lame -c:v png -disposition:v:0 attached_pic",
      "mp3");
  MediaSource source;
  ASSERT_TRUE(source.openLocal(path));
  std::vector<uint8_t> bytes;
  std::string mime;
  ASSERT_TRUE(source.extractCoverArt(bytes, mime));
  EXPECT_EQ(mime, "image/png");
  EXPECT_EQ(bytes[1], 'P');
}

TEST(LocalMedia, VideoOnlyAndAudioOnly) {
  MediaSource source;
  ASSERT_TRUE(source.openLocal(test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -c:v libx264 -preset ultrafast", "mp4")));
  EXPECT_TRUE(source.hasVideo());
  EXPECT_FALSE(source.hasAudio());
  EXPECT_EQ(source.audioStreamParameters(), nullptr);
  EXPECT_EQ(source.info().codecName, "");

  ASSERT_TRUE(source.openLocal(test::sineMp3(1.0)));
  EXPECT_FALSE(source.hasVideo());
  EXPECT_TRUE(source.hasAudio());
  EXPECT_EQ(source.videoStreamParameters(), nullptr);
}

TEST(LocalMedia, ResolutionChangeMidStreamBuildsOneNewScaler) {
  // MPEG-TS segments can be joined byte for byte; the second one is twice the size.
  std::string a = test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=0.4 -c:v libx264 -preset ultrafast -bsf:v h264_mp4toannexb",
      "ts");
  std::string b = test::makeMedia(
      "-f lavfi -i testsrc2=size=320x240:rate=25:duration=0.4 -c:v libx264 -preset ultrafast -bsf:v h264_mp4toannexb",
      "ts");
  test::TempDir dir;
  std::string joined = dir.write("joined.ts", test::mediaBytes(a) + test::mediaBytes(b));
  MediaSource source;
  ASSERT_TRUE(source.openLocal(joined));
  VideoDecoder video;
  ASSERT_TRUE(video.open(source.videoStreamParameters(), false));
  DecodeTally t = decodeAll(source, &video, nullptr);
  ASSERT_EQ(t.sizes.size(), 2u);
  EXPECT_EQ(t.sizes[0], std::make_pair(160, 120));
  EXPECT_EQ(t.sizes[1], std::make_pair(320, 240));
  EXPECT_EQ(video.scalerBuilds(), 2);
  EXPECT_EQ(t.videoFrames, 20);
}

TEST(LocalMedia, GarbageFailsAndLeavesTheSourceEmpty) {
  test::TempDir dir;
  std::string noise;
  for (int i = 0; i < 50000; ++i) noise.push_back(static_cast<char>((i * 7919) ^ (i >> 3)));
  MediaSource source;
  EXPECT_FALSE(source.openLocal(dir.write("noise.mp4", noise)));
  EXPECT_FALSE(source.isOpen());
  EXPECT_FALSE(source.openLocal(dir.file("missing.mp4")));
  EXPECT_FALSE(source.openLocal(dir.write("empty.mkv", "")));
  PacketGuard pkt;
  EXPECT_EQ(source.readPacket(pkt.p), 0);
  EXPECT_FALSE(source.seek(1.0));
  MediaInfo info = source.info();
  EXPECT_EQ(info.videoStream, -1);
  EXPECT_EQ(info.duration, 0.0);
}

TEST(LocalMedia, TruncatedAndDamagedFilesReadToAnEndWithoutCrashing) {
  std::string whole = test::mediaBytes(test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 -c:v libx264 "
      "-preset ultrafast -c:a aac -movflags +faststart",
      "mp4"));
  test::TempDir dir;
  // Cut in the middle of the media data: it opens (the index is in front) and reads stop.
  std::string cut = dir.write("cut.mp4", whole.substr(0, whole.size() / 2));
  // Overwrite a band of the media data with noise.
  std::string damaged = whole;
  for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 4000; ++i) damaged[i] = static_cast<char>(i * 31);
  std::string dmg = dir.write("damaged.mp4", damaged);
  for (const std::string& path : {cut, dmg}) {
    MediaSource source;
    if (!source.openLocal(path)) continue;  // refusing is a fine outcome too
    VideoDecoder video;
    AudioDecoder audio;
    video.open(source.videoStreamParameters(), false);
    audio.open(source.audioStreamParameters(), 48000, 2);
    DecodeTally t = decodeAll(source, &video, &audio);
    EXPECT_LE(t.videoFrames, 25) << path;
  }
}

TEST(LocalMedia, SeekLandsNearTheTarget) {
  std::string path = test::h264AacMp4(3.0, 160, 120, 25);
  MediaSource source;
  ASSERT_TRUE(source.openLocal(path));
  VideoDecoder video;
  ASSERT_TRUE(video.open(source.videoStreamParameters(), false));
  ASSERT_TRUE(source.seek(2.0));
  video.flush();
  VideoFrame frame;
  ASSERT_TRUE(firstVideoFrame(source, video, frame));
  // Seeks land on the key frame at or before the target (one per second here).
  EXPECT_GE(frame.pts, 0.99);
  EXPECT_LE(frame.pts, 2.01);
}

TEST(AudioDecoder, SpeedIsAppliedByTheResamplerRate) {
  MediaSource source;
  ASSERT_TRUE(source.openLocal(test::sineMp3(1.0)));
  AudioDecoder audio;
  ASSERT_TRUE(audio.open(source.audioStreamParameters(), 48000, 2));
  EXPECT_EQ(audio.resamplerRate(), 48000);
  int builds = audio.resamplerBuilds();
  audio.setSpeed(0.1);
  EXPECT_EQ(audio.resamplerRate(), 192000);  // 480000 is cut
  audio.setSpeed(4.0);
  EXPECT_EQ(audio.resamplerRate(), 12000);
  audio.setSpeed(10.0);  // clamped to 4: same speed, no rebuild
  audio.setSpeed(4.0005);
  EXPECT_EQ(audio.resamplerBuilds(), builds + 2);
  audio.setSpeed(2.0);
  EXPECT_EQ(audio.resamplerRate(), 24000);
  audio.setSpeed(2.0);
  EXPECT_EQ(audio.resamplerBuilds(), builds + 3);

  // At speed 2 a second of input yields half a second of output frames.
  DecodeTally t = decodeAll(source, nullptr, &audio);
  EXPECT_NEAR(static_cast<double>(t.audioSamples), 24000.0, 1500.0);
}

TEST(AudioDecoder, MonoIsSpreadOverTheOutputChannels) {
  MediaSource source;
  ASSERT_TRUE(source.openLocal(test::makeMedia("-f lavfi -i sine=frequency=1000:duration=0.5 -ac 1 -c:a pcm_s16le", "wav")));
  AudioDecoder audio;
  ASSERT_TRUE(audio.open(source.audioStreamParameters(), 48000, 2));
  PacketGuard pkt;
  AudioChunk chunk;
  ASSERT_EQ(source.readPacket(pkt.p), 1);
  audio.sendPacket(pkt.p);
  ASSERT_TRUE(audio.receive(chunk));
  EXPECT_EQ(chunk.channels, 2);
  EXPECT_EQ(chunk.sampleRate, 48000);
  double energy = 0;
  for (size_t i = 0; i + 1 < chunk.samples.size(); i += 2) {
    EXPECT_FLOAT_EQ(chunk.samples[i], chunk.samples[i + 1]);
    energy += chunk.samples[i] * chunk.samples[i];
  }
  EXPECT_GT(energy, 0.0);
}

// Channel 0's frequency over output samples [begin, end) of interleaved stereo at 48 kHz.
double toneFrequency(const std::vector<float>& pcm, size_t begin, size_t end) {
  std::vector<double> up;
  for (size_t f = begin + 1; f < end && 2 * f < pcm.size(); ++f)
    if (pcm[2 * (f - 1)] < 0 && pcm[2 * f] >= 0) up.push_back(static_cast<double>(f));
  return up.size() < 3 ? 0 : (up.size() - 1) / ((up.back() - up.front()) / 48000.0);
}

TEST(AudioDecoder, FormatChangesMidStreamKeepLengthAndPitch) {
  // MP3 frames can be joined byte for byte: stereo 44.1 kHz, then mono 48 kHz.
  std::string a = test::makeMedia(
      "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 -ac 2 -c:a libmp3lame -write_xing 0", "mp3");
  std::string b = test::makeMedia(
      "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=1 -ac 1 -c:a libmp3lame -write_xing 0", "mp3");
  test::TempDir dir;
  std::string joined = dir.write("joined.mp3", test::mediaBytes(a) + test::mediaBytes(b));
  MediaSource source;
  ASSERT_TRUE(source.openLocal(joined));
  AudioDecoder audio;
  ASSERT_TRUE(audio.open(source.audioStreamParameters(), 48000, 2));
  std::vector<float> pcm = decodeAll(source, nullptr, &audio).pcm;
  EXPECT_NEAR(pcm.size() / 2.0, 96000.0, 4000.0);
  EXPECT_NEAR(toneFrequency(pcm, 10000, 40000), 440.0, 5.0);  // first part
  EXPECT_NEAR(toneFrequency(pcm, 60000, 90000), 440.0, 5.0);  // second part
}

TEST(VideoDecoder, FrameWithoutPtsKeepsThePreviousValue) {
  VideoFrame frame;
  frame.pts = 12.5;
  VideoDecoder closed;
  EXPECT_FALSE(closed.receiveFrame(frame));
  EXPECT_EQ(frame.pts, 12.5);
  EXPECT_FALSE(closed.open(nullptr, true));
}

}  // namespace
}  // namespace vell
