#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/PopupMenu.h"
#include "platform/QuitSignal.h"
#include "platform/Window.h"

namespace vell {
namespace {

// A box or a menu up inside the running loop when the process is told to end gives way at
// once (the escape answer) and the quit still reaches the loop afterwards; the owner paints
// all the while. (Outside the loop, as for the start-up failure box, the signal ends the
// process: QuitSignalTest.)
TEST(MessageBox, QuitRequestEndsTheBoxOrMenu) {
  installQuitHandling();
  setQuitSignalsToLoop(true);
  struct Row {
    const char* what;
    std::function<bool(Window&, int& paints)> run;  // true when it gave the escape answer
  } rows[] = {
      {"message box",
       [](Window& owner, int&) {
         return showMessageBox("스트림 URL을 추가합니다:\n\nhttp://radio.example/live\n\n이 URL을 라디오에 추가할까요?",
                               "스트림 추가", MessageButtons::OkCancel, MessageIcon::Question,
                               owner.handle()) == MessageAnswer::Cancel;
       }},
      {"popup menu",
       [](Window& owner, int& paints) {
         PopupMenuHost host;
         host.owner = owner.handle();
         host.tick = [&paints] { ++paints; };
         return trackPopupMenu({MenuItem::command("열기", 1), MenuItem::command("닫기", 2)}, 20, 20, host) == 0;
       }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
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
    EXPECT_TRUE(r.run(*owner, paints));
    terminator.join();
    EXPECT_GT(paints, 2);
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
