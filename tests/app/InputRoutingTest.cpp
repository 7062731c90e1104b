// Input shared by the pieces on top of the window: the stream browser's search, the input
// dialog, the settings panel and the help overlay. Which one a click or key reaches, and
// whether text input stays on exactly while something takes typing.
#include <gtest/gtest.h>

#include <functional>

#include "app/App.h"
#include "platform/VirtualKeys.h"
#include "render/OverlayLayout.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace vell {
namespace {

struct InputRouting : ::testing::Test {
  test::TempDir dir;
  void SetUp() override { settings() = Settings{}; }
};

void key(App& a, int k, bool ctrl = false) { a.onKeyDown(k, ctrl, false, false); }
void click(App& a, const RectF& r) { a.onMouseDown(int((r.left + r.right) / 2), int((r.top + r.bottom) / 2), 1); }
InputLayout urlDialog() { return computeInputLayout(1000, 700, false); }

TEST_F(InputRouting, TypingAndClicksReachTheTopPiece) {
  struct Row {
    const char* what;
    std::function<void(App&)> act;
    bool browser, input, settingsPanel, help, textInput;
    std::function<bool(App&)> also = nullptr;
  } rows[] = {
      {"a file opened from the browser ends its typing",
       [](App& a) { key(a, 'R'), a.openPath(a.paths.dataDir + "/missing.mp3"); }, false, false, false, false, false},
      {"closing the dialog keeps the browser's typing",
       [](App& a) { key(a, 'R'), key(a, 'U', true), key(a, vk::Escape); }, true, false, false, false, true},
      {"closing the browser keeps the dialog's typing",
       [](App& a) { key(a, 'R'), key(a, 'U', true), a.toggleStreamBrowser(false); }, false, true, false, false, true},
      {"a click on the dialog's field over the settings panel stays in the dialog",
       [](App& a) { a.openSettingsPanel(), key(a, 'U', true), click(a, urlDialog().urlBox); }, false, true, true,
       false, true},
      {"a click on the dialog's Cancel over the settings panel closes the dialog alone",
       [](App& a) { a.openSettingsPanel(), key(a, 'U', true), click(a, urlDialog().cancel); }, false, false, true,
       false, false},
      {"compact view hides the browser and ends its typing",
       [](App& a) { key(a, 'R'), a.toggleCompactView(); }, true, false, false, false, false},
      {"compact view hides the browser: its keys reach the key table again",
       [](App& a) { key(a, 'R'), a.toggleCompactView(), key(a, 'M'), key(a, '0'); }, true, false, false, false, true,
       [](App& a) { return !a.compactView && a.player.muted() && a.streamBrowser.searchText.empty(); }},
      {"a pointer that leaves the window leaves nothing highlighted",
       [](App& a) {
         a.openSettingsPanel(), a.onMouseMove(900, 200);
         EXPECT_GE(a.settingsHover, 0);
         a.onMouseLeave();
       },
       false, false, true, false, false, [](App& a) { return a.settingsHover == -1; }},
      {"a click on the help overlay hides it and nothing under it",
       [](App& a) { key(a, 'U', true), a.helpVisible = true, click(a, urlDialog().cancel); }, false, true, false,
       false, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    App app{dir.path()};
    WindowOptions o;
    o.hidden = true;
    ASSERT_TRUE(app.window.create("test", 1000, 700, o));
    ASSERT_FALSE(app.window.textInputActive());
    r.act(app);
    EXPECT_EQ(app.browserOpen, r.browser);
    EXPECT_EQ(app.inputOpen, r.input);
    EXPECT_EQ(app.settingsPanelOpen, r.settingsPanel);
    EXPECT_EQ(app.helpVisible, r.help);
    EXPECT_EQ(app.window.textInputActive(), r.textInput);
    if (r.also) EXPECT_TRUE(r.also(app));
    if (app.inputOpen) {
      app.onTextInput("x");  // typing goes to the dialog, never to the search behind it
      EXPECT_EQ(app.urlEdit->edit.text(), "x");
      EXPECT_TRUE(app.streamBrowser.searchText.empty());
    }
  }
}

}  // namespace
}  // namespace vell
