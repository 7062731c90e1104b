// The input dialog's uses and ways of closing, and which of the pieces on top of the window
// (browser search, dialog, settings panel, help) a click or key reaches.
#include <cstdlib>

#include "app/InputDialog.h"
#include "app/Menus.h"
#include "platform/Desktop.h"
#include "render/OverlayLayout.h"
#include "support/Env.h"
#include "AppHarness.h"

namespace vell {
namespace {

struct InputDialog : test::WindowedAppHarness<800, 600> {
  void SetUp() override {
    WindowedAppHarness::SetUp();
    Window::setClipboardText("");
  }
  InputLayout layout() const { return computeInputLayout(800, 600, !app.input.urlOnly); }
  void type(const std::string& text) { app.onTextInput(text); }
};

TEST_F(InputDialog, EveryWayOfClosingLeavesNoTrace) {
  std::function<void(InputDialog&)> closings[] = {
      [](InputDialog& t) { t.type("    "), t.key(vk::Return); },  // only spaces
      [](InputDialog& t) { t.key(vk::Escape); },
      [](InputDialog& t) { t.click(t.layout().cancel); },
      [](InputDialog& t) { t.click(5, 300); },  // outside
      [](InputDialog& t) { t.app.toggleFullscreen(); },
  };
  for (size_t i = 0; i < std::size(closings); ++i) {
    app.input.use = InputUse::AddToPlaylist;
    app.view.quickOpenVisible = true;  // the quick-open bar's second button opens it
    app.view.quickOpenAlpha = 1;
    click(350, app.computeLayout().controlBarTop - 30);
    ASSERT_EQ(open(), "-i----");
    float volume = app.player.volume();
    key(vk::Down);  // the dialog takes the keys: the volume stays
    if (i > 0) type("http://127.0.0.1:1/x");
    closings[i](*this);
    EXPECT_EQ(open(), "------") << i;
    EXPECT_EQ(std::tuple(app.input.use == InputUse::AddToPlaylist, app.input.urlEdit.get(), app.playlist.count(), app.connection.lastAttempt.url,
                         app.player.volume()),
              std::tuple(false, nullptr, 0, "", volume));
    if (app.view.fullscreen) app.toggleFullscreen();
  }
}

TEST_F(InputDialog, CatalogueAddressAndPlaylistUses) {
  // A radio with Enter in the URL field; the name field has the focus first, Tab moves on.
  app.openInputDialog(false, "", false);
  type("내 방송");
  key(vk::Tab);
  type("http://radio.example/tune.pls");
  key(vk::Return);
  const StreamEntry& added = app.catalog.radioStreams().at(0);  // the catalogue held none
  EXPECT_EQ(std::tuple(added.type, added.name, added.url), std::tuple(RADIO_PLS, "내 방송", "http://radio.example/tune.pls"));
  std::string id = added.id;
  app.openInputDialog(false, "", true);  // a podcast without a name, by the OK button
  click(layout().urlBox);
  type("https://feeds.example/show.xml");
  click(layout().ok);
  const StreamEntry& podcast = app.catalog.podcastStreams().at(0);
  EXPECT_EQ(std::tuple(podcast.type, podcast.name), std::tuple(PODCAST_RSS, "feeds.example"));
  app.openInputDialog(false, id, false);  // an edit: the URL selected, so typing replaces it
  EXPECT_EQ(app.input.nameEdit->text() + "|" + app.input.urlEdit->selectedText(), "내 방송|http://radio.example/tune.pls");
  type("http://radio.example/new.m3u8");
  key(vk::Return);
  EXPECT_EQ(app.catalog.findById(id)->url, "http://radio.example/new.m3u8");
  app.openInputDialog(false, id, false);  // deleted while its edit is open
  app.catalog.deleteUserStream(id);
  key(vk::Return);
  EXPECT_EQ(open() + app.toast.text, "------스트림을 찾을 수 없음");
  app.input.use = InputUse::NewCategory;  // a playlist category, then a URL into it
  app.openInputDialog(true);
  type("  재즈 ");
  key(vk::Return);
  EXPECT_EQ(app.playlist.categoryNames(), std::vector<std::string>{"재즈"});
  app.input.use = InputUse::AddToPlaylist;
  app.input.category = "재즈";
  app.openInputDialog(true);
  type("http://jazz.example:8000/live");
  key(vk::Return);
  ASSERT_EQ(app.playlist.count(), 1);
  const PlaylistItem& item = app.playlist.items()[0];
  EXPECT_EQ(std::tuple(item.isStream, item.title, item.category, app.playlist.visible),
            std::tuple(true, "jazz.example", "재즈", true));
  app.openInputDialog(true);  // an address typed in Hangul opens whole
  type("http://127.0.0.1:1/라디오 방송.mp3");
  key(vk::Return);
  EXPECT_EQ(std::tuple(app.input.open, app.connection.lastAttempt.url, app.connection.lastAttempt.name),
            std::tuple(false, "http://127.0.0.1:1/라디오 방송.mp3", "127.0.0.1"));
}

// Without a desktop file chooser every file command asks for a typed path instead.
TEST_F(InputDialog, TypedPathsStandInForTheFileChooser) {
  std::string ass = dir.write("cues.ass", "[Script Info]\n");
  std::string srt = dir.write("cues.srt", "1\n00:00:01,000 --> 00:00:02,000\n안녕\n");
  std::string media = dir.write("a.mp3", "");
  test::NoFileChooser none;
  ASSERT_FALSE(fileChooserAvailable());
  struct Case {
    const char* what;
    std::function<void(App&)> ask;
    std::string path;
    const char* toast;
    int queued;
  } cases[] = {
      {"a subtitle that fails", [](App& a) { a.chooseSubtitle(); }, ass, "자막 로드 실패", 0},
      {"a subtitle", [](App& a) { a.chooseSubtitle(); }, srt, "자막: cues.srt", 0},
      {"the playlist's +", [](App& a) { a.setPlaylistVisible(true), a.onMouseDown(720, 50, 1); }, media,
       "재생목록에 추가됨", 1},
      {"파일 추가", [](App& a) { a.playlistMenuCommand(kPlAddFile, -1); }, media, "재생목록에 추가됨", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Window::setClipboardText("http://not.this/");
    c.ask(app);
    ASSERT_TRUE(app.input.open);
    EXPECT_EQ(app.input.urlEdit->text(), "");  // no address prefill for a path
    type(c.path);
    key(vk::Return);
    EXPECT_EQ(std::tuple(app.input.open, app.input.use, app.toast.text, app.playlist.count()),
              std::tuple(false, InputUse::OpenUrl, c.toast, c.queued));
  }
}

void key(App& a, int k, bool ctrl = false) { a.onKeyDown(k, ctrl, false, false); }
void click(App& a, const RectF& r) { a.onMouseDown(int((r.left + r.right) / 2), int((r.top + r.bottom) / 2), 1); }
InputLayout urlDialog() { return computeInputLayout(1000, 700, false); }

// Input goes to the piece drawn on top, and text input stays on exactly while one takes typing.
TEST(InputRouting, TypingAndClicksReachTheTopPiece) {
  // What is open, then whether text input is on.
  struct Row { const char* what; std::function<void(App&)> act; const char* state; } rows[] = {
      {"a file opened from the browser ends its typing",
       [](App& a) { key(a, 'R'), a.openPath(a.paths.dataDir + "/missing.mp3"); }, "------"},
      {"closing the dialog keeps the browser's typing",
       [](App& a) { key(a, 'R'), key(a, 'U', true), key(a, vk::Escape); }, "r----- typing"},
      {"closing the browser keeps the dialog's typing",
       [](App& a) { key(a, 'R'), key(a, 'U', true), a.toggleStreamBrowser(false); }, "-i---- typing"},
      {"the dialog over the browser takes the typing", [](App& a) { key(a, 'R'), key(a, 'U', true); }, "ri---- typing"},
      {"a click on the dialog's field over the settings panel stays in the dialog",
       [](App& a) { a.openSettingsPanel(), key(a, 'U', true), click(a, urlDialog().urlBox); }, "-is--- typing"},
      {"a click on the dialog's Cancel over the settings panel closes the dialog alone",
       [](App& a) { a.openSettingsPanel(), key(a, 'U', true), click(a, urlDialog().cancel); }, "--s---"},
      {"compact view hides the browser and ends its typing", [](App& a) { key(a, 'R'), a.toggleCompactView(); },
       "r-----"},
      {"compact view hides the browser: its keys reach the key table again",
       [](App& a) {
         key(a, 'R'), a.toggleCompactView(), key(a, 'M'), key(a, '0');
         EXPECT_TRUE(!a.view.compact && a.player.muted() && a.streamBrowser.searchText.empty());
       },
       "r----- typing"},
      {"a pointer that leaves the window leaves nothing highlighted",
       [](App& a) {
         a.openSettingsPanel(), a.onMouseMove(900, 200);
         EXPECT_GE(a.settingsPanel.hover, 0);
         a.onMouseLeave();
         EXPECT_EQ(a.settingsPanel.hover, -1);
       },
       "--s---"},
      {"a click on the help overlay hides it and nothing under it",
       [](App& a) { key(a, 'U', true), a.view.helpVisible = true, click(a, urlDialog().cancel); }, "-i---- typing"},
  };
  test::TempDir dir;
  Window::setClipboardText("");  // an address there would fill the dialog's field
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    settings() = Settings{};
    App app{dir.path()};
    test::openHiddenWindow(app, 1000, 700);
    r.act(app);
    EXPECT_EQ(test::openPieces(app) + (app.window.textInputActive() ? " typing" : ""), r.state);
    if (app.input.open) {
      app.onTextInput("x");  // typing goes to the dialog, never to the search behind it
      EXPECT_EQ(app.input.urlEdit->text() + app.streamBrowser.searchText, "x");
    }
  }
}

}  // namespace
}  // namespace vell
