#include <gtest/gtest.h>

#include <algorithm>

#include "app/AboutWindow.h"
#include "app/App.h"
#include "app/InputDialog.h"
#include "platform/VirtualKeys.h"
#include "render/OverlayLayout.h"
#include "settings/Settings.h"
#include "AppHarness.h"

namespace vell {
namespace {

struct InputDialog : test::WindowedAppHarness<800, 600> {
  void SetUp() override {
    WindowedAppHarness::SetUp();
    Window::setClipboardText("");
  }
  void type(const std::string& text) { app.onTextInput(text); }
  void key(int k, bool ctrl = false) { app.onKeyDown(k, ctrl, false, false); }
  InputLayout layout() const { return computeInputLayout(800, 600, !app.inputUrlOnly); }
  void click(const RectF& r) { app.onMouseDown(int((r.left + r.right) / 2), int((r.top + r.bottom) / 2), 1); }
};

TEST(InputDialogRules, FieldReadingAndDefaultNames) {
  EXPECT_EQ(readFieldText(" \t http://a b \t\r\n"), "http://a b");
  EXPECT_EQ(readFieldText("  \t \r\n "), "");
  struct Row {
    const char* url;
    const char* name;
  } rows[] = {
      {"http://radio.example:8000/live/stream", "radio.example"},
      {"https://host.example?x=1", "host.example"},
      {"rtmp://host.example", "host.example"},
      {"/music/song.mp3", "사용자 스트림"},
      {"C:\\music\\song.mp3", "사용자 스트림"},
  };
  for (const Row& r : rows) EXPECT_EQ(defaultStreamName(r.url), r.name) << r.url;
  EXPECT_TRUE(openUrlPodcastFlag("http://h/ep.mp3"));
  EXPECT_FALSE(openUrlPodcastFlag("http://h/list.m3u8?f=a.mp3"));
  EXPECT_FALSE(openUrlPodcastFlag("http://h/tune.pls?x.mp3"));
  EXPECT_FALSE(openUrlPodcastFlag("http://h/live"));
}

TEST_F(InputDialog, ClipboardPrefillsTheUrlFieldOnlyWithAnAddress) {
  struct Row {
    const char* clipboard;
    const char* field;
  } rows[] = {
      {"이 방송 들어보세요 http://radio.example/live 좋아요", "이 방송 들어보세요 http://radio.example/live 좋아요"},
      {"rtsp://cam.example/feed", "rtsp://cam.example/feed"},
      {"그냥 문장입니다", ""},
  };
  bool byKey = true;
  for (const Row& r : rows) {
    Window::setClipboardText(r.clipboard);
    if (byKey) {
      key('U', true);  // Ctrl+U
    } else {  // the quick-open bar's second button, "URL 열기"
      app.quickOpenVisible = true;
      app.quickOpenAlpha = 1;
      int controlsTop = app.computeLayout().controlBarTop;
      app.onMouseDown(350, controlsTop - 30, 1);
      EXPECT_FALSE(app.quickOpenVisible);
    }
    byKey = !byKey;
    ASSERT_TRUE(app.inputOpen);
    EXPECT_EQ(app.urlEdit->edit.text(), r.field);
    EXPECT_EQ(app.nameEdit, nullptr);
    key(vk::Escape);
    EXPECT_FALSE(app.inputOpen);
  }
}

TEST_F(InputDialog, OpenUrlUseNamesAndFlagsWhatItOpens) {
  struct Row {
    const char* typed;
    const char* url;
    const char* name;
    bool podcast;
  } rows[] = {
      {"  http://127.0.0.1:1/live/stream \r\n", "http://127.0.0.1:1/live/stream", "127.0.0.1", false},
      {"/nonexistent/folder/song.mp3", "/nonexistent/folder/song.mp3", "사용자 스트림", true},
  };
  for (const Row& r : rows) {
    app.openInputDialog(true);
    type(r.typed);
    key(vk::Return);
    EXPECT_FALSE(app.inputOpen);
    EXPECT_EQ(app.lastAttempt.url, r.url);  // nothing listens there: the attempt is kept for a retry
    EXPECT_EQ(app.lastAttempt.name, r.name);
    EXPECT_EQ(app.lastAttempt.podcast, r.podcast) << r.typed;
  }
}

TEST_F(InputDialog, EveryWayOfClosingLeavesNoTrace) {
  struct Row {
    const char* how;
    std::function<void(InputDialog&)> act;
  } rows[] = {
      {"only spaces", [](InputDialog& t) { t.type("    "), t.key(vk::Return); }},
      {"escape", [](InputDialog& t) { t.type("http://127.0.0.1:1/x"), t.key(vk::Escape); }},
      {"cancel", [](InputDialog& t) { t.type("http://127.0.0.1:1/x"), t.click(t.layout().cancel); }},
      {"outside", [](InputDialog& t) { t.type("http://127.0.0.1:1/x"), t.app.onMouseDown(5, 300, 1); }},
      {"full screen", [](InputDialog& t) { t.type("http://127.0.0.1:1/x"), t.app.toggleFullscreen(); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.how);
    app.inputPlaylistUse = true;
    app.openInputDialog(true);
    key('M');  // the dialog takes the keys: no mute
    r.act(*this);
    EXPECT_FALSE(app.inputOpen);
    EXPECT_FALSE(app.inputPlaylistUse);
    EXPECT_EQ(app.urlEdit, nullptr);
    EXPECT_TRUE(app.playlist.empty());
    EXPECT_TRUE(app.lastAttempt.empty());
    EXPECT_FALSE(app.player.muted());
    if (app.fullscreen) app.toggleFullscreen();
  }
}

TEST_F(InputDialog, CatalogueAndPlaylistUses) {
  // Add a radio with Enter in the URL field; the name field has the focus first.
  app.openInputDialog(false, "", false);
  EXPECT_EQ(app.inputFocus, 1);
  type("내 방송");
  click(layout().urlBox);
  type("http://radio.example/tune.pls");
  key(vk::Return);
  EXPECT_FALSE(app.inputOpen);
  EXPECT_EQ(app.toastText, "추가되었습니다");
  auto added = std::find_if(app.catalog.radioStreams().begin(), app.catalog.radioStreams().end(),
                            [](const StreamEntry& e) { return e.name == "내 방송"; });
  ASSERT_NE(added, app.catalog.radioStreams().end());
  EXPECT_EQ(added->type, RADIO_PLS);
  EXPECT_EQ(added->genre, "사용자");
  EXPECT_EQ(added->description, "사용자 추가");
  EXPECT_TRUE(added->isUser);
  std::string id = added->id;
  EXPECT_EQ(id.rfind("user_", 0), 0u);

  // A podcast without a name, by the OK button.
  app.openInputDialog(false, "", true);
  click(layout().urlBox);
  type("https://feeds.example/show.xml");
  click(layout().ok);
  const StreamEntry* podcast = nullptr;
  for (const auto& e : app.catalog.podcastStreams())
    if (e.url == "https://feeds.example/show.xml") podcast = &e;
  ASSERT_NE(podcast, nullptr);
  EXPECT_EQ(podcast->type, PODCAST_RSS);
  EXPECT_EQ(podcast->name, "feeds.example");

  // Edit: the fields show the entry, the URL selected.
  app.openInputDialog(false, id, false);
  ASSERT_NE(app.nameEdit, nullptr);
  EXPECT_EQ(app.nameEdit->edit.text(), "내 방송");
  EXPECT_EQ(app.urlEdit->edit.selectedText(), "http://radio.example/tune.pls");
  type("http://radio.example/new.m3u8");
  key(vk::Return);
  EXPECT_EQ(app.toastText, "저장되었습니다");
  ASSERT_NE(app.catalog.findById(id), nullptr);
  EXPECT_EQ(app.catalog.findById(id)->url, "http://radio.example/new.m3u8");

  // An entry deleted while its edit is open.
  app.openInputDialog(false, id, false);
  app.catalog.deleteUserStream(id);
  key(vk::Return);
  EXPECT_FALSE(app.inputOpen);
  EXPECT_EQ(app.toastText, "스트림을 찾을 수 없음");

  // A playlist category, then a URL into it.
  app.inputCategoryUse = true;
  app.openInputDialog(true);
  type("  재즈 ");
  key(vk::Return);
  EXPECT_EQ(app.toastText, "카테고리 추가: 재즈");
  auto names = app.playlist.categoryNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "재즈"), names.end());
  app.inputPlaylistUse = true;
  app.inputCategory = "재즈";
  app.openInputDialog(true);
  type("http://jazz.example:8000/live");
  key(vk::Return);
  EXPECT_EQ(app.toastText, "재생목록에 추가됨");
  ASSERT_EQ(app.playlist.count(), 1);
  EXPECT_TRUE(app.playlist.items()[0].isStream);
  EXPECT_EQ(app.playlist.items()[0].title, "jazz.example");
  EXPECT_EQ(app.playlist.items()[0].category, "재즈");
  EXPECT_TRUE(app.playlist.visible);
}

TEST_F(InputDialog, TypedPathsStandInForTheFileChooser) {
  std::string ass = dir.write("cues.ass", "[Script Info]\n");
  std::string srt = dir.write("cues.srt", "1\n00:00:01,000 --> 00:00:02,000\n안녕\n");
  struct Row {
    std::string path;
    const char* toast;
  } rows[] = {{ass, "자막 로드 실패"}, {srt, "자막: cues.srt"}};
  for (const Row& r : rows) {
    Window::setClipboardText("http://not.this/");
    app.inputPathUse = 2;
    app.openInputDialog(true);
    EXPECT_EQ(app.urlEdit->edit.text(), "");  // no address prefill for a path
    type(r.path);
    key(vk::Return);
    EXPECT_FALSE(app.inputOpen);
    EXPECT_EQ(app.inputPathUse, 0);
    EXPECT_EQ(app.toastText, r.toast);
  }
}

TEST_F(InputDialog, SecondAboutWhileOpenDoesNothing) {
  int depth = 0, maxDepth = 0, paints = 0;
  // The main window keeps painting while the About window runs: the test acts from there.
  app.window.setModalPaint([&] {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    ++paints;
    EXPECT_TRUE(app.aboutOpen);
    if (paints == 1) app.showAboutWindow();  // returns at once, no second window
    if (paints >= 2 && app.aboutWindow) app.aboutWindow->close();
    --depth;
  });
  app.showAboutWindow();
  EXPECT_EQ(maxDepth, 1);
  EXPECT_GE(paints, 2);
  EXPECT_FALSE(app.aboutOpen);
  EXPECT_EQ(app.aboutWindow, nullptr);
}

}  // namespace
}  // namespace vell
