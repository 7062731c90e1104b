// Renders the main screens to PNG files in the folder given (tools/gallery.sh).
#include <cstdio>
#include <tuple>

#include "Scenes.h"
#include "platform/Files.h"
#include "support/Media.h"

using namespace vell;
using namespace vell::test;

int main(int argc, char** argv) {
  if (argc != 2 || !makeDirectories(argv[1])) {
    std::fprintf(stderr, "usage: vell_gallery OUTPUT_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int w = 1280, h = 720;
  Screen screen;
  if (!screen.open(w, h)) return 1;
  TestFrame video(640, 360, 0x2F6F8F, 0xE0C040, 60);
  const std::string cover = mediaBytes(makeMedia("-f lavfi -i testsrc=size=320x320:rate=1 -frames:v 1", "png")), none;
  OverlayState fullscreen = videoScene(w, h, &video.frame);
  fullscreen.fullscreen = true;
  fullscreen.currentPath = "/home/user/영상/아주 긴 제목의 여행 기록 영상 — 제주도 한라산 등반과 바닷가 산책, 감독판 확장 에디션.mp4";
  fullscreen.subtitleText.clear();
  const std::tuple<const char*, OverlayState, const std::string*> shots[] = {  // name, state, a new medium's cover
      {"empty", emptyScene(w, h), nullptr},     {"failed", failedScene(w, h), nullptr},
      {"video", videoScene(w, h, &video.frame), nullptr}, {"radio", radioScene(w, h), &none},
      {"podcast", podcastScene(w, h), &cover},  {"fullscreen", fullscreen, nullptr},
      {"help", helpScene(w, h), nullptr},       {"connecting", connectingScene(w, h), nullptr},
      {"toast", toastScene(w, h), &none},       {"input", inputScene(w, h), nullptr},
  };
  for (const auto& [name, state, picture] : shots) {
    if (picture) {
      screen.overlay.resetMedium();
      screen.overlay.setCover(reinterpret_cast<const uint8_t*>(picture->data()), picture->size());
    }
    for (int i = 0; i < 12; ++i) screen.paint(state);  // the meter settles as on screen
    const std::string path = dir + "/" + name + ".png";
    if (!writeArgbPng(path, screen.pixels.data(), w, h)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
