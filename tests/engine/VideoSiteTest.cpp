// Tests of video-site pages played: the picture and the sound from separate streams as one medium.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/ConnectJob.h"
#include "engine/YtDlpResolver.h"
#include "platform/Files.h"
#include "support/DiskAudio.h"
#include "support/EngineFixtures.h"
#include "support/FakeTool.h"
#include "support/HttpServer.h"
#include "support/Media.h"

namespace vell {
namespace {

// A tone that rises by 100 Hz each second (300 Hz in the first): which second is heard.
const std::string kSteppedTone = "-f lavfi -i 'aevalsrc=0.5*sin(2*PI*(300+100*floor(t))*t):s=48000:d=6'";
const std::string kPicture = "-f lavfi -i testsrc2=size=160x120:rate=25:duration=6";
const std::string kH264 = " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 25";

// The stand-in tool answers as the real one does for a page whose site keeps picture and sound
// apart (two URLs for a merged choice) and for one with a single combined stream; the player
// takes the picture from one stream and the sound from the other, in sync, and a seek moves
// both to the same moment.
TEST(VideoSitePage, SeparateStreamsPlayAsOneMediumInSyncAndSeekTogether) {
  const std::string video = test::mediaBytes(test::makeMedia(kPicture + kH264, "mp4"));
  const std::string audio = test::mediaBytes(test::makeMedia(kSteppedTone + " -c:a aac -b:a 96k", "m4a"));
  const std::string both = test::mediaBytes(test::makeMedia(kPicture + " " + kSteppedTone + kH264 + " -c:a aac", "mp4"));
  test::HttpServer server([&](const test::HttpRequest& r, test::HttpConnection& c) {
    c.respondFile(r, r.target == "/v" ? video : r.target == "/a" ? audio : both, "video/mp4");
  });
  test::TempDir dir;
  struct Row { const char* name; std::string tool; std::vector<const char*> fetched; } rows[] = {
      {"video and audio apart",
       test::fakeTool(dir, "apart", "case \"$3\" in *+ba*) printf 'Clip\\n%s\\n%s\\n' '" + server.url("/v") + "' '" +
                                        server.url("/a") + "';; *) exit 1;; esac"),
       {"/v", "/a"}},
      {"one stream with both", test::fakeTool(dir, "combined", "printf 'Clip\\n%s\\n' '" + server.url("/both") + "'"),
       {"/both"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::DiskRun run;
    test::PlayerRun r;
    Player& p = r.player;
    ConnectJob job(p, "https://youtu.be/abc", false);
    YtDlpResolver resolver(row.tool);
    runConnectJob(job, resolver, nullptr);
    ASSERT_TRUE(job.success);
    EXPECT_EQ(job.title, "Clip");
    for (const char* path : row.fetched) EXPECT_GE(server.requestCount(path), 1u) << path;
    EXPECT_TRUE(p.hasVideo() && p.hasAudio());
    EXPECT_NEAR(p.duration(), 6.0, 0.1);
    EXPECT_FALSE(p.isLive());

    p.play();
    std::vector<double> clockErrors;
    double lagSum = 0;
    int timed = 0;
    r.paint(2000, false, [&](bool taken) {
      double heard = p.audioOutput().heardSeconds();
      if (heard > 0.3 && p.audioOutput().ringFill() > 0) clockErrors.push_back(std::fabs(p.position() - heard));
      if (!taken) return;
      lagSum += p.position() - r.slot.pts;
      ++timed;
    });
    ASSERT_GT(timed, 30);
    EXPECT_NEAR(lagSum / timed, 0.0, 0.03);
    ASSERT_FALSE(clockErrors.empty());
    std::nth_element(clockErrors.begin(), clockErrors.begin() + clockErrors.size() / 2, clockErrors.end());
    EXPECT_LT(clockErrors[clockErrors.size() / 2], 0.03);

    // Forward, then back (where sound read on from before could not serve).
    double at = 0;
    for (double target : {4.0, 1.0}) {
      p.seekTo(target);
      double firstPicture = -1;
      r.paint(700, false, [&](bool taken) {
        if (taken && firstPicture < 0 && std::fabs(p.position() - target) < 0.3) firstPicture = r.slot.pts;
      });
      at = p.position();
      EXPECT_NEAR(firstPicture, target, 0.1);
      EXPECT_TRUE(at > target + 0.2 && at < target + 0.95) << at;
    }
    p.close();
    // The last sound heard belongs to the second second, as the picture does.
    std::vector<float> pcm = run.samples();
    size_t end = pcm.size() / 2;
    while (end > 0 && pcm[2 * end - 2] == 0.0f) --end;
    ASSERT_GT(end, 48000u);
    EXPECT_NEAR(test::toneFrequency(pcm, end - 12000, end - 2400), 400, 20);
  }
}

// Debian's yt-dlp, given a segmented DASH manifest, names the manifest for the video and for
// the audio; the player opens that one address once and plays both from it. A build whose
// FFmpeg cannot read DASH fails at once instead.
TEST(VideoSitePage, RealToolOnADashManifestGivesOneAddressForBoth) {
  const std::string manifest = test::makeMedia(
      kPicture + " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=6" + kH264 +
          " -c:a aac -f dash -seg_duration 1 -init_seg_name 'vsdash-init-$RepresentationID$.m4s'"
          " -media_seg_name 'vsdash-$RepresentationID$-$Number%05d$.m4s'",
      "mpd");
  const std::string folder = std::filesystem::path(manifest).parent_path().string();
  test::HttpServer server([&](const test::HttpRequest& r, test::HttpConnection& c) {
    std::string name = r.target.substr(r.target.rfind('/') + 1), bytes;
    if (name.find("..") != std::string::npos || !readFile(folder + "/" + name, bytes)) {
      c.respond(404, "none");
      return;
    }
    c.respondFile(r, bytes, name.size() > 4 && name.substr(name.size() - 4) == ".mpd" ? "application/dash+xml" : "video/mp4");
  });
  test::TempDir dir;
  test::LogCapture log;
  const std::string address = server.url("/" + std::filesystem::path(manifest).filename().string());
  ResolvedPage page;
  // The host's tool on both targets (under wine the shell does not inherit a search path).
  YtDlpResolver resolver(test::fakeTool(dir, "yt-dlp", "PATH=/usr/bin:/bin exec /usr/bin/yt-dlp \"$@\""));
  resolver.limits.totalTimeoutMs = 60000;  // a cold start of the tool under a loaded machine
  ASSERT_EQ(resolver.resolve(address, page), address) << log.text;
  EXPECT_EQ(page.audioUrl, "");
  EXPECT_EQ(log.count("yt-dlp video: "), 0);
  EXPECT_EQ(log.count("yt-dlp muxed: " + address.substr(0, 80)), 1);

  const bool readsDash = av_find_input_format("dash") != nullptr;
  test::PlayerRun r;
  uint32_t t0 = tickCount();
  ASSERT_EQ(r.player.openUrl(page.mediaUrl, false, nullptr, page.title, page.audioUrl), readsDash);
  if (!readsDash) {
    EXPECT_LT(tickCount() - t0, 3000u);
    return;
  }
  EXPECT_TRUE(r.player.hasVideo() && r.player.hasAudio());
  r.player.play();
  int shown = 0;
  r.paint(1500, false, [&](bool taken) { shown += taken; });
  EXPECT_GT(shown, 20);
  EXPECT_GT(r.player.audioOutput().heardSeconds(), 0.8);
}

}  // namespace
}  // namespace vell
