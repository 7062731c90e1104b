// Tests of video-site pages: the yt-dlp resolver (the site's pages, finding the tool, its output
// and cancels) and the pages played, picture and sound from separate streams as one medium.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

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

using test::fakeTool;

TEST(Resolver, RecognisesPagesOfTheSite) {
  for (const char* page : {"https://www.youtube.com/watch?v=abc", "https://youtu.be/abc", "https://youtube.com/shorts/abc",
                           "https://m.youtube.com/live/abc", "https://music.youtube.com/watch?v=1"})
    EXPECT_TRUE(YtDlpResolver::isVideoSitePage(page)) << page;
  for (const char* other : {"https://www.youtube.com", "https://www.youtube.com/", "https://YOUTU.BE/abc"})
    EXPECT_FALSE(YtDlpResolver::isVideoSitePage(other)) << other;
}

TEST(Resolver, ToolBesideTheProgramWinsOverTheSearchPath) {
  test::TempDir program, path;
  std::string onPath = fakeTool(path, "yt-dlp", "exit 0");
  EXPECT_EQ(YtDlpResolver::findYtDlp(program.path(), test::searchPath({"/nonexistent", path.path()})), onPath);
  std::string beside = fakeTool(program, "yt-dlp", "exit 0");
  EXPECT_EQ(YtDlpResolver::findYtDlp(program.path(), path.path()), beside);
  EXPECT_EQ(YtDlpResolver::findYtDlp("/nonexistent", "/nonexistent"), "");
}

// The page goes as one argument after "--", with UTF-8 asked for; warnings on standard error
// are logged, and only standard output is parsed: the title, then one URL with picture and
// sound, or the video's and the audio's (the same address twice is one input).
TEST(Resolver, PassesThePageAsOneArgumentAndParsesStandardOutputOnly) {
  test::TempDir dir;
  test::LogCapture log;
  struct Row { const char* printed; const char* media; const char* audio; } rows[] = {
      {"Title\\r\\nhttp://media/x\\n", "http://media/x", ""},
      {"Title\\nhttp://video/x\\nhttp://audio/x\\nhttp://more\\n", "http://video/x", "http://audio/x"},
      {"Title\\nhttp://dash/m.mpd\\nhttp://dash/m.mpd\\n", "http://dash/m.mpd", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.printed);
    std::string tool = fakeTool(dir, "yt-dlp", "printf '%s\\n' \"$@\" > '" + dir.file("args.txt") +
                                                   "'\necho 'WARNING: old version' >&2\nprintf '" + row.printed + "'");
    ResolvedPage page;
    EXPECT_EQ(YtDlpResolver(tool).resolve("-f evil 'page' with spaces", page), row.media);
    EXPECT_EQ(page.audioUrl, row.audio);
    EXPECT_EQ(page.title, "Title");
    std::string args = dir.read("args.txt");
    EXPECT_NE(args.find("\n--encoding\nutf-8\n"), std::string::npos) << args;
    EXPECT_EQ(args.substr(args.find("\n--\n")), "\n--\n-f evil 'page' with spaces\n");
  }
  EXPECT_EQ(log.count("WARNING: old version"), 3);
}

// The screen's height bounds the picture asked for, between 1080 and 2160 lines; AV1 only
// where a software decoder reads it.
TEST(Resolver, FormatChoiceFollowsTheScreenAndTheDecoders) {
  EXPECT_EQ(YtDlpResolver::formatChoice(1440, true),
            "bv*[height<=1440][vcodec~='^(avc1|vp0?9|av01)'][dynamic_range=?SDR]+ba/bv*[height<=1440]+ba/"
            "b[height<=1440]/b");
  for (auto [screen, limit] : {std::pair{0, "[height<=1080]"}, {768, "[height<=1080]"}, {4320, "[height<=2160]"}})
    EXPECT_NE(YtDlpResolver::formatChoice(screen, false).find(std::string("bv*") + limit + "[vcodec~='^(avc1|vp0?9)']"),
              std::string::npos) << screen;
}

TEST(Resolver, FirstAttemptThenPlainBestThenFailure) {
  test::TempDir dir;
  test::LogCapture log;
  ResolvedPage page;
  // Succeeds only when asked for the plain best format; a second URL then is not a sound.
  std::string tool =
      fakeTool(dir, "yt-dlp", "[ \"$3\" = best ] || exit 1\necho 'Fallback title'\necho https://cdn/v.mp4\necho https://cdn/a");
  EXPECT_EQ(YtDlpResolver(tool).resolve("https://youtu.be/x", page), "https://cdn/v.mp4");
  EXPECT_EQ(page.title, "Fallback title");
  EXPECT_EQ(page.audioUrl, "");
  EXPECT_EQ(YtDlpResolver(fakeTool(dir, "failing", "echo http://not-used; exit 2")).resolve("https://youtu.be/x", page), "");
  EXPECT_EQ(page.mediaUrl, "");
  EXPECT_EQ(YtDlpResolver(dir.file("absent")).resolve("https://youtu.be/x", page), "");
  for (const char* line : {"yt-dlp fallback: https://cdn/v.mp4", "yt-dlp resolution failed", "yt-dlp not found"})
    EXPECT_EQ(log.count(line), 1) << line;
}

// Gone, or dead and waiting for its new parent to reap it.
bool processGone(const std::string& pid) {
  std::ifstream stat(test::hostFile("/proc/" + pid + "/stat"));
  std::string line;
  if (!std::getline(stat, line)) return true;
  size_t paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z';
}

TEST(Resolver, CancelEndsAHangingToolWithItsChildrenAndEndlessOutputIsCut) {
  test::TempDir dir;
  // Like a single-file build of the tool: the real work runs in a second process.
  YtDlpResolver hang(fakeTool(dir, "hang", "sleep 30 &\necho $! > '" + dir.file("child.pid") + "'\nwait"));
  std::atomic<bool> cancel{false};
  std::thread canceller([&] {  // once the tool hangs: starting one takes long under wine
    test::waitFor([&] { return dir.read("child.pid").find('\n') != std::string::npos; }, 5000);
    cancel = true;
  });
  uint32_t t0 = tickCount();
  ResolvedPage page;
  EXPECT_EQ(hang.resolve("https://youtu.be/x", page, &cancel), "");
  canceller.join();
  EXPECT_LT(tickCount() - t0, 1500u);
  std::string child = dir.read("child.pid");
  child = child.substr(0, child.find('\n'));
  ASSERT_FALSE(child.empty());
  EXPECT_TRUE(test::waitFor([&] { return processGone(child); }, 1000)) << "the tool's own child outlived it";

  YtDlpResolver noisy(fakeTool(dir, "chatty", "yes http://spam"));
  noisy.limits.maxOutputBytes = 64 * 1024;
  t0 = tickCount();
  EXPECT_EQ(noisy.resolve("https://youtu.be/x", page), "");
  EXPECT_LT(tickCount() - t0, 5000u);
}

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
       fakeTool(dir, "apart", "case \"$3\" in *+ba*) printf 'Clip\\n%s\\n%s\\n' '" + server.url("/v") + "' '" +
                                        server.url("/a") + "';; *) exit 1;; esac"),
       {"/v", "/a"}},
      {"one stream with both", fakeTool(dir, "combined", "printf 'Clip\\n%s\\n' '" + server.url("/both") + "'"),
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
  YtDlpResolver resolver(fakeTool(dir, "yt-dlp", "PATH=/usr/bin:/bin exec /usr/bin/yt-dlp \"$@\""));
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
