// The App's table of contents: construction, create, the message loop, posted work and shutdown.
#include "app/App.h"
#include "app/WindowPlacement.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern "C" {
#include <libavformat/avformat.h>
}

#include "app/MediaSession.h"
#include "engine/ConnectJob.h"
#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/MessageBox.h"
#include "platform/QuitSignal.h"
#include "platform/Text.h"
#include "platform/VirtualKeys.h"
#include "settings/Settings.h"

namespace vell {

namespace {

constexpr int kPaintIntervalMs = 16;
// Sound alone, or only slow motion (meters, pulses), is drawn about 20 times a second.
constexpr int kSlowIntervalMs = 50;
// With nothing playing, moving or pending, the tick only has to notice slow timers; events
// still wake the loop at once.
constexpr int kRestIntervalMs = 250;
constexpr int kCursorIntervalMs = 3000;

}  // namespace

App::App(DataPaths dataPaths)
    : paths(std::move(dataPaths)), catalog(paths.builtinDir, paths.dataDir) {
  keyboard.app = this;
  syncBrowser();
  // While a message box or About is open the loop goes on inside it, as a nested message
  // loop: posted messages and the desktop's commands are handled in order as they come.
  window.setModalLoop([this](int maxWaitMs) {
    if (life.destroyed) return false;
    pumpOnce(maxWaitMs);
    // A close asked for while connecting ends here once the connection has given up, when
    // this loop runs inside the connection's wait (the session's end must finish before it
    // returns).
    if (life.quitRequested && connection.jobDone && connection.jobDone->load()) shutdown();
    return !life.destroyed;
  });
  // A system message box runs its own loop: only the paints and timers go on under it, as
  // under a menu.
  window.setModalTick([this] {
    if (!life.destroyed) runDueTimers();
    return !life.destroyed;
  });
  historySaver_ = std::make_unique<BackgroundSaver>([this] { history.save(dataFile("podcast_history.ini")); });
}

App::App(const std::string& folder) : App(DataPaths::inOneFolder(folder)) {}

App::~App() {
  settings().save(dataFile("vell_player.ini"));
  historySaver_.reset();  // writes what is still pending
  player.close();
  holdFineTimers(false);
}

bool App::create(const std::string& commandLine) {
  Settings& s = settings();
  // Saves killed halfway leave their temporary files; nothing of ours is being saved yet.
  for (const UserFile& f : userFiles()) removeStaleTemporaries(paths.folderFor(f.name), {f.name});
  s.load(dataFile("vell_player.ini"));
  // A URL goes through the connection thread like every network medium, so the window stays
  // alive while it connects; a file opens at once, and starts opening while the window is made.
  const bool commandLineUrl = contains(commandLine, "://") && !startsWith(commandLine, "file:");
  if (!commandLine.empty() && !commandLineUrl) player.prepareFile(commandLine);
  initAudioSystem();
  installQuitHandling();

  WindowOptions options;
  options.hidden = true;
  // Created hidden at the default size, then placed: a saved size larger than the display
  // (windowW=30000) would make every start fail.
  if (!window.create("Vell Player", 1280, 720, options)) {
    showMessageBox("CreateWindowEx failed", "Debug", MessageButtons::Ok, MessageIcon::None);
    return false;
  }
  uiScale = window.dpiScale();
  debugLog("Display scale %.2f", uiScale);
  Rect place = startPlacement({s.windowX, s.windowY, s.windowW, s.windowH}, window.usableBounds());
  window.setSize(place.w, place.h);
  window.setPosition(place.x, place.y);
  window.setMinimumSize(toPixels(480), toPixels(320));
  window.setHitTester([this](int hx, int hy) { return nonClientHitTest(toUnits(hx), toUnits(hy)); });

  if (!renderer.initialize(window)) {
    showMessageBox("D3D11 renderer init failed", "Debug", MessageButtons::Ok, MessageIcon::None);
    return false;
  }
  renderer.setScale(uiScale);
  installPlayerCallbacks();
  subtitles.applySettings(s);
  resources.build(subtitles.size);
  player.setVolume(s.volume);
  player.setMuted(s.muted);
  catalog.load();
  history.load(dataFile("podcast_history.ini"));
  if (s.showPlaylist) setPlaylistVisible(true);  // as the last session left it

  uint32_t now = tickCount();
  schedule.nextPaintTick = now;
  schedule.nextCursorTick = now + kCursorIntervalMs;
  life.initialized = true;
  window.grabMediaKeys();
  mediaSession = std::make_unique<MediaSession>(*this);
  mediaSession->start();

  if (s.opacity < 1.0f) window.setOpacity(s.opacity);
  window.show();
  if (s.maximized) window.maximize();

  // End-to-end tests open the About window without a menu to click.
  if (const char* about = std::getenv("VELL_TEST_ABOUT"); about && *about == '1') postTask([this] { showAboutWindow(); });

  if (!commandLine.empty()) {
    if (commandLineUrl)
      openMedia(commandLine, displayName(commandLine), looksLikePodcastEpisode(commandLine));
    else
      openPath(commandLine);
  }
  return true;
}

void App::installPlayerCallbacks() {
  player.onOpened = [] { Window::postUserEvent(kMsgMediumOpened); };
  // Whether a next entry exists is decided on the window thread, which owns the playlist.
  player.onEnded = [] { Window::postUserEvent(kMsgMediumEnded); };
  player.onSeekPicture = [] { Window::postUserEvent(kMsgSeekPicture); };
  player.onStateChanged = nullptr;  // the window repaints every 16 ms anyway
}

int App::run() {
  life.running = true;
  setQuitSignalsToLoop(true);
  while (!life.destroyed) pumpOnce(kRestIntervalMs);
  setQuitSignalsToLoop(false);
  return 0;
}

void App::pumpOnce(int maxWaitMs) {
  uint32_t now = tickCount();
  int wait = static_cast<int>(schedule.nextPaintTick - now);
  if (wait < 0) wait = 0;
  if (wait > maxWaitMs) wait = maxWaitMs;
  WindowEvent e;
  if (window.waitEvent(e, wait)) {
    handleEvent(e);
    while (!life.destroyed && window.waitEvent(e, 0)) handleEvent(e);
    // A resting loop answers an event on the next short tick, not the long one.
    uint32_t t = tickCount();
    if (static_cast<int32_t>(schedule.nextPaintTick - t) > kPaintIntervalMs) schedule.nextPaintTick = t;
  }
  if (life.destroyed) return;
  runDueTimers();
}

void App::runDueTimers() {
  uint32_t now = tickCount();
  if (static_cast<int32_t>(now - schedule.nextPaintTick) >= 0) {
    if (!life.inSizeMove || connection.active.load()) paint();
    int interval = tickInterval();
    schedule.nextPaintTick += interval;
    if (static_cast<int32_t>(now - schedule.nextPaintTick) >= 0) schedule.nextPaintTick = now + interval;
  }
  if (static_cast<int32_t>(now - schedule.nextCursorTick) >= 0) {
    cursorTimer();
    schedule.nextCursorTick = now + kCursorIntervalMs;
  }
}

int App::tickInterval() const {
  bool playing = player.state() == Player::Playing;
  if (schedule.busy || pointer.clickPending || connection.active.load() || (playing && player.hasVideo())) return kPaintIntervalMs;
  return schedule.slow || playing ? kSlowIntervalMs : kRestIntervalMs;
}

void App::handleEvent(const WindowEvent& e) {
  schedule.wanted = true;
  switch (e.type) {
    case WindowEvent::Quit:
      requestClose();
      break;
    case WindowEvent::Resized:
      if (e.x > 0 && e.y >= 1 && life.initialized) onResized(e.x, e.y);
      break;
    case WindowEvent::FocusGained:
      view.windowActive = true;
      break;
    case WindowEvent::FocusLost:
      view.windowActive = false;
      break;
    case WindowEvent::MouseLeave:
      pointer.inside = false;
      onMouseLeave();
      break;
    case WindowEvent::MouseMove:
      pointer.inside = true;
      window.showCursor(true);
      onMouseMove(toUnits(e.x), toUnits(e.y));
      break;
    case WindowEvent::MouseDown:
      pointer.inside = true;
      if (e.button != 1) break;
      // The second press of a double click arrives as its own event, like WM_LBUTTONDBLCLK.
      if (e.clicks >= 2 && e.clicks % 2 == 0)
        onDoubleClick(toUnits(e.x), toUnits(e.y));
      else
        onMouseDown(toUnits(e.x), toUnits(e.y), e.clicks);
      break;
    case WindowEvent::MouseUp:
      if (e.button == 1) onMouseUp();
      if (e.button == 3) onRightButtonUp(toUnits(e.x), toUnits(e.y));
      break;
    case WindowEvent::MouseWheel:
      onWheel(e.wheel);
      break;
    case WindowEvent::CaptionClick:
      // The window drags only once the pointer moves (Window); the second press of a double
      // click comes with its click count.
      if (e.clicks >= 2 && e.clicks % 2 == 0) onCaptionDoubleClick();
      break;
    case WindowEvent::KeyDown:
      onKeyDown(e.key, e.ctrl, e.shift, e.alt);
      break;
    case WindowEvent::TextInput:
      onTextInput(e.text);
      break;
    case WindowEvent::TextEditing:
      onTextEditing(e.text);
      break;
    case WindowEvent::HotKey:
      if (e.key == vk::MediaPlayPause) player.togglePause();
      else if (e.key == vk::MediaNextTrack) playNext();
      else if (e.key == vk::MediaPrevTrack) playPrevious();
      else if (e.key == vk::MediaStop) player.stop();
      break;
    case WindowEvent::DropBegin:
      droppedFiles_.clear();
      break;
    case WindowEvent::DropFile:
      droppedFiles_.push_back(e.text);
      break;
    case WindowEvent::DropComplete: {
      std::vector<std::string> files;
      files.swap(droppedFiles_);
      onDropFiles(files, toUnits(e.x), toUnits(e.y));
      break;
    }
    case WindowEvent::User:
      onMessage(e.code);
      break;
    case WindowEvent::RenderReset:
      renderer.onTexturesLost();
      break;
    case WindowEvent::Exposed:
      renderer.invalidate();
      break;
    default:
      break;
  }
}

void App::onResized(int width, int height) {
  // Moving to a display of another scale arrives here too (the window takes the size the
  // system suggests for it).
  if (float scale = window.dpiScale(); scale != uiScale) {
    uiScale = scale;
    debugLog("Display scale %.2f", uiScale);
  }
  window.setMinimumSize(toPixels(480), toPixels(320));
  renderer.resize(width, height);
  renderer.setScale(uiScale);
  resources.build(subtitles.size);
  overlay.onResize();
  input.caretRect = RectF{};  // the input method's candidates are placed again, in the new pixels
  if (view.browserOpen) placeBrowserTextInput();
}

void App::clientSize(int& width, int& height) const {
  window.size(width, height);
  width = static_cast<int>(std::ceil(width / uiScale - 0.001f));
  height = static_cast<int>(std::ceil(height / uiScale - 0.001f));
}

void App::onMessage(int code) {
  switch (code) {
    case kMsgMediumEnded:
      // A stale message (the player was stopped, closed or reopened since) is no end.
      if (!player.ended()) return;
      if (liveStreamGaveUp()) return;
      // Played to its end: the autosaved position would otherwise make a repeat resume there.
      if (!medium.historyKey.empty()) {
        history.finish(medium.historyKey, player.duration());
        historySaver_->request();
      }
      // Nothing follows while an A-B repeat holds the medium, or with a single entry and no repeat.
      if (ab.pointA >= 0 && ab.pointA < ab.pointB) return;
      if (playlist.count() < 2 && playlist.repeatMode == 0) return;
      if (playlist.hasNext()) playNext(false);
      break;
    case kMsgMediumOpened:
      updateTitle();
      break;
    case kMsgSeekPicture:
      schedule.nextPaintTick = tickCount();  // shown now, not at the next tick
      break;
    case kMsgRunTasks:
      window.runTasks();
      break;
    case kMsgPendingOpen:
      if (!connection.pending.empty()) {
        OpenRequest r = connection.pending;
        connection.pending = OpenRequest{};
        openMedia(r.url, r.name, r.podcast, r.stationId);
      }
      break;
    default:
      break;
  }
}

void App::postTask(std::function<void()> task) { Window::postTask(std::move(task)); }

void App::requestClose() {
  if (life.destroyed) return;
  if (connection.active.load()) {
    // The connection gives up at once; the waiting loop then finishes the close.
    if (connection.job) connection.job->cancelled = true;
    player.source().requestAbort();
    life.quitRequested = true;
    return;
  }
  shutdown();
}

void App::shutdown() {
  // An open chooser is asked to end at once, and waited for only after the saves: its thread
  // may not answer (the session ending under an open dialog), and its choice is dropped.
  chooser_.requestCancel();
  holdFineTimers(false);
  if (life.destroyed || !life.initialized) {
    life.destroyed = true;
    endFileChooser();
    return;
  }
  if (mediaSession) mediaSession->stop();
  Settings& s = settings();
  int x = 0, y = 0, w = 0, h = 0;
  if (view.fullscreen) {
    x = restoreRect.x;
    y = restoreRect.y;
    w = restoreRect.w;
    h = restoreRect.h;
  } else {
    // Maximised, the window's own rectangle is the maximised one: keep what restoring returns to.
    Rect normal = window.normalPlacement();
    x = normal.x;
    y = normal.y;
    w = normal.w;
    h = normal.h;
  }
  s.windowX = x;
  s.windowY = y;
  s.windowW = w;
  s.windowH = h;
  s.maximized = window.isMaximized();
  if (!connection.active.load()) {
    s.volume = player.volume();
    s.muted = player.muted();
  }
  s.showPlaylist = playlist.visible;
  subtitles.storeSettings(s);
  s.save(dataFile("vell_player.ini"));
  if (!playlist.empty() && !queueOnlyOpened()) playlist.save(dataFile("playlist.dat"));
  if (!medium.historyKey.empty() && player.state() != Player::Stopped) recordHistory(true);
  historySaver_->flush();
  closeInputDialog();
  if (player.hasVideo())
    debugLog("Video frames: %llu shown, %llu dropped\n", static_cast<unsigned long long>(player.shownFrames()),
             static_cast<unsigned long long>(player.droppedFrames()));
  player.close();
  life.destroyed = true;
  endFileChooser();
}

std::string App::dataFile(const char* name) const { return paths.folderFor(name) + "/" + name; }

void App::showToast(const std::string& text, uint32_t durationMs) {
  toast.text = text;
  toast.tick = tickCount();
  toast.durationMs = durationMs;
}

}  // namespace vell
