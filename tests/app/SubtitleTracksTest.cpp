// Subtitle tracks as the user meets them: every kind drawn over the picture at its time, and the
// choice among a file's streams and the files beside it (K, the menu, the resume entry).
#include <cmath>
#include <functional>

#include "AppHarness.h"
#include "app/Menus.h"
#include "platform/Files.h"
#include "support/DiskAudio.h"
#include "support/Media.h"
#include "support/PgsFile.h"

namespace vell {
namespace {

using SubtitleTracks = test::AppHarness;
[[maybe_unused]] ::testing::Environment* const kDiskAudio = test::addDiskAudioEnvironment("/dev/null");

// A 320x240 picture of one colour, 4 seconds, without sound.
std::string plainClip() {
  return test::makeMedia(
      "-f lavfi -i color=c=0x204060:size=320x240:rate=25:duration=4 -c:v libx264 -preset ultrafast -g 25 -pix_fmt "
      "yuv420p",
      "mkv");
}

// The clip with subtitle files muxed in as streams (`options` map and describe them).
std::string withStreams(const std::vector<std::string>& files, const std::string& options) {
  std::string inputs;
  for (const std::string& f : files) inputs += " -i '" + f + "'";
  return test::makeMedia("-i '" + plainClip() + "'" + inputs + " -map 0:v -c:v copy " + options, "mkv");
}

// A copy of `medium` named `name` in `dir`, where files can be put beside it.
std::string copyInto(const test::TempDir& dir, const std::string& medium, const std::string& name) {
  return dir.write(name, test::mediaBytes(medium));
}

// A script whose one event (from 1 to 3 seconds) draws a box of `colour` (&HBBGGRR) with its
// top-left corner 10 units from the top-left of a 320x240 picture, 100 wide and 40 high.
std::string boxScript(const char* colour) {
  return std::string(
             "[Script Info]\nScriptType: v4.00+\nPlayResX: 320\nPlayResY: 240\n\n[V4+ Styles]\n"
             "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, "
             "Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, "
             "MarginL, MarginR, MarginV, Encoding\n"
             "Style: Box,DejaVu Sans,20,") +
         colour +
         ",&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,0,0,7,10,10,10,1\n\n"
         "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
         "Dialogue: 0,0:00:01.00,0:00:03.00,Box,,0,0,0,,{\\p1}m 0 0 l 100 0 100 40 0 40{\\p0}\n";
}

const char* kSrt = "1\n00:00:01,000 --> 00:00:03,000\n자막 ABC\n";

bool near(uint32_t rgb, int r, int g, int b) {
  return std::abs(int(rgb >> 16 & 0xFF) - r) < 40 && std::abs(int(rgb >> 8 & 0xFF) - g) < 40 &&
         std::abs(int(rgb & 0xFF) - b) < 40;
}

// The window as painted, the clip's colour finding the picture (nothing else crosses its middle).
struct Screen : test::Shot {
  bool read(App& app) {
    return Shot::read(app, [](uint32_t c) { return near(c, 0x20, 0x40, 0x60); }) && right - left > 100;
  }
  // A point of the 320x240 picture where it is shown.
  uint32_t picture(double x, double y) const {
    return at(left + static_cast<int>(x * (right - left) / 320), top + static_cast<int>(y * (bottom - top) / 240));
  }
  // Pixels like `match` in the band above the controls, where text goes.
  int textPixels(const std::function<bool(uint32_t)>& match) const {
    int n = 0;
    for (int y = height - 68 - 60; y < height - 68; ++y)
      for (int x = 0; x < width; ++x) n += match(at(x, y));
    return n;
  }
};

// Each kind shows from 1 to 3 seconds and not after, in the user's colour (yellow here) only when
// it is plain text: a script's red box at its top-left place, a bitmap track's green box where
// the track puts it (after a damaged display, skipped), both scaled with the picture (shown at
// 400x300 for 320x240); a stream's or a file's text above the controls.
TEST_F(SubtitleTracks, EveryKindIsDrawnOverThePictureAtItsTime) {
  openWindow(480, 400);
  ASSERT_TRUE(app.renderer.initialize(app.window, "software"));
  app.resources.build(22);
  settings().subtitleColor = 1;
  auto red = [](const Screen& s) {
    return near(s.picture(60, 30), 255, 0, 0) && near(s.picture(150, 30), 0x20, 0x40, 0x60);
  };
  auto blue = [](const Screen& s) {
    return near(s.picture(60, 30), 0, 0, 255) && near(s.picture(60, 70), 0x20, 0x40, 0x60);
  };
  auto green = [](const Screen& s) {
    return near(s.picture(260, 40), 0, 255, 0) && near(s.picture(210, 40), 0x20, 0x40, 0x60) &&
           near(s.picture(260, 70), 0x20, 0x40, 0x60);
  };
  auto yellowText = [](const Screen& s) { return s.textPixels([](uint32_t c) { return near(c, 255, 255, 77); }) > 20; };
  const std::string sup = test::mediaInput(
      "boxes.sup",
      test::pgsFile(320, 240, {{0.3, 0.6, 10, 10, 50, 20, 0xFF0000, true}, {1.0, 3.0, 220, 20, 80, 40, 0x00FF00}}));
  const std::string ass = test::mediaInput("box.ass", boxScript("&H000000FF"));
  const std::string srt = test::mediaInput("words.srt", kSrt);
  const std::string marked = " -map 1 -disposition:s:0 default -c:s ";
  struct Row { const char* what; std::string path; std::function<bool(const Screen&)> shown; } rows[] = {
      {"ASS stream", withStreams({ass}, marked + "ass"), red},
      {"PGS stream", withStreams({sup}, marked + "copy"), green},
      {"SubRip stream", withStreams({srt}, marked + "srt"), yellowText},
      {"ASS file", copyInto(dir, plainClip(), "beside.mkv"), blue},
      {"WebVTT file", copyInto(dir, plainClip(), "web.mkv"), yellowText},
  };
  dir.write("beside.ass", boxScript("&H00FF0000"));
  dir.write("web.vtt", "WEBVTT\n\n00:01.000 --> 00:03.000\n<b>자막</b> ABC\n");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    app.openPath(row.path);
    ASSERT_EQ(app.subtitles.current, 0);
    Screen screen;
    auto paintUntil = [&](double from, double to, bool shown) {
      for (uint32_t start = tickCount(); tickCount() - start < 6000; sleepMs(16)) {
        app.schedule.wanted = true;
        app.paint();
        const double t = app.player.position();
        if (t > to) break;
        if (t >= from && screen.read(app) && row.shown(screen) == shown) return true;
      }
      return false;
    };
    EXPECT_TRUE(paintUntil(1.1, 2.9, true)) << "not shown in its time";
    EXPECT_TRUE(paintUntil(3.2, 3.9, false)) << "still shown after its time";
    app.player.close();
  }
}

// K moves through the streams, the files beside the film and none, saying which; the menu ticks
// the one shown and chooses too; the choice (a stream, a file or none) comes back with the file,
// over the rules (a file beside would win).
TEST_F(SubtitleTracks, KAndTheMenuChooseAndTheChoiceComesBackWithTheFile) {
  const std::string two =
      withStreams({test::mediaInput("words.srt", kSrt), test::mediaInput("box.ass", boxScript("&H000000FF"))},
                  "-map 1 -map 2 -c:s:0 srt -c:s:1 ass -metadata:s:s:0 language=eng "
                  "-metadata:s:s:1 language=kor -disposition:s 0");
  const std::string film = copyInto(dir, two, "film.mkv");
  dir.write("film.ko.srt", kSrt);
  // The submenu before any key, and the toasts of K pressed again and again.
  struct Row { std::string path; const char* menu; std::vector<const char*> toasts; } rows[] = {
      {two, "2. 한국어 (ASS)* of 4", {"자막: 없음", "자막: 1/2 English", "자막: 2/2 한국어"}},
      {film, "3. film.ko.srt* of 5", {"자막: 없음", "자막: 1/3 English", "자막: 2/3 한국어"}},
      {plainClip(), "none", {"자막 트랙 없음"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.menu);
    app.openPath(r.path);
    EXPECT_EQ(test::submenuMarks(buildMainMenu(app), "자막 트랙"), r.menu);
    for (const char* toast : r.toasts) {
      EXPECT_TRUE(app.keyboard.onKey('K', false, false, false));
      EXPECT_EQ(app.toast.text, toast);
    }
  }
  // Each choice is what the film shows when it is back.
  const std::pair<int, const char*> picks[] = {{kCmdSubtitleTrackNone, "없음* of 5"},
                                               {kCmdSubtitleTrackFirst + 2, "3. film.ko.srt* of 5"},
                                               {kCmdSubtitleTrackFirst, "1. English (SRT)* of 5"}};
  app.openPath(film);
  EXPECT_EQ(test::submenuMarks(buildMainMenu(app), "자막 트랙"), "2. 한국어 (ASS)* of 5");  // the last K
  EXPECT_EQ(app.player.currentSubtitleStream(), 2);
  for (const auto& [id, menu] : picks) {
    app.onCommand(id);
    app.openPath(film);
    EXPECT_EQ(test::submenuMarks(buildMainMenu(app), "자막 트랙"), menu);
  }
  HistoryRecord saved;
  ASSERT_TRUE(app.history.find(film, saved));
  EXPECT_EQ(saved.subtitle, (SubtitlePick{SubtitlePick::Stream, 1, "eng", ""}));
  app.player.close();
}

}  // namespace
}  // namespace vell
