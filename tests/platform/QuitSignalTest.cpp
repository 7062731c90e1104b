#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/QuitSignal.h"
#include "platform/Window.h"

namespace vell {
namespace {

// Inside the message loop SIGTERM arrives as the window's Quit event. When the program is
// outside the loop (the start-up failure box is up) or something modal holds the loop and
// never reads its events, SIGTERM still ends the program.
TEST(QuitSignal, QuitsTheLoopAndOtherwiseEndsTheProgram) {
  for (bool modalInLoop : {false, true}) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
      Window window;
      WindowOptions o;
      o.hidden = true;
      installQuitHandling();
      if (!window.create("t", 64, 64, o)) _exit(2);
      setQuitSignalsToLoop(true);
      raise(SIGTERM);
      WindowEvent e;
      bool quit = window.waitEvent(e, 100) && e.type == WindowEvent::Quit;
      setQuitSignalsToLoop(modalInLoop);
      if (write(ready[1], quit ? "q" : "-", 1) != 1) _exit(3);
      for (int i = 0; i < 50; ++i) usleep(100000);  // a box that never reads the loop's events
      _exit(0);
    }
    close(ready[1]);
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    close(ready[0]);
    EXPECT_EQ(answer, 'q');
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "modal in loop " << modalInLoop << ": " << status;
  }
}

}  // namespace
}  // namespace vell
