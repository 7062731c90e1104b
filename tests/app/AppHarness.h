#pragma once
// The fixture the App tests share: an App over a fresh folder with default settings, a hidden
// window when a test needs one, and the App's loop played by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace vell::test {

struct AppHarness : ::testing::Test {
  TempDir dir;
  App app{dir.path()};

  void SetUp() override { settings() = Settings{}; }
  void TearDown() override { setMessageBoxAnswerer(nullptr); }

  void openWindow(int w, int h) {
    WindowOptions o;
    o.hidden = true;
    ASSERT_TRUE(app.window.create("test", w, h, o));
  }
  // Hands posted messages to the App, as its loop does, until `done` or the time is up.
  void pump(int ms, const std::function<bool()>& done = nullptr) {
    for (uint32_t start = tickCount(); tickCount() - start < static_cast<uint32_t>(ms);) {
      WindowEvent e;
      if (app.window.waitEvent(e, 10) && e.type == WindowEvent::User) app.onMessage(e.code);
      if (done && done()) return;
    }
  }
  // The App's periodic work at the paint rate, for `ms`.
  void tickFor(uint32_t ms) {
    for (uint32_t start = tickCount(); tickCount() - start < ms;) {
      app.tickWork();
      sleepMs(16);
    }
  }
};

// With a hidden W x H window from the start.
template <int W, int H>
struct WindowedAppHarness : AppHarness {
  void SetUp() override {
    AppHarness::SetUp();
    openWindow(W, H);
  }
};

}  // namespace vell::test
