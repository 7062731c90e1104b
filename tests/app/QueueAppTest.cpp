// Queue and saved-state faults met through the App: repeat, duplicates, failed opens.
#include <gtest/gtest.h>

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "support/Media.h"
#include "AppHarness.h"

namespace vell {
namespace {

struct QueueApp : test::AppHarness {
  void playToEnd() {
    for (uint32_t t0 = tickCount(); !app.player.ended() && tickCount() - t0 < 8000;) {
      app.player.syncTick();
      sleepMs(16);
    }
    ASSERT_TRUE(app.player.ended());
  }
};

TEST_F(QueueApp, RepeatOneOfAFileAutosavedNearItsEndStartsAtZero) {
  std::string file = test::sineMp3(6.0);
  app.history.update(file, 4.5, 6.0);  // what the periodic save left
  app.playlist.repeatMode = 2;
  app.openPath(file);
  EXPECT_EQ(app.toastText, "0:04부터 이어보기");  // the user's open still resumes
  playToEnd();
  app.toastText.clear();
  app.onMessage(kMsgMediumEnded);
  EXPECT_NEAR(app.history.position(file), app.player.duration(), 0.01);  // finished: nothing to resume
  tickFor(300);
  EXPECT_LT(app.player.position(), 2.0);
  EXPECT_EQ(app.toastText, "");
  app.player.close();
}

TEST_F(QueueApp, TheEntryOpenedFromTheQueueIsCurrentWhenTheFileIsQueuedTwice) {
  std::string file = test::sineMp3(1.0);
  app.playlist.addFile(file);
  app.playlist.addFile(file);
  app.playItem(1);
  EXPECT_EQ(app.playlist.currentIndex(), 1);
  app.player.close();
}

struct FailedOpen : test::WindowedAppHarness<640, 400> {};

TEST_F(FailedOpen, MissingFolderOrCorruptFileShowsTheFailureScreenNotTheName) {
  std::string corrupt = dir.write("corrupt.mp4", std::string(8192, 'x'));
  for (const std::string& path : {dir.file("missing.mp3"), dir.path(), corrupt}) {
    app.openPath(path);
    EXPECT_EQ(app.window.title(), "Vell Player") << path;
    EXPECT_TRUE(app.currentPath.empty()) << path;
    EXPECT_TRUE(app.retryOffered) << path;
    EXPECT_EQ(app.lastAttempt.name, displayName(path)) << path;
  }
}

}  // namespace
}  // namespace vell
