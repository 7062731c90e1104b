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

// The page goes as one argument after "--"; warnings on standard error are logged, and only
// standard output is parsed: the first URL and the first other line.
TEST(Resolver, PassesThePageAsOneArgumentAndParsesStandardOutputOnly) {
  test::TempDir dir;
  test::LogCapture log;
  std::string tool = fakeTool(dir, "yt-dlp", "printf '%s\\n' \"$@\" > '" + dir.file("args.txt") +
                                                 "'\necho 'WARNING: old version' >&2\nprintf 'Title\\r\\nhttp://media/x\\nhttp://audio\\n'");
  std::string url, title;
  EXPECT_EQ(YtDlpResolver(tool).resolve("-f evil 'page' with spaces", url, title), "http://media/x");
  EXPECT_EQ(title, "Title");
  EXPECT_EQ(log.count("WARNING: old version"), 1);
  std::string args = dir.read("args.txt");
  EXPECT_EQ(args.substr(args.find("\n--\n")), "\n--\n-f evil 'page' with spaces\n");
}

TEST(Resolver, FirstAttemptMuxedThenPlainBestThenFailure) {
  test::TempDir dir;
  test::LogCapture log;
  std::string url, title;
  // Succeeds only when asked for the plain best format.
  std::string tool = fakeTool(dir, "yt-dlp", "[ \"$3\" = best ] || exit 1\necho 'Fallback title'\necho https://cdn/v.mp4");
  EXPECT_EQ(YtDlpResolver(tool).resolve("https://youtu.be/x", url, title), "https://cdn/v.mp4");
  EXPECT_EQ(title, "Fallback title");
  EXPECT_EQ(YtDlpResolver(fakeTool(dir, "failing", "echo http://not-used; exit 2")).resolve("https://youtu.be/x", url, title), "");
  EXPECT_EQ(url, "");
  EXPECT_EQ(YtDlpResolver(dir.file("absent")).resolve("https://youtu.be/x", url, title), "");
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
  std::string url, title;
  EXPECT_EQ(hang.resolve("https://youtu.be/x", url, title, &cancel), "");
  canceller.join();
  EXPECT_LT(tickCount() - t0, 1500u);
  std::string child = dir.read("child.pid");
  child = child.substr(0, child.find('\n'));
  ASSERT_FALSE(child.empty());
  EXPECT_TRUE(test::waitFor([&] { return processGone(child); }, 1000)) << "the tool's own child outlived it";

  YtDlpResolver noisy(fakeTool(dir, "chatty", "yes http://spam"));
  noisy.limits.maxOutputBytes = 64 * 1024;
  t0 = tickCount();
  EXPECT_EQ(noisy.resolve("https://youtu.be/x", url, title), "");
  EXPECT_LT(tickCount() - t0, 5000u);
}

}  // namespace
}  // namespace vell
