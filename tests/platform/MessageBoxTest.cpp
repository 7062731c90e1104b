#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/QuitSignal.h"
#include "platform/Window.h"

namespace vell {
namespace {

// A box up when the process is told to end gives way at once (the escape answer) and the
// quit still reaches the program's loop afterwards. With an owner, the owner paints all the
// while; without one (the start-up failure box) the box brings up the display itself.
TEST(MessageBox, QuitRequestEndsTheBox) {
  installQuitHandling();
  setQuitSignalsToLoop(true);  // a box over the running program (before the loop a signal ends it)
  for (bool withOwner : {true, false}) {
    SCOPED_TRACE(withOwner ? "owned" : "before any window");
    auto owner = std::make_unique<Window>();
    WindowOptions o;
    o.hidden = true;
    ASSERT_TRUE(owner->create("owner", 400, 300, o));
    int paints = 0;
    owner->setModalPaint([&] { ++paints; });
    std::thread terminator([] {
      sleepMs(700);
      std::raise(SIGTERM);
    });
    MessageAnswer a = showMessageBox("스트림 URL을 추가합니다:\n\nhttp://radio.example/live\n\n이 URL을 라디오에 추가할까요?",
                                     "스트림 추가", MessageButtons::OkCancel, MessageIcon::Question,
                                     withOwner ? owner->handle() : nullptr);
    terminator.join();
    EXPECT_EQ(a, MessageAnswer::Cancel);
    EXPECT_EQ(paints > 2, withOwner);
    bool quit = false;
    WindowEvent e;
    for (uint32_t start = tickCount(); !quit && tickCount() - start < 1000;)
      if (owner->waitEvent(e, 20) && e.type == WindowEvent::Quit) quit = true;
    EXPECT_TRUE(quit);
  }
  setQuitSignalsToLoop(false);
}

}  // namespace
}  // namespace vell
