// The App's own rules: hit test and layout by view, timers, A-B repeat, screenshot, the queue
// and resume, repeat one and failed opens, the screen saver and the timer resolution, no drawing
// while minimised, the key table, and the menus with their commands.
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <tuple>

extern "C" {
#include <libavutil/buffer.h>
}

#include "app/FolderCover.h"
#include "app/MediaSession.h"
#include "app/Menus.h"
#include "platform/Text.h"
#include "support/BoxKeys.h"
#include "support/DiskAudio.h"
#include "support/Env.h"
#include "support/Media.h"
#include "support/NativeInput.h"
#include "AppHarness.h"

namespace vell {
namespace {

using AppCore = test::AppHarness;
[[maybe_unused]] ::testing::Environment* const kDiskAudio = test::addDiskAudioEnvironment("/dev/null");

TEST_F(AppCore, HitTestAndLayoutByView) {
  openWindow(800, 600);
  EXPECT_EQ(app.nonClientHitTest(6, 300), HitCode::Caption);  // past the border the idle picture drags
  EXPECT_EQ(app.nonClientHitTest(400, 10), HitCode::Caption);  // the title band off its buttons and tabs
  key('F');
  ASSERT_TRUE(app.view.fullscreen);
  EXPECT_EQ(app.nonClientHitTest(0, 300), HitCode::Left);  // borders in every view
  for (int y : {10, 300})
    EXPECT_EQ(app.nonClientHitTest(400, y), HitCode::Client) << y;  // nothing drags the full screen
  app.onDoubleClick(400, 300);  // but a double click leaves it
  EXPECT_FALSE(app.view.fullscreen);
  app.view.compact = true;
  app.view.controlsOffset = 68;
  EXPECT_EQ(app.computeLayout().topBar, 0);
  EXPECT_EQ(app.computeLayout().controlBarTop, app.computeLayout().height);  // bars slid away
  app.window.setSize(480, 40);
  app.view.controlsOffset = 0;
  EXPECT_EQ(app.computeLayout().controlBarTop, 20);  // never above the minimum
}

// On a scaled display the App still lays out in 96-DPI units: the window (640 x 401 units) and
// what is drawn are that many times larger, and a press on those pixels reaches the control
// drawn there. Idle: controls from y 333, play disc of radius 24 about (320, 374).
TEST_F(AppCore, ScaledDisplayDrawsAndHitsControlsAtTheSamePixels) {
  for (float s : {1.0f, 1.25f, 1.5f, 2.0f}) {
    SCOPED_TRACE(s);
    openWindow(static_cast<int>(640 * s), static_cast<int>(401 * s));
    ASSERT_TRUE(app.renderer.initialize(app.window, "software"));
    app.resources.build(22);
    app.uiScale = s;
    app.schedule.wanted = true;
    app.paint();
    const Canvas& c = app.renderer.canvas();
    auto accent = [&](int x, int y) { return c.pixel(x, y) == 0xFF6366F1u; };
    const int cx = static_cast<int>(std::lround(320 * s)), cy = static_cast<int>(std::lround(374 * s));
    // From inside the disc past the white play mark (within 15 units of the centre) outwards.
    const int past = static_cast<int>(std::lround(18 * s));
    int left = cx - past, right = cx + past, top = cy - past, bottom = cy + past;
    ASSERT_TRUE(accent(left, cy) && accent(right, cy) && accent(cx, top) && accent(cx, bottom));
    while (accent(left - 1, cy)) --left;
    while (accent(right + 1, cy)) ++right;
    while (accent(cx, top - 1)) --top;
    while (accent(cx, bottom + 1)) ++bottom;
    // The disc's solid pixels (its edge pixels are blended).
    EXPECT_NEAR(left, 296 * s, 1.5);
    EXPECT_NEAR(right + 1, 344 * s, 1.5);
    EXPECT_NEAR(top, 350 * s, 1.5);
    EXPECT_NEAR(bottom + 1, 398 * s, 1.5);
    // The controls' top edge (333 x 1.25 = 416.25) on a whole pixel: none half covered.
    const int barTop = static_cast<int>(std::lround(333 * s));
    EXPECT_EQ(c.pixel(10, barTop - 1) >> 24, 0u);
    EXPECT_EQ(c.pixel(10, barTop) >> 24, 0xFFu);

    auto press = [&](WindowEvent::Type type, int x, int y) {
      WindowEvent e;
      e.type = type, e.x = x, e.y = y, e.button = e.clicks = 1;
      app.handleEvent(e);
    };
    app.view.quickOpenVisible = false;
    press(WindowEvent::MouseDown, cx, cy);
    EXPECT_TRUE(app.view.quickOpenVisible);  // the idle play button's action
    // Three quarters along the 80-unit volume track at 492..572.
    const int volumeX = static_cast<int>(std::lround(552 * s));
    press(WindowEvent::MouseDown, volumeX, cy);
    press(WindowEvent::MouseUp, volumeX, cy);
    EXPECT_NEAR(app.player.volume(), 0.75f, 0.02f);
  }
}

// The screenshot taken now, once its writer has saved it (the only one in the folder).
std::string takeShot(AppCore& t) {
  for (const std::string& old : listDirectory(t.dir.file("Pictures")))
    if (old.rfind("VellPlayer_", 0) == 0) removeFile(t.dir.file("Pictures/" + old));
  t.app.toast.text.clear();
  if (!t.app.takeScreenshot()) return {};
  // Written on a helper thread; its toast comes back as a task. The write ends with a flush to
  // the disk, which a machine busy writing elsewhere may hold up for seconds.
  for (int i = 0; i < 3000 && t.app.toast.text != "스크린샷 저장됨"; ++i) {
    sleepMs(10);
    t.app.onMessage(kMsgRunTasks);
  }
  std::vector<std::string> files = listDirectory(t.dir.file("Pictures"));
  return files.size() == 1 ? t.dir.read("Pictures/" + files[0]) : std::string();
}

// A file's pictures are shown as it means them: its display matrix turns or mirrors them, pixels
// that are not square widen them, and the user's turn applies on top. The picture on screen,
// the window fitted to it and the screenshot all take that shape. The stored picture is blue
// with its top-left quarter box red; `corner` says where that box ends up (0 top left, then
// clockwise). Before any of them, a screenshot of no frame is none, and one of a frame with
// padded rows is a top-down BMP of its pixels alone.
TEST_F(AppCore, TurnedMirroredAndAnamorphicFilesAreShownFittedAndShotAsTheyLook) {
  EXPECT_FALSE(app.takeScreenshot());
  test::PicturesFolder pictures(dir.path());
  ASSERT_TRUE(pictures.moved());
  VideoFrame& f = app.frameSlot;  // 3 x 2, 16 bytes a row
  f.width = 3, f.height = 2, f.linesize[0] = 16;
  f.buffer = av_buffer_alloc(32);
  f.ownsBuffer = true;
  f.data[0] = f.buffer->data;
  for (int i = 0; i < 32; ++i) f.data[0][i] = static_cast<uint8_t>(i);
  std::string padded = takeShot(*this);
  ASSERT_EQ(padded.size(), 54u + 3 * 2 * 4);
  EXPECT_EQ(padded.substr(0, 2), "BM");
  EXPECT_EQ(padded.substr(18, 8), std::string("\3\0\0\0\376\377\377\377", 8));  // 3 wide, -2 high: rows top-down
  EXPECT_EQ(padded.substr(54), std::string("\0\1\2\3\4\5\6\7\10\11\12\13\20\21\22\23\24\25\26\27\30\31\32\33", 24));
  constexpr int32_t k1 = 0x10000;
  struct Row {
    const char* what;
    int width, height;  // stored
    const char* filter;
    int32_t matrix[4];  // the display matrix's a, b, c, d
    int userTurn;
    bool userFlipH;
    int shownW, shownH;
    int corner;
  } rows[] = {
      {"plain", 320, 180, "", {k1, 0, 0, k1}, 0, false, 320, 180, 0},
      {"shown smaller than its own size", 1280, 720, "", {k1, 0, 0, k1}, 0, false, 1280, 720, 0},
      {"turned 90", 320, 180, "", {0, k1, -k1, 0}, 0, false, 180, 320, 1},
      {"turned 180", 320, 180, "", {-k1, 0, 0, -k1}, 0, false, 320, 180, 2},
      {"turned 270", 320, 180, "", {0, -k1, k1, 0}, 0, false, 180, 320, 3},
      {"mirrored", 320, 180, "", {-k1, 0, 0, k1}, 0, false, 320, 180, 1},
      {"mirrored and turned 90", 320, 180, "", {0, -k1, -k1, 0}, 0, false, 180, 320, 2},
      {"turned 90, and 90 more by the user", 320, 180, "", {0, k1, -k1, 0}, 90, false, 320, 180, 2},
      {"turned 90, mirrored by the user", 320, 180, "", {0, k1, -k1, 0}, 0, true, 180, 320, 0},
      {"4:3 pixels", 144, 108, ",setsar=4/3", {k1, 0, 0, k1}, 0, false, 192, 108, 0},
  };
  constexpr int kSide = 480;  // of the window the picture is drawn in
  openWindow(kSide, kSide);
  ASSERT_TRUE(app.renderer.initialize(app.window, "software"));
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::ostringstream args;
    args << "-f lavfi -i color=c=blue:s=" << row.width << "x" << row.height << ":r=10:d=1,drawbox=w=" << row.width / 4
         << ":h=" << row.height / 4 << ":color=red:t=fill" << row.filter << " -c:v libx264 -pix_fmt yuv420p";
    std::string bytes = test::mediaBytes(test::makeMedia(args.str(), "mp4"));
    // The muxer writes no turn: the track's matrix is set in place (after "tkhd", version 0).
    const size_t tkhd = bytes.find("tkhd");
    ASSERT_TRUE(tkhd != std::string::npos && bytes[tkhd + 4] == 0);
    for (int i = 0; i < 4; ++i)
      for (int b = 0; b < 4; ++b)
        bytes[tkhd + 44 + (i < 2 ? i : i + 1) * 4 + b] = static_cast<char>(static_cast<uint32_t>(row.matrix[i]) >> (24 - 8 * b));
    const std::string path = dir.write("clip" + std::to_string(++n) + ".mp4", bytes);

    app.window.setSize(kSide, kSide);
    app.renderer.resize(kSide, kSide);
    app.turn = PictureTurn{row.userTurn, row.userFlipH, false};
    f.releasePixels();
    app.openPath(path);
    ASSERT_TRUE(tickFor(5000, [&] { return f.hasPixels(); }));
    if (row.shownW > kSide) {
      EXPECT_LT(f.width, row.width);  // converted at the shown size
    }

    // On screen, fitted to the whole window: the picture's box and its red corner.
    VideoDraw video{&f, 0, 0, kSide, kSide, 0, row.userTurn, row.userFlipH, false, true};
    app.renderer.invalidate();
    ASSERT_TRUE(app.renderer.composeScene(&video));
    test::Shot s;
    const uint32_t bg = (kBackgroundR << 16) | (kBackgroundG << 8) | kBackgroundB;
    ASSERT_TRUE(s.read(app, [bg](uint32_t c) { return c != bg; }));
    EXPECT_NEAR(double(s.right - s.left) / (s.bottom - s.top), double(row.shownW) / row.shownH, 0.02);
    auto red = [](uint32_t bgr) { return (bgr >> 16 & 0xFF) > 180 && (bgr & 0xFF) < 80; };
    const int xs[] = {s.left + 4, s.right - 5, s.right - 5, s.left + 4};
    const int ys[] = {s.top + 4, s.top + 4, s.bottom - 5, s.bottom - 5};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(red(s.at(xs[c], ys[c])), c == row.corner) << "on screen, corner " << c;

    // The screenshot: the shown shape at the film's own size, the same corner red.
    std::string bmp = takeShot(*this);
    ASSERT_EQ(bmp.size(), 54u + row.shownW * row.shownH * 4);
    int32_t size[2];
    std::memcpy(size, bmp.data() + 18, 8);
    EXPECT_EQ(size[0], row.shownW);
    EXPECT_EQ(size[1], -row.shownH);  // rows top-down
    auto shot = [&](int x, int y) {
      const unsigned char* p = reinterpret_cast<const unsigned char*>(bmp.data()) + 54 + (size_t(y) * row.shownW + x) * 4;
      return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    };
    const int sx[] = {2, row.shownW - 3, row.shownW - 3, 2}, sy[] = {2, 2, row.shownH - 3, row.shownH - 3};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(red(shot(sx[c], sy[c])), c == row.corner) << "in the shot, corner " << c;

    // The window fitted to the picture as the file means it (the user's turn aside, as ever),
    // the bars below it.
    app.setWindowScale(1.0);
    int ww = 0, wh = 0;
    app.window.size(ww, wh);
    const bool userQuarter = row.userTurn % 180 != 0;
    EXPECT_EQ(ww, userQuarter ? row.shownH : row.shownW);
    EXPECT_EQ(wh, (userQuarter ? row.shownW : row.shownH) + app.toPixels(112));
  }
}

TEST_F(AppCore, AbRepeatJumpsOncePerPassAndTheSleepTimerPauses) {
  app.setPointB();
  EXPECT_EQ(app.ab.pointA, 0.0);  // B before A: the repeat runs from the start
  app.setPointA();
  EXPECT_LT(app.ab.pointA, 0);  // a second A clears it
  app.openPath(test::sineMp3(4.0));
  ASSERT_EQ(app.player.state(), Player::Playing);
  app.ab.pointA = 0.2;
  app.ab.pointB = 0.7;
  int jumps = 0;
  bool wasLatched = false;
  double maxPosition = 0;
  for (uint32_t start = tickCount(); tickCount() - start < 2600;) {
    app.tickWork();
    app.abTick();
    if (app.ab.jumpLatch && !wasLatched) ++jumps;
    wasLatched = app.ab.jumpLatch;
    maxPosition = std::max(maxPosition, app.player.position());
    sleepMs(16);
  }
  // About one pass every half second (plus the time a seek takes to settle), never a jump per paint.
  EXPECT_TRUE(jumps >= 2 && jumps <= 5) << jumps;
  EXPECT_LT(maxPosition, 1.5);
  app.clearAB();
  EXPECT_LT(app.ab.pointB, 0);
  app.setSleepTimer(15);
  app.sleepDeadline = tickCount() - 10;
  app.tickWork();
  EXPECT_EQ(app.sleepDeadline, 0u);
  EXPECT_EQ(app.player.state(), Player::Paused);
  app.player.close();
}

TEST_F(AppCore, OpeningFilesDroppingThemTheQueueResumeAndRepeatOne) {
  std::string a = test::sineMp3(1.0, 440), b = test::sineMp3(1.0, 660);
  app.playlist.addFile(a);
  app.playlist.addFile(b);
  app.openPath(b);  // already queued: the queue stays, its entry becomes current
  EXPECT_EQ(std::tuple(app.playlist.count(), app.playlist.currentIndex()), std::tuple(2, 1));
  EXPECT_EQ(app.medium.historyKey + "|" + settings().recent.front(), b + "|" + b);
  app.onMessage(kMsgMediumEnded);  // repeat off, at the last: nothing follows
  EXPECT_EQ(app.playlist.currentIndex(), 1);
  app.playItem(0);
  app.onMessage(kMsgMediumEnded);  // stale: the player has not ended
  EXPECT_EQ(app.playlist.currentIndex(), 0);
  playToEnd();
  app.onMessage(kMsgMediumEnded);
  EXPECT_EQ(app.medium.path, b);
  app.openPath(test::sineMp3(2.0, 550));  // not queued: the queue becomes this one file
  EXPECT_EQ(app.playlist.count(), 1);
  app.onDropFiles({a, dir.write("notes.txt", "x"), b}, 10, 10);  // media files only, the first plays
  EXPECT_EQ(std::tuple(app.playlist.count(), app.medium.path), std::tuple(2, a));
  app.playlist.addFile(a);
  app.playItem(2);  // a file queued twice: the entry opened is current
  EXPECT_EQ(app.playlist.currentIndex(), 2);
  std::string file = test::sineMp3(10.0);  // resume from the history, within limits
  app.history.update(file, 4.5, 10.0);
  app.openPath(file);
  EXPECT_EQ(app.toast.text, "0:04부터 이어보기");
  for (double at : {9.6, 1.5}) {  // 96 % and the first seconds: from the start, silently
    app.toast.text.clear();
    app.history.update(file, at, 10.0);
    app.openPath(file);
    EXPECT_EQ(app.toast.text, "") << at;
  }
  // Repeat one of a file the periodic save left near its end: the user's open still resumes, the
  // repeat starts at zero, silently, and the finished file has nothing left to resume.
  app.history.update(file, 8.5, 10.0);
  app.playlist.repeatMode = 2;
  app.openPath(file);
  EXPECT_EQ(app.toast.text, "0:08부터 이어보기");
  playToEnd();
  app.toast.text.clear();
  app.onMessage(kMsgMediumEnded);
  EXPECT_NEAR(app.history.position(file), app.player.duration(), 0.01);
  tickFor(300);
  EXPECT_LT(app.player.position(), 2.0);
  EXPECT_EQ(app.toast.text, "");
  // Subtitles found at once do not hide where the film resumed; what opens next drops them.
  std::string film = dir.file("film.mp3");
  std::filesystem::copy_file(file, film);
  dir.write("film.srt", "1\n00:00:05,000 --> 00:00:09,000\nhi\n");
  app.history.update(film, 4.5, 10.0);
  app.openPath(film);
  EXPECT_EQ(app.toast.text, "0:04부터 이어보기 · 자막 로드됨");
  app.openMedia("http://127.0.0.1:1/radio", "radio", false);
  EXPECT_TRUE(app.subtitles.track.empty());
  app.player.close();
}

TEST_F(AppCore, MissingFolderOrCorruptFileShowsTheFailureScreenNotTheName) {
  openWindow(640, 400);
  std::string corrupt = dir.write("corrupt.mp4", std::string(8192, 'x'));
  for (const std::string& path : {dir.file("missing.mp3"), dir.path(), corrupt}) {
    app.openPath(path);
    EXPECT_EQ(std::tuple(app.window.title(), app.medium.path, app.connection.retryOffered, app.connection.lastAttempt.name),
              std::tuple("Vell Player", "", true, displayName(path)))
        << path;
  }
}

// The desktop may blank the screen unless a picture is moving; the system's fine timer is held
// while anything plays. Minimised, the window is not drawn while the playback goes on; restored,
// it is drawn again.
TEST_F(AppCore, ScreenSaverFineTimersAndDrawingFollowPlaybackAndTheWindow) {
  openWindow(320, 240);
  ASSERT_TRUE(app.renderer.initialize(app.window));
  app.resources.build(22);
  app.mediaSession = std::make_unique<MediaSession>(app);  // it follows the playback state
  app.openPath(test::h264AacMp4(3.0));
  GraphicsDevice& device = app.renderer.device();
  auto paintFor = [&](uint32_t ms) {
    const int before = device.presents();
    for (uint32_t start = tickCount(); tickCount() - start < ms; sleepMs(16)) app.paint();
    return device.presents() - before;
  };
  EXPECT_GT(paintFor(300), 0);
  tickFor(100);
  EXPECT_FALSE(app.window.screenSaverAllowed());
  EXPECT_TRUE(fineTimersHeld());
  app.window.minimize();
  const bool minimized = app.window.isMinimized();
  EXPECT_EQ(minimized, test::windowsMinimize());
  const double position = app.frameSlot.pts;
  EXPECT_EQ(paintFor(400) == 0, minimized);
  EXPECT_GT(app.frameSlot.pts, position + 0.2);  // the pictures due were still taken
  app.window.restore();
  EXPECT_GT(paintFor(100), 0);
  app.player.togglePause();
  tickFor(400);
  EXPECT_TRUE(app.window.screenSaverAllowed());
  EXPECT_FALSE(fineTimersHeld());
  app.openPath(test::sineMp3(3.0));
  tickFor(400);
  EXPECT_TRUE(app.window.screenSaverAllowed());  // sound alone lets it run
  EXPECT_TRUE(fineTimersHeld());
  app.requestClose();  // the program's end gives it back
  EXPECT_FALSE(fineTimersHeld());
}

TEST_F(AppCore, KeyTable) {
  auto press = [&](int k, bool ctrl = false, bool shift = false, bool alt = false) {
    return app.keyboard.onKey(k, ctrl, shift, alt);
  };
  for (int k :
       std::initializer_list<int>{'O', 'T', 'Z', 'L', 'J', 'G', 'K', 'A', 'S', 'D', vk::OemComma, vk::OemPeriod, vk::Oem2})
    EXPECT_FALSE(press(k, true)) << k;  // left to the system
  EXPECT_FALSE(press(vk::Return, false, false, true) || press(vk::F1 + 3, false, false, true));  // Alt+Enter, Alt+F4
  app.player.setVolume(0.8f);
  // Modifiers: 1 Ctrl, 2 Shift, 4 Alt.
  // Shift, then Alt pick the seek step; volume takes Ctrl too; Z at 1.0 has no speed to return to
  struct Row { int key, mods; const char* toast; } rows[] = {
      {vk::Right, 3, "▶ 10.0초"}, {vk::Left, 5, "◀ 0.5초"}, {vk::Left, 0, "◀ 3.0초"}, {vk::Right, 1, "▶ 0.1초"},
      {vk::Up, 1, "볼륨: 82%"}, {vk::Up, 0, "볼륨: 84%"}, {'M', 0, "음소거 ON"}, {'M', 0, "음소거 OFF"},
      {'Z', 0, "속도: 1.0x"}, {'C', 0, "속도: 1.1x"}, {'C', 0, "속도: 1.2x"}, {'Z', 0, "속도: 1.0x"}, {'Z', 0, "속도: 1.2x"},
      {'X', 0, "속도: 1.1x"}, {vk::Oem7, 0, "오디오 싱크: +50 ms"}, {vk::Oem1, 2, "오디오 싱크: +40 ms"},
      {vk::Oem1, 1, "오디오 싱크: +0 ms"}, {vk::OemPeriod, 0, "자막 딜레이: +0.5초"}, {vk::OemPeriod, 0, "자막 딜레이: +1.0초"},
      {vk::OemComma, 0, "자막 딜레이: +0.5초"}, {vk::Oem2, 0, "자막 딜레이 초기화"}, {'Q', 0, "회전: 270°"},
      {'E', 0, "회전: 0°"}, {'E', 0, "회전: 90°"}, {'S', 0, "회전: 180°"}, {'W', 0, "회전: 0°"}, {'D', 0, "회전: 90°"},
      {'A', 0, "회전: 270°"}, {'H', 0, "좌우 반전 ON"}, {'V', 0, "상하 반전 ON"}, {'L', 0, "전체 반복"},
      {'L', 0, "한곡 반복"}, {'L', 0, "반복 해제"}, {'J', 0, "셔플 ON"}, {'G', 0, "자막 OFF"},
  };
  for (const Row& r : rows) {
    app.keyboard.lastSeekTick = tickCount() - 201;
    EXPECT_TRUE(press(r.key, r.mods & 1, r.mods & 2, r.mods & 4));
    EXPECT_EQ(app.toast.text, r.toast) << r.key;
  }
  app.keyboard.lastSeekTick = tickCount();
  EXPECT_TRUE(press(vk::Right));  // within 200 ms of a seek: consumed, nothing happens
  EXPECT_EQ(app.toast.text, "자막 OFF");
  for (int i = 0; i < 120; ++i) press(vk::Oem7);
  EXPECT_EQ(app.player.syncOffsetMs(), 5000);  // the offset stops at 5 s
  app.view.helpVisible = app.view.quickOpenVisible = true;
  press(vk::Escape);  // the top layer first
  EXPECT_EQ(open(), "-----q");
  press(vk::Escape);
  EXPECT_EQ(open(), "------");
  EXPECT_TRUE(press(vk::Escape));  // consumed even with nothing to close
  press(vk::F1);
  EXPECT_TRUE(app.view.helpVisible);
}

using test::find, test::marks, test::submenuMarks;

// Y moves through the audio tracks with a toast (none marked default: the Korean one plays
// first), the menu ticks the one playing, and the choice comes back when the file does.
TEST_F(AppCore, AudioTracksCycleShowInTheMenuAndAreRememberedWithTheFile) {
  std::string twoLanguages = test::makeMedia(
      "-f lavfi -i sine=frequency=440:duration=4 -f lavfi -i sine=frequency=880:duration=4 -map 0 -map 1 -c:a aac "
      "-ac:a:1 2 -metadata:s:a:0 language=eng -metadata:s:a:1 language=kor -disposition:a:0 0 -disposition:a:1 0",
      "mka");
  auto trackMarks = [&] { return submenuMarks(buildMainMenu(app), "오디오 트랙"); };
  // The submenu's ticked track before any key, and the toasts of Y pressed again and again.
  struct Row { std::string path; const char* menu; std::vector<const char*> toasts; } rows[] = {
      {twoLanguages, "2. 한국어 (AAC 스테레오)* of 2", {"오디오: 1/2 English", "오디오: 2/2 한국어", "오디오: 1/2 English"}},
      {test::sineMp3(2.0), "1. MP3 스테레오* of 1", {"오디오: 1/1 MP3 스테레오"}},
      {test::makeMedia("-f lavfi -i testsrc2=size=64x48:rate=10:duration=1 -c:v libx264 -preset ultrafast", "mp4"),
       "none", {"오디오 트랙 없음"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.menu);
    app.openPath(r.path);
    EXPECT_EQ(trackMarks(), r.menu);
    for (const char* toast : r.toasts) {
      EXPECT_TRUE(app.keyboard.onKey('Y', false, false, false));
      EXPECT_EQ(app.toast.text, toast);
    }
  }
  // English was chosen last: it is the track when the file is back, before it plays.
  HistoryRecord saved;
  ASSERT_TRUE(app.history.find(twoLanguages, saved));
  EXPECT_EQ(std::tuple(saved.audioStream, saved.audioLanguage), std::tuple(0, std::string("eng")));
  app.openPath(twoLanguages);
  EXPECT_EQ(app.player.currentAudioTrack(), 0);
  EXPECT_EQ(trackMarks(), "1. English (AAC 모노)* of 2");
  app.onCommand(kCmdAudioTrackFirst + 1);  // the menu's pick
  EXPECT_EQ(app.toast.text, "오디오: 2/2 한국어");
  EXPECT_EQ(app.player.currentAudioTrack(), 1);
  app.player.close();
}

// N and B step through the chapters with a toast each: B goes back to the start of a chapter
// more than 5 s in, else to the one before; neither moves past the first or the last one. The
// menu lists them, ticks the one playing and goes to the one chosen. Without chapters the keys
// are left to others and the menu has no chapter list.
TEST_F(AppCore, ChaptersStepWithNAndBAndAreListedInTheMenu) {
  auto chapter = test::chapterSection;
  const std::string meta =
      test::metadataFile(chapter(0, 4000, "title=서곡") + chapter(4000, 10000, "title=2악장") + chapter(10000, 20000, ""));
  app.openPath(test::makeMedia("-f lavfi -i sine=duration=20 -i '" + meta + "' -map 0 -map_metadata 1 -c:a aac", "mka"));
  app.player.pause();
  struct Row { double at; std::string keys; const char* toast; double to; } rows[] = {
      {1, "B", "챕터 1/3: 서곡", 1},  // the first one's first seconds: it stays
      {1, "N", "챕터 2/3: 2악장", 4},
      {6, "B", "챕터 1/3: 서곡", 0},  // 2 s in: the one before
      {9.5, "B", "챕터 2/3: 2악장", 4},  // 5.5 s in: its own start
      {12, "N", "챕터 3/3", 12},  // the last one stays
      {16, "B", "챕터 3/3", 10},
      {1, "NN", "챕터 3/3", 10},  // quick presses go on from where the last one went
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.at) + " " + r.keys);
    app.player.seekTo(r.at);
    for (char k : r.keys) EXPECT_TRUE(app.keyboard.onKey(k, false, false, false));
    EXPECT_EQ(app.toast.text, r.toast);
    EXPECT_NEAR(app.player.destination(), r.to, 0.01);
  }
  app.player.seekTo(6);
  const std::vector<MenuItem> menu = buildMainMenu(app);
  EXPECT_EQ(submenuMarks(menu, "챕터"), "2. 2악장  0:04* of 3");
  EXPECT_NE(find(menu, "3. 챕터 3  0:10"), nullptr);
  app.onCommand(kCmdChapterFirst + 2);
  EXPECT_EQ(app.toast.text, "챕터 3/3");
  EXPECT_NEAR(app.player.destination(), 10, 0.01);

  app.openPath(test::sineMp3(2.0));
  app.showToast("", 1500);
  EXPECT_FALSE(app.keyboard.onKey('N', false, false, false) || app.keyboard.onKey('B', false, false, false));
  EXPECT_EQ(app.toast.text, "");
  EXPECT_EQ(find(buildMainMenu(app), "챕터"), nullptr);
  app.player.close();
}

using Menus = test::AppHarness;

TEST_F(Menus, MainMenuTicksGreyItemsAndOptionalLines) {
  std::string srt = dir.write("a.srt", "1\n00:00:01,000 --> 00:00:02,000\nhi\n");
  // `optional` must be there only in this case.
  struct Case { std::function<void(App&)> setUp; const char *title, *marks, *optional; } cases[] = {
      {[](App& a) { a.setSpeed(2.0); }, "재생 속도", "2.0x*", nullptr},
      {[](App&) { settings().opacity = 0.87f; }, "투명도", "90%*", nullptr},
      {[](App&) { settings().opacity = 0.75f; }, "투명도", "", nullptr},
      {[](App& a) { a.sleepDeadline = tickCount() + 30000; }, "슬립 타이머", "남은 시간: 1분~", "타이머 해제"},
      {[](App& a) { a.sleepDeadline = tickCount() - 5; }, "슬립 타이머", "", "타이머 해제"},  // passed, not cleared
      {[](App&) { settings().wheelAction = 1, settings().wheelSeekDelta = 5; }, "마우스 휠", "탐색 이동*|5초*", "1초"},
      {[](App&) {}, "오디오 싱크", "현재: +0 ms~|초기화 (0 ms)~", nullptr},
      {[](App& a) { a.ab.pointA = 5, a.ab.pointB = 3; }, "구간 반복", "구간 반복 해제~", "A 지점 해제"},
      {[&srt](App& a) { a.subtitles.track.loadFile(srt); }, "자막 ✔", "자막 켜기/끄기*|딜레이: +0.0초~|크기: 22pt~", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    settings() = Settings{};
    app.setSpeed(1.0);
    app.sleepDeadline = 0;
    app.ab.pointA = app.ab.pointB = -1;
    EXPECT_TRUE(!c.optional || !find(buildMainMenu(app), c.optional));
    c.setUp(app);
    std::vector<MenuItem> menu = buildMainMenu(app);
    const MenuItem* sub = find(menu, c.title);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(marks(sub->submenu), c.marks);
    EXPECT_TRUE(!c.optional || find(sub->submenu, c.optional));
  }
  // Recent files: a submenu only when there are some, long names cut.
  settings().recent = {"/m/" + std::string(30, 'a') + "가나다라마바사아자차카타파하가나다라마바사아자차카타파하가나"};
  EXPECT_EQ(find(buildMainMenu(app), "최근 재생")->submenu[0].label,
            std::string(30, 'a') + "가나다라마바사아자차카타파하가나다라..");
}

TEST_F(Menus, PlaylistAndStreamMenusByRowAndEntry) {
  Playlist& p = app.playlist;
  EXPECT_FALSE(find(buildPlaylistMenu(p, -1), "전체 삭제"));  // nothing to clear
  p.addFile("/m/a.mp3");
  p.addFile("/m/b.mp3");
  EXPECT_TRUE(find(buildPlaylistMenu(p, -1), "전체 삭제"));
  EXPECT_FALSE(find(buildPlaylistMenu(p, 2), "재생"));  // past the end: no row items
  EXPECT_TRUE(find(buildPlaylistMenu(p, 0), "삭제"));
  EXPECT_FALSE(find(buildPlaylistMenu(p, 0), "카테고리 이동"));  // no categories yet
  p.addCategory("음악");
  p.addCategory("강의");
  p.setCategory(1, "강의");
  std::vector<MenuItem> menu = buildPlaylistMenu(p, 1);
  EXPECT_EQ(marks(find(menu, "카테고리 이동")->submenu), "강의*");
  EXPECT_TRUE(find(menu, "분류 해제"));
  EXPECT_FALSE(find(buildPlaylistMenu(p, 0), "분류 해제"));
  StreamEntry builtin{RADIO_MP3, "b1", "방송", "", "", "http://x/", false, false};
  StreamEntry user = builtin;
  user.isUser = true;
  EXPECT_TRUE(find(buildStreamMenu(&builtin, false), "기본값으로 되돌리기"));
  EXPECT_FALSE(find(buildStreamMenu(&user, true), "기본값으로 되돌리기"));
  EXPECT_TRUE(find(buildStreamMenu(&user, true), "새 팟캐스트 추가..."));
  EXPECT_FALSE(find(buildStreamMenu(nullptr, false), "재생"));
}

TEST_F(Menus, CommandsAndConfirmations) {
  for (int id : {kCmdSpeedFirst + 6, +kCmdSyncMinus50, kCmdOpacityFirst + 1, +kCmdSubtitleBigger, kCmdWheelStepFirst + 3})
    app.onCommand(id);
  EXPECT_EQ(std::tuple(app.player.speed(), app.player.syncOffsetMs(), settings().opacity, app.resources.subtitleSize,
                       settings().wheelSeekDelta),
            std::tuple(2.0, -50, 0.9f, 24.0f, 10.0));
  app.onCommand(8106);
  EXPECT_NEAR(static_cast<double>(app.sleepDeadline - tickCount()), 180 * 60000.0, 2000);
  app.view.browserOpen = app.playlist.visible = true;  // the settings panel takes the side
  app.settingsPanel.scroll = 90;
  app.settingsPanel.hover = 4;
  app.onCommand(kCmdSettings);
  EXPECT_EQ(open(), "--s---");
  EXPECT_EQ(std::tuple(app.settingsPanel.scroll, app.settingsPanel.hover), std::tuple(0, -1));
  settings().recent = {"/nowhere/a.mp4"};
  app.onCommand(kCmdRecentFirst + 1);  // the list shrank after the menu was built
  EXPECT_TRUE(app.medium.path.empty());
  answerBoxes();  // confirmations: No leaves everything, Yes acts
  app.playlist.addFile("/m/a.mp3");
  app.playlistMenuCommand(kPlClear, -1);
  EXPECT_EQ(asked.back(), "확인|재생목록을 전체 삭제하시겠습니까?");
  EXPECT_EQ(app.playlist.count(), 1);
  answer = MessageAnswer::Yes;
  app.playlistMenuCommand(kPlClear, -1);
  EXPECT_TRUE(app.playlist.empty());
  app.playlistMenuCommand(kPlLoad, -1);  // nothing saved yet
  EXPECT_EQ(app.toast.text, "재생목록 불러오기 실패");
  ASSERT_TRUE(app.catalog.addUserStream({RADIO_MP3, "user_1", "내 방송", "사용자", "", "http://127.0.0.1:1/", true, false}));
  answer = MessageAnswer::No;
  app.streamMenuCommand(kStDelete, "user_1");
  EXPECT_EQ(asked.back(), "스트림 삭제|삭제하시겠습니까?\n\n내 방송");
  EXPECT_TRUE(app.catalog.findById("user_1"));
  answer = MessageAnswer::Yes;
  app.streamMenuCommand(kStDelete, "user_1");
  EXPECT_FALSE(app.catalog.findById("user_1"));
  app.toast.text.clear();
  app.streamMenuCommand(kStPlay, "user_1");  // gone since: nothing happens
  EXPECT_EQ(app.toast.text, "");
  app.view.browserPodcastMode = true;
  answer = MessageAnswer::No;
  app.streamMenuCommand(kStResetAll, "");
  EXPECT_EQ(asked.back().rfind("초기화 확인|모든 팟캐스트 스트림을", 0), 0u);
}

// The confirmation boxes take the keyboard themselves: Enter chooses the default button, an
// arrow moves to the other one, Escape is the escape answer; none of the keys reaches the key
// table of the window behind (Enter there is full screen, Escape closes the help, Right seeks).
TEST_F(Menus, KeysInAConfirmationBoxAnswerItAndNeverReachTheWindow) {
  openWindow(640, 400);
  app.view.helpVisible = true;
  const size_t stations = app.catalog.radioStreams().size();
  struct Case {
    const char* keys;
    std::vector<int> press;
    std::function<void(App&)> ask;
    const char* caption;
    size_t queued, added;  // after the answer
  } cases[] = {
      {"Enter on 예", {vk::Return}, [](App& a) { a.playlistMenuCommand(kPlClear, -1); }, "확인", 0, 0},
      {"Right, Enter on 아니요", {vk::Right, vk::Return}, [](App& a) { a.playlistMenuCommand(kPlClear, -1); },
       "확인", 1, 0},
      {"Escape", {vk::Escape}, [](App& a) { a.addClipboardStation(); }, "스트림 추가", 1, 0},
      {"Enter on 확인", {vk::Return}, [](App& a) { a.addClipboardStation(); }, "스트림 추가", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    if (app.playlist.empty()) app.playlist.addFile("/m/a.mp3");
    ASSERT_TRUE(Window::setClipboardText("http://127.0.0.1:1/live"));
    {
      test::BoxKeys keys(c.caption, c.press);
      c.ask(app);
      EXPECT_TRUE(keys.answeredByKeys());
    }
    WindowEvent e;  // anything the window still has goes to the App now
    while (app.window.waitEvent(e, 100)) app.handleEvent(e);
    EXPECT_EQ(std::tuple(static_cast<size_t>(app.playlist.count()), app.catalog.radioStreams().size() - stations),
              std::tuple(c.queued, c.added));
  }
  EXPECT_EQ(std::tuple(app.view.fullscreen, app.view.helpVisible, app.player.position()), std::tuple(false, true, 0.0));
}

// A menu opens at the cursor, or to its left and above it where the work area has no room right
// or below, from the top when too tall. A submenu opens beside its parent inside the work area:
// right of it, else left of it, else on the roomier side; moved up at the bottom. Areas may lie
// left of or above the main display.
TEST(PopupPlacement, MenusAndSubmenusStayInsideTheArea) {
  struct Case { RectI area; int x, y, w, h, expectX, expectY; } menus[] = {
      {{0, 0, 1280, 800}, 100, 100, 200, 300, 100, 100}, {{0, 0, 1280, 800}, 1200, 700, 200, 300, 1000, 400},
      {{0, 0, 1280, 800}, 100, 300, 200, 900, 100, 0}, {{1280, 0, 1920, 1080}, 1290, 1000, 200, 300, 1290, 700},
  };
  for (const Case& c : menus) {
    int x = 0, y = 0;
    placePopup(c.area, c.x, c.y, c.w, c.h, x, y);
    EXPECT_EQ(std::tuple(x, y), std::tuple(c.expectX, c.expectY)) << c.x << "," << c.y;
  }
  struct SubCase { RectI area; int parentLeft, parentRight, titleTop, w, h, expectX, expectY; } submenus[] = {
      {{0, 0, 1280, 800}, 0, 200, 100, 220, 300, 198, 100},        // at the left edge: right of it
      {{0, 0, 1280, 800}, 1000, 1200, 100, 220, 300, 782, 100},    // no room right: left of it
      {{0, 0, 640, 800}, 10, 210, 700, 500, 300, 140, 500},         // neither: the roomier right, kept inside
      {{0, 0, 640, 800}, 400, 600, 0, 500, 300, 0, 0},              // neither: the roomier left, kept inside
      {{-1280, 0, 1280, 1024}, -1280, -1080, 50, 220, 300, -1082, 50},  // a display left of the main one
      {{-1280, 0, 1280, 1024}, -200, 0, 900, 220, 300, -418, 724},
  };
  for (const SubCase& c : submenus) {
    int x = 0, y = 0;
    placeSubmenu(c.area, c.parentLeft, c.parentRight, c.titleTop, c.w, c.h, x, y);
    EXPECT_EQ(std::tuple(x, y), std::tuple(c.expectX, c.expectY)) << c.parentLeft << ".." << c.parentRight;
  }
}

// A music folder's picture: "cover" before "folder" before "front", in any letter case; none
// for a folder without one or for an address.
TEST(FolderCover, FoundBesideTheFileInAnyCase) {
  test::TempDir dir;
  dir.write("a/Folder.PNG", "png a");
  dir.write("a/COVER.jpg", "jpg a");
  dir.write("b/front.png", "png b");
  dir.write("c/coverage.jpg", "not a cover");
  const std::tuple<std::string, bool, std::string, std::string> cases[] = {
      {dir.file("a/song.flac"), true, "jpg a", "image/jpeg"},
      {dir.file("b/song.mp3"), true, "png b", "image/png"},
      {dir.file("c/song.mp3"), false, "", ""},
      {"http://radio.example/cover.jpg", false, "", ""}};
  for (const auto& [media, found, bytes, mime] : cases) {
    std::string gotBytes, gotMime;
    EXPECT_EQ(readFolderCover(media, gotBytes, gotMime), found) << media;
    EXPECT_EQ(gotBytes + "|" + gotMime, found ? bytes + "|" + mime : "|") << media;
  }
}

}  // namespace
}  // namespace vell
