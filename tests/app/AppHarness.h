// Shared pieces of the App tests: the fixtures, a hidden window and the open pieces.
#pragma once
// The App tests' fixture: an App over a fresh folder with default settings, a hidden window when a
// test needs one, input as the window hands it over, and the loop played by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/PopupMenu.h"
#include "platform/VirtualKeys.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace vell::test {

inline void openHiddenWindow(App& a, int w, int h) {
  WindowOptions o;
  o.hidden = true;
  ASSERT_TRUE(a.window.create("test", w, h, o));
}

// What is open over the picture, one letter each or "-": the browser (r radio, p podcasts), the
// input dialog, the settings panel, help, the playlist panel, the quick-open bar.
inline std::string openPieces(const App& a) {
  return std::string() + (a.view.browserOpen ? (a.view.browserPodcastMode ? 'p' : 'r') : '-') + (a.input.open ? 'i' : '-') +
         (a.view.settingsOpen ? 's' : '-') + (a.view.helpVisible ? 'h' : '-') + (a.playlist.visible ? 'l' : '-') +
         (a.view.quickOpenVisible ? 'q' : '-');
}

// The menu item whose label is `label`, searched through every level; null when absent.
inline const MenuItem* find(const std::vector<MenuItem>& menu, const std::string& label) {
  for (const MenuItem& m : menu) {
    if (m.label == label) return &m;
    if (const MenuItem* inner = find(m.submenu, label)) return inner;
  }
  return nullptr;
}

// Only the marked items of a level: "label*" ticked, "label~" grey.
inline std::string marks(const std::vector<MenuItem>& items) {
  std::string out;
  for (const MenuItem& m : items)
    if (m.checked || m.grayed) out += (out.empty() ? "" : "|") + m.label + (m.checked ? "*" : "~");
  return out;
}

// The marks of submenu `label` and its number of rows ("marks of N"); "none" when it is absent.
inline std::string submenuMarks(const std::vector<MenuItem>& menu, const std::string& label) {
  const MenuItem* sub = find(menu, label);
  return sub ? marks(sub->submenu) + " of " + std::to_string(sub->submenu.size()) : "none";
}

// The window's pixels as the last paint left them, and the box of the picture in them: the run
// of pixels `inPicture` takes through the middle row, and through that run's middle column.
struct Shot {
  std::vector<uint32_t> pixels;
  int width = 0, height = 0, left = 0, top = 0, right = 0, bottom = 0;  // right and bottom past the box
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
  bool read(App& app, const std::function<bool(uint32_t)>& inPicture) {
    if (!app.renderer.readPixels(pixels, width, height) || width < 10) return false;
    const int y = height / 2;
    for (left = 0; left < width && !inPicture(at(left, y));) ++left;
    for (right = left; right < width && inPicture(at(right, y));) ++right;
    const int x = (left + right) / 2;
    for (top = y; top > 0 && inPicture(at(x, top - 1));) --top;
    for (bottom = y; bottom < height && inPicture(at(x, bottom));) ++bottom;
    return right > left;
  }
};

// A podcast feed of one episode, 첫 회.
inline const std::string kOneEpisodeFeed =
    "<rss><channel><item><title>첫 회</title><enclosure url=\"http://127.0.0.1:9/ep1.mp3\" "
    "type=\"audio/mpeg\"/></item></channel></rss>";

struct AppHarness : ::testing::Test {
  TempDir dir;
  App app{dir.path()};
  // Message boxes are answered with `answer`; each one asked is kept as "caption|text".
  MessageAnswer answer = MessageAnswer::No;
  std::vector<std::string> asked;

  void SetUp() override { settings() = Settings{}; }
  void TearDown() override { setMessageBoxAnswerer(nullptr); }

  void openWindow(int w, int h) { openHiddenWindow(app, w, h); }
  std::string open() const { return openPieces(app); }
  void answerBoxes() {
    setMessageBoxAnswerer([this](const std::string& text, const std::string& caption, MessageButtons) {
      asked.push_back(caption + "|" + text);
      return answer;
    });
  }
  void key(int k, bool ctrl = false, bool shift = false, bool alt = false) { app.onKeyDown(k, ctrl, shift, alt); }
  void click(int x, int y) { app.onMouseDown(x, y, 1); }
  void click(const RectF& r) { click(int((r.left + r.right) / 2), int((r.top + r.bottom) / 2)); }
  // Hands posted messages to the App, as its loop does, until `done` or the time is up.
  void pump(int ms, const std::function<bool()>& done = nullptr) {
    for (uint32_t start = tickCount(); tickCount() - start < static_cast<uint32_t>(ms);) {
      WindowEvent e;
      if (app.window.waitEvent(e, 10) && e.type == WindowEvent::User) app.onMessage(e.code);
      if (done && done()) return;
    }
  }
  void playToEnd() {
    for (uint32_t t0 = tickCount(); !app.player.ended() && tickCount() - t0 < 8000;) {
      app.player.syncTick();
      sleepMs(16);
    }
    ASSERT_TRUE(app.player.ended());
  }
  // The App's periodic work at the paint rate, for `ms` or until `done`; whether it is done.
  bool tickFor(uint32_t ms, const std::function<bool()>& done = nullptr) {
    for (uint32_t start = tickCount(); tickCount() - start < ms; sleepMs(16)) {
      app.tickWork();
      if (done && done()) return true;
    }
    return false;
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
