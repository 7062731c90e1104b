// Tests of the yt-dlp resolver: the site's pages, finding the tool, its output and cancels.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/YtDlpResolver.h"
#include "support/EngineFixtures.h"

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

}  // namespace
}  // namespace vell
