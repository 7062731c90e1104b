// Renders the main screens to PNG files. With VELL_GALLERY_DIR set they are kept there
// (tools/gallery.sh); otherwise they go to a temporary folder and the test only checks that
// every screen renders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "Scenes.h"
#include "browser/StreamBrowser.h"
#include "platform/Files.h"
#include "render/TopBar.h"
#include "support/Media.h"
#include "support/TempDir.h"

namespace vell::test {
namespace {

TEST(Gallery, RendersEveryMainScreen) {
  TempDir temp;
  const char* env = std::getenv("VELL_GALLERY_DIR");
  const std::string dir = env && *env ? env : temp.path();
  ASSERT_TRUE(makeDirectories(dir));
  const int w = 1280, h = 720;
  Screen screen;
  ASSERT_TRUE(screen.open(w, h));
  TestFrame video(640, 360, 0x2F6F8F, 0xE0C040, 60);
  const std::string cover = mediaBytes(makeMedia("-f lavfi -i testsrc=size=320x320:rate=1 -frames:v 1", "png"));
  // The stream browser beside a playing podcast, with the title bar.
  StreamCatalog catalog{dir};
  catalog.loadFromText("RADIO_MP3|r1|Alpha FM|국내 방송|서울 93.9MHz|http://a/\nPODCAST_RSS|p1|과학 이야기|교양|매주 월요일|http://f/1\n"
                       "PODCAST_RSS|p2|두시의 데이트|음악|라디오 다시듣기|http://f/2\n", "");
  PodcastHistory history;
  history.update("https://podcast.example/ep/2024-02-23.mp3", 3000, 3100);
  history.update("https://podcast.example/ep/2024-02-16.mp3", 900, 3000);
  StreamBrowser browser;
  browser.catalogue = &catalog;
  browser.history = &history;
  browser.mode = 1;
  browser.hoverRow = 6;
  browser.expandedPodcast = "p1";
  browser.currentEpisodeUrl = "https://podcast.example/ep/2024-03-01.mp3";
  for (std::string date : {"2024-03-01", "2024-02-23", "2024-02-16"})
    browser.episodes.push_back({"블랙홀의 비밀과 우주의 시작에 관한 아주 긴 제목의 에피소드 " + date, date,
                                "https://podcast.example/ep/" + date + ".mp3"});
  TopBar topBar;
  OverlayHooks browserHooks;
  browserHooks.topBar = [&](Canvas& c, const UiResources& r, const OverlayState& st, const OverlayLayout&) {
    topBar.draw(c, r, TopBarView{.width = st.width, .tick = st.tick, .browserOpen = true, .browserPodcastMode = true,
                                 .hovered = kTopBarClose, .title = st.media.title});
  };
  browserHooks.sidePanel = [&](Canvas& c, const UiResources& r, const OverlayState& st, const OverlayLayout&,
                               const RectF& panel) { browser.draw(c, r, panel, st.tick); };
  OverlayState fullscreen = videoScene(w, h, &video.frame), browsing = podcastScene(w, h);
  fullscreen.fullscreen = true;
  fullscreen.currentPath = "/home/user/영상/아주 긴 제목의 여행 기록 영상 — 제주도 한라산 등반과 바닷가 산책, 감독판 확장 에디션.mp4";
  fullscreen.subtitleText.clear();
  browsing.browserOpen = browsing.browserPodcastMode = true;
  struct Shot {
    const char* name;
    OverlayState state;
    const std::string* cover;  // a new medium with this cover
    OverlayHooks hooks;
  };
  const std::string none;
  const Shot shots[] = {
      {"empty", emptyScene(w, h), nullptr, {}},         {"failed", failedScene(w, h), nullptr, {}},
      {"video", videoScene(w, h, &video.frame), nullptr, {}}, {"radio", radioScene(w, h), &none, {}},
      {"podcast", podcastScene(w, h), &cover, {}},      {"fullscreen", fullscreen, nullptr, {}},
      {"help", helpScene(w, h), nullptr, {}},           {"connecting", connectingScene(w, h), nullptr, {}},
      {"toast", toastScene(w, h), &none, {}},           {"input", inputScene(w, h), nullptr, {}},
      {"browser", browsing, &cover, browserHooks},
  };
  for (const Shot& shot : shots) {
    if (shot.cover) {
      screen.overlay.resetMedium();
      screen.overlay.setCover(reinterpret_cast<const uint8_t*>(shot.cover->data()), shot.cover->size());
    }
    for (int i = 0; i < 12; ++i) screen.paint(shot.state, shot.hooks);  // the meter settles as on screen
    const std::string path = dir + "/" + shot.name + ".png";
    ASSERT_TRUE(screen.savePng(path)) << path;
    EXPECT_GT(mediaBytes(path).size(), 2000u) << shot.name;
  }
}

}  // namespace
}  // namespace vell::test
