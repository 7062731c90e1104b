#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <thread>

#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

namespace vell {
namespace {

// A box up when the process is told to end gives way at once (the escape answer), and the
// owner's loop still sees the quit afterwards; the owner paints all the while.
TEST(MessageBox, QuitRequestEndsTheBoxAndReachesTheOwner) {
  if (const char* d = std::getenv("VELL_SCRATCH_X11")) setenv("SDL_VIDEODRIVER", d, 1);
  installQuitHandling();
  Window owner;
  WindowOptions o;
  o.hidden = std::getenv("VELL_SCRATCH_X11") == nullptr;
  ASSERT_TRUE(owner.create("owner", 400, 300, o));
  int paints = 0;
  owner.setModalPaint([&] { ++paints; });
  std::thread terminator([] {
    sleepMs(std::getenv("VELL_SCRATCH_X11") ? 4000 : 700);
    std::raise(SIGTERM);
  });
  MessageAnswer a = showMessageBox("스트림 URL을 추가합니다:\n\nhttp://radio.example/live\n\n이 URL을 라디오에 추가할까요?",
                                   "스트림 추가", MessageButtons::OkCancel, MessageIcon::Question, owner.handle());
  terminator.join();
  EXPECT_EQ(a, MessageAnswer::Cancel);
  EXPECT_GT(paints, 2);
  bool quit = false;
  WindowEvent e;
  for (uint32_t start = tickCount(); !quit && tickCount() - start < 1000;)
    if (owner.waitEvent(e, 20) && e.type == WindowEvent::Quit) quit = true;
  EXPECT_TRUE(quit);
}

}  // namespace
}  // namespace vell
