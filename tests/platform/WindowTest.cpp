// The window's behaviour with real windows: frame drags, quit signals, wheel, keys and posted tasks.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/Clock.h"
#include "platform/FrameDrag.h"
#include "platform/MessageBox.h"
#include "platform/PopupMenu.h"
#include "platform/QuitSignal.h"
#include "platform/VirtualKeys.h"
#include "platform/Window.h"
#include "support/NativeInput.h"
#include "support/QuitRequest.h"

namespace vell {
namespace {

// A caption or border press moves or sizes the window only past the threshold; the opposite edge stays.
TEST(FrameDrag, FollowsOnlyRealMovementAndKeepsTheOppositeEdge) {
  const Rect start{100, 100, 800, 600};
  const std::tuple<HitCode, int, int, bool, Rect> cases[] = {  // press, pointer move, follows, new rectangle
      {HitCode::Caption, 3, -4, false, {}},  // a click that wobbles
      {HitCode::Caption, -40, 30, true, {60, 130, 800, 600}},
      {HitCode::Left, -30, 0, true, {70, 100, 830, 600}},
      {HitCode::Left, 500, 0, true, {420, 100, 480, 600}},  // stops at the minimum width
      {HitCode::BottomRight, 20, 10, true, {100, 100, 820, 610}},
      {HitCode::TopLeft, 10, 400, true, {110, 380, 790, 320}},
      {HitCode::Client, 50, 50, false, {}},
  };
  for (const auto& [code, dx, dy, follows, expected] : cases) {
    FrameDrag d;
    d.press(code, 500, 500, start, 480, 320);
    Rect r;  // left as it was when the window does not follow
    EXPECT_EQ(d.follow(500 + dx, 500 + dy, true, r), follows) << static_cast<int>(code);
    EXPECT_EQ(std::tie(r.x, r.y, r.w, r.h), std::tie(expected.x, expected.y, expected.w, expected.h));
    EXPECT_FALSE(d.follow(550, 550, false, r));  // the release went elsewhere: the drag is over
    EXPECT_FALSE(d.active());
  }
}

// Inside the message loop a quit request (SIGTERM; the console's Ctrl+C on Windows) is the
// window's Quit event; outside it (the start-up failure box) or while something holds the loop
// without reading its events, the request still ends the program.
TEST(QuitSignal, QuitsTheLoopAndOtherwiseEndsTheProgram) {
  for (bool modalInLoop : {false, true}) {
    char answer = 0;
    bool ended = false;
    ASSERT_TRUE(test::quitChildProcess(
        [modalInLoop] {
          Window window;
          installQuitHandling();
          if (!window.create("t", 64, 64, WindowOptions{.hidden = true})) return '2';
          setQuitSignalsToLoop(true);
          test::raiseQuitRequest();  // on Windows it comes on a thread of its own
          WindowEvent e;
          bool quit = false;
          for (uint32_t start = tickCount(); !quit && tickCount() - start < 800;)
            quit = window.waitEvent(e, 100) && e.type == WindowEvent::Quit;
          setQuitSignalsToLoop(modalInLoop);  // then a box that never reads the loop's events
          return quit ? 'q' : '-';
        },
        answer, ended));
    EXPECT_EQ(answer, 'q');
    EXPECT_TRUE(ended) << "modal in loop " << modalInLoop;
  }
}

// A box or a menu up inside the running loop gives way at once (the escape answer) and the quit
// reaches the owner's loop, during the box or the menu or right after it; the owner paints all
// the while. Every way the system asks: on Windows the session's end too, which runs the
// owner's loop before it returns.
TEST(QuitSignal, EndsTheMessageBoxOrMenuAndReachesTheLoop) {
  ASSERT_TRUE(test::canRaiseQuitRequest());
  installQuitHandling();
  setQuitSignalsToLoop(true);
  for (const test::QuitRequest& request : test::quitRequests()) {
    for (bool menu : {false, true}) {
      SCOPED_TRACE(request.name + (menu ? ", popup menu" : ", message box"));
      Window owner;
      ASSERT_TRUE(owner.create("owner", 400, 300, WindowOptions{.hidden = true}));
      std::atomic<int> paints{0};
      bool quit = false;
      owner.setModalLoop([&](int maxWaitMs) {
        ++paints;
        WindowEvent e;
        quit = quit || (owner.waitEvent(e, maxWaitMs) && e.type == WindowEvent::Quit);
        return !quit;
      });
      owner.setModalTick([&] {
        ++paints;
        return !quit;
      });
      const PopupMenuHost host{.owner = owner.handle(), .tick = [&] { ++paints; }, .style = {}};
      // The request comes once the box's loop runs (a loaded machine is slow to open it).
      std::thread terminator([&] {
        for (uint32_t start = tickCount(); paints < 3 && tickCount() - start < 10000;) sleepMs(10);
        request.raise(owner.handle());
      });
      if (menu)
        EXPECT_EQ(trackPopupMenu({MenuItem::command("열기", 1), MenuItem::command("닫기", 2)}, 20, 20, host), 0);
      else
        EXPECT_EQ(showMessageBox("이 URL을 라디오에 추가할까요?\n\nhttp://radio.example/live", "스트림 추가",
                                 MessageButtons::OkCancel, MessageIcon::Question, owner.handle()),
                  MessageAnswer::Cancel);
      terminator.join();
      EXPECT_GE(paints, 3);
      WindowEvent e;
      for (uint32_t start = tickCount(); !quit && tickCount() - start < 1000;)
        quit = owner.waitEvent(e, 20) && e.type == WindowEvent::Quit;
      EXPECT_TRUE(quit);
    }
  }
  setQuitSignalsToLoop(false);
}

// What the window hands on of the events waiting: "+"/"-" a wheel notch, "k<key>" and "a<key>" a key
// without and with Alt, "Q" a quit.
std::string takeEvents(Window& window) {
  std::string got;
  WindowEvent e;
  while (window.waitEvent(e, 50)) {
    if (e.type == WindowEvent::MouseWheel) got += e.wheel > 0 ? "+" : "-";
    if (e.type == WindowEvent::KeyDown) got += (e.alt ? "a" : "k") + std::to_string(e.key);
    if (e.type == WindowEvent::Quit) got += "Q";
  }
  return got;
}

// Work posted from another thread wakes the loop and runs there, in order; work for a window
// that is gone is dropped unrun with what it owns, even once another window has opened.
TEST(Window, PostedTasksRunOnTheLoopAndAreDroppedOnceTheirWindowIsGone) {
  Window first;
  ASSERT_TRUE(first.create("t", 200, 150, WindowOptions{.hidden = true}));
  std::vector<int> ran;
  std::thread([&ran] {
    Window::postTask([&ran] { ran.push_back(1); });
    Window::postTask([&ran] { ran.push_back(2); });
  }).join();
  for (uint32_t start = tickCount(); ran.size() < 2 && tickCount() - start < 3000;) {
    WindowEvent e;
    if (first.waitEvent(e, 10) && e.type == WindowEvent::User && e.code == Window::kRunTasks) first.runTasks();
  }
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));

  auto owned = std::make_shared<int>(0);
  const Window::TaskTarget gone = first.taskTarget();
  EXPECT_TRUE(Window::postTask([&ran, owned] { ran.push_back(3); }));  // still waiting when the window goes
  first.destroy();
  Window second;
  ASSERT_TRUE(second.create("t", 200, 150, WindowOptions{.hidden = true}));
  EXPECT_FALSE(Window::postTask([&ran, owned] { ran.push_back(4); }, gone));
  EXPECT_EQ(owned.use_count(), 1);
  second.runTasks();
  EXPECT_EQ(ran.size(), 2u);
}

// A touchpad's small wheel movements count once they add up to a notch, and start again when
// the direction turns; a fast turn is several notches. Alt with a letter is the program's key,
// without the system's menu (and its beep); Alt alone leaves the keyboard where it was; Alt+F4
// closes the window.
TEST(Window, WheelPartsAddUpToNotchesAndAltKeysReachTheProgram) {
  Window window;
  ASSERT_TRUE(window.create("t", 200, 150, WindowOptions{.hidden = true}));
  const std::pair<int, const char*> turns[] = {
      {30, ""}, {30, ""}, {30, ""}, {30, "+"}, {60, ""}, {-30, ""}, {-90, "-"}, {240, "++"},
      {-100, ""}, {-100, "-"}, {-100, "-"}, {50, ""}, {70, "+"}, {-120, "-"},
  };
  int i = 0;
  for (const auto& [delta, notches] : turns) {
    test::turnWheel(window.handle(), delta);
    EXPECT_EQ(takeEvents(window), notches) << "turn " << i++ << ": " << delta;
  }
  const int f4 = vk::F1 + 3;
  const std::tuple<int, std::string> presses[] = {
      {'S', "a" + std::to_string('S')}, {0, ""}, {'D', "a" + std::to_string('D')}, {f4, "Q"}};
  for (const auto& [key, events] : presses) {
    EXPECT_FALSE(test::pressWithAlt(window.handle(), key)) << key;
    EXPECT_EQ(takeEvents(window), events) << key;
  }
}

}  // namespace
}  // namespace vell
