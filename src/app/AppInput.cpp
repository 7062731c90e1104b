// Key, text and mouse input: the keys and typed text, the frameless window's hit test, clicks,
// drags, the wheel and dropped files.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/App.h"
#include "playlist/PlaylistPanel.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/VirtualKeys.h"
#include "render/OverlayLayout.h"
#include "settings/Settings.h"

namespace vell {

namespace {

bool hasMediaExtension(const std::string& path) {
  static const char* kExtensions[] = {".mp4", ".mkv", ".avi",  ".mov", ".wmv",  ".flv", ".webm", ".m4v", ".mpg",
                                      ".mpeg", ".3gp", ".ogv", ".vob", ".mp3",  ".flac", ".wav", ".aac",  ".ogg",
                                      ".wma", ".m4a", ".mka", ".opus", ".ape", ".alac", ".aiff", ".mid", ".midi"};
  std::string name = displayName(path);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = asciiLower(name.substr(dot));
  for (const char* e : kExtensions)
    if (ext == e) return true;
  return false;
}

}  // namespace

ClientLayout App::computeLayout() const {
  ClientLayout l;
  clientSize(l.width, l.height);
  bool bare = view.fullscreen || view.compact;
  l.topBar = bare ? 0 : 32;
  int bottomBar = bare ? std::max(0, 68 - static_cast<int>(view.controlsOffset)) : 68;
  l.controlBarTop = std::max(l.height - bottomBar, bare ? 20 : 52);
  l.seekBarY = l.controlBarTop + 2;
  l.buttonsY = l.controlBarTop + 14;
  l.buttonsHeight = std::max(20, l.height - l.buttonsY);
  l.sidePanelWidth = (view.settingsOpen || view.browserOpen || playlist.visible) && !view.compact ? 320 : 0;
  return l;
}

HitCode App::nonClientHitTest(int x, int y) const {
  int w = 0, h = 0;
  clientSize(w, h);
  const int b = 6;
  if (y < b) return x < b ? HitCode::TopLeft : x > w - b ? HitCode::TopRight : HitCode::Top;
  if (y > h - b) return x < b ? HitCode::BottomLeft : x > w - b ? HitCode::BottomRight : HitCode::Bottom;
  if (x < b) return HitCode::Left;
  if (x > w - b) return HitCode::Right;
  // A window filling the display is not dragged; a double click still leaves full screen.
  if (input.open || view.helpVisible || view.fullscreen) return HitCode::Client;
  if (view.settingsOpen && x >= w - 320) return HitCode::Client;
  if (y < 32 && !view.fullscreen && !view.compact) {
    if (x >= w - 184 || (y >= 5 && y <= 27 && x >= 28 && x <= 171)) return HitCode::Client;
    return HitCode::Caption;
  }
  ClientLayout l = computeLayout();
  int bottom = l.height - l.controlBarTop;
  int top = (view.fullscreen || view.compact) ? 0 : 32;
  double middle = (top - bottom + h) * 0.5;
  bool idle = player.state() == Player::Stopped;
  if (idle && (connection.retryOffered || !settings().lastPodcastUrl.empty()) && y >= middle - 30 && y <= middle + 140)
    return HitCode::Client;
  if (view.quickOpenVisible && view.quickOpenAlpha > 0.3f) {
    int W = std::min(w - 32, 380);
    if (y >= h - bottom - 52 && y <= h - bottom - 10 && x >= w / 2 - W / 2 && x <= w / 2 + W / 2)
      return HitCode::Client;
  }
  if (y >= h - bottom) return HitCode::Client;
  if (!view.compact && l.sidePanelWidth > 0 && x >= w - 320) return HitCode::Client;
  if (connection.retryOffered || view.quickOpenVisible) return HitCode::Client;
  if (idle) return HitCode::Caption;
  if (player.hasVideo()) return HitCode::Client;
  double cx = (w - l.sidePanelWidth) / 2.0, cy = (top - bottom + h) / 2.0 - 40;
  double dx = x - cx, dy = y - cy;
  return dx * dx + dy * dy < 6400 ? HitCode::Client : HitCode::Caption;
}

void App::onMouseDown(int x, int y, int) {
  ClientLayout l = computeLayout();
  int w = l.width;
  // The layers painted on top take the click first: the help overlay, then the input dialog
  // (which also has the keyboard), then the settings panel under it.
  if (view.helpVisible) {
    view.helpVisible = false;
    return;
  }
  if (input.open) {
    inputDialogMouseDown(x, y, 1);
    return;
  }
  // The click's one target is decided before anything runs: what runs may pump messages and
  // change the panels under the pointer. The open side panel takes its whole rectangle.
  const bool onSidePanel = l.sidePanelWidth > 0 && x >= w - l.sidePanelWidth && y >= l.topBar && y < l.controlBarTop;
  if (!(view.browserOpen && onSidePanel)) streamBrowser.searchFocused = false;  // a click elsewhere leaves the search
  if (view.settingsOpen && l.sidePanelWidth > 0) {
    if (x < w - 320) {
      view.settingsOpen = false;
      settingsPanel.hover = -1;
      return;
    }
    if (y >= l.topBar && y < l.controlBarTop) {
      settingsPanelClick(x, y);
      return;
    }
    // The window buttons and the control bar beside the panel keep working.
  }

  if (y <= 31 && !view.fullscreen && !view.compact) {
    if (x >= w - 184) {
      int button = (x - (w - 184)) / 46;
      if (button == 0) {
        toggleAlwaysOnTop();
      } else if (button == 1) {
        window.minimize();
      } else if (button == 2) {
        if (window.isMaximized())
          window.restore();
        else
          window.maximize();
      } else {
        requestClose();
      }
      return;
    }
    if (y >= 5 && y <= 27 && x >= 28 && x < 172) {
      toggleStreamBrowser(x >= 100);
      return;
    }
  }
  if (connection.active.load()) {
    // Only the stream browser answers while a connection runs: a station switches to it.
    if (view.browserOpen && onSidePanel) onBrowserClick(x, y);
    return;
  }

  float controlsTop = static_cast<float>(l.controlBarTop);
  if (view.quickOpenVisible && view.quickOpenAlpha > 0.5f) {
    int button = quickOpenButtonAt(w, controlsTop, static_cast<float>(x), static_cast<float>(y));
    view.quickOpenVisible = false;
    view.quickOpenHover = -1;
    view.quickOpenAlpha = 0;
    if (button == 0) chooseAndOpenFile();
    else if (button == 1) openInputDialog(true);
    else if (button == 2 || button == 3) toggleStreamBrowser(button == 3);
    return;
  }
  if (onSidePanel) {
    if (view.browserOpen)
      onBrowserClick(x, y);
    else if (playlistPanelShown())
      playlistPanelClick(x, y);
    return;
  }

  bool idle = player.state() == Player::Stopped;
  double middle = (l.topBar + l.controlBarTop) / 2.0;
  if (connection.retryOffered && idle && !connection.lastAttempt.empty()) {
    double left = (w - l.sidePanelWidth) / 2.0 - 55, top = middle + 42;
    if (x >= left && x < left + 110 && y >= top && y < top + 34) {
      connection.retryOffered = false;
      OpenRequest r = connection.lastAttempt;
      if (!contains(r.url, "://"))  // a file that did not open
        openPath(r.url);
      else
        openMedia(r.url, r.name, r.podcast, r.stationId);
      return;
    }
  }
  const Settings& s = settings();
  if (idle && !s.lastPodcastUrl.empty()) {
    double bw = std::min(w - 60, 360), left = (w - bw) / 2.0, top = middle + 95;
    if (x >= left && x < left + bw && y >= top && y < top + 34) {
      view.browserOpen = false;
      toggleStreamBrowser(true);  // opens it in podcast mode
      openMedia(s.lastPodcastUrl, s.lastPodcastName, true);
      return;
    }
  }

  float seekY = static_cast<float>(l.seekBarY);
  if (seekBarHit(w, seekY, static_cast<float>(x), static_cast<float>(y))) {
    pointer.seekDragging = true;
    player.seekTo(seekPositionAt(w, static_cast<float>(x), player.duration()));
    return;
  }
  int hit = controlBarHit(w, static_cast<float>(l.buttonsY), static_cast<float>(l.buttonsHeight),
                          static_cast<float>(x), static_cast<float>(y));
  switch (hit) {
    case 1:
      if (!idle || player.hasVideo() || player.hasAudio())
        player.togglePause();
      else
        view.quickOpenVisible = !view.quickOpenVisible;
      break;
    case 3: playPrevious(); break;
    case 4: playNext(); break;
    case 5: toggleMute(); break;
    case 6:
      pointer.volumeDragging = true;
      player.setVolume(volumeAt(w, static_cast<float>(x)));
      break;
    case 7: togglePlaylistPanel(); break;
    default: break;
  }

  if (y > l.topBar && y < l.controlBarTop && x < w - l.sidePanelWidth && !idle) {
    bool onPicture = player.hasVideo();
    if (!onPicture) {
      double cx = (w - l.sidePanelWidth) / 2.0, cy = (l.topBar + l.controlBarTop) / 2.0 - 40;
      double dx = x - cx, dy = y - cy;
      onPicture = dx * dx + dy * dy < 6400;
    }
    if (onPicture) {
      pointer.clickPending = true;
      pointer.clickTick = tickCount();
    }
  }
}

void App::onMouseUp() {
  if (input.open) inputDialogMouseUp();
  pointer.seekDragging = false;
  pointer.volumeDragging = false;
}

void App::onMouseMove(int x, int y) {
  pointer.x = x;
  pointer.y = y;
  pointer.lastMoveTick = tickCount();
  if (input.open) {
    inputDialogMouseMove(x, y);
    return;
  }
  ClientLayout l = computeLayout();
  int w = l.width;
  if (view.settingsOpen) {
    if (x >= w - 320 && l.sidePanelWidth > 0)
      settingsPanelHover(y);
    else
      settingsPanel.hover = -1;
  }
  pointer.titleHover = !view.fullscreen && !view.compact ? TopBar::controlAt(w, x, y) : kTopBarNone;
  pointer.seekHover = seekBarHit(w, static_cast<float>(l.seekBarY), static_cast<float>(x), static_cast<float>(y));
  if (pointer.seekDragging) player.seekTo(seekPositionAt(w, static_cast<float>(x), player.duration()));
  if (pointer.volumeDragging) player.setVolume(volumeAt(w, static_cast<float>(x)));
  if (view.quickOpenVisible && view.quickOpenAlpha > 0.5f)
    view.quickOpenHover = quickOpenButtonAt(w, static_cast<float>(l.controlBarTop), static_cast<float>(x),
                                       static_cast<float>(y));
  pointer.controlHover = controlHoverFromHit(controlBarHit(w, static_cast<float>(l.buttonsY),
                                                   static_cast<float>(l.buttonsHeight), static_cast<float>(x),
                                                   static_cast<float>(y)));
  if (playlistPanelShown()) playlistPanelHover(x, y);
  if (view.browserOpen) onBrowserHover(x, y);
}

// Nothing stays highlighted under a pointer that has gone (off the window, or onto a menu or
// a box above it).
void App::onMouseLeave() {
  pointer.titleHover = kTopBarNone;
  pointer.seekHover = false;
  pointer.controlHover = -1;
  view.quickOpenHover = -1;
  settingsPanel.hover = -1;
  input.hover = -1;
  playlist.hoverRow = -1;
  streamBrowser.hoverRow = -1;
}

void App::onWheel(int delta) {
  if (view.browserOpen && onBrowserWheel(delta)) return;
  ClientLayout l = computeLayout();
  if (view.settingsOpen && l.sidePanelWidth > 0 && pointer.x >= l.width - 320) {
    settingsPanel.scroll = std::max(0, settingsPanel.scroll + (delta > 0 ? -30 : 30));
    return;
  }
  if (playlistPanelShown() && playlistPanelWheel(delta)) return;
  const Settings& s = settings();
  if (s.wheelAction == 1) {
    uint32_t now = tickCount();
    if (now - pointer.lastWheelTick < 100) return;
    pointer.lastWheelTick = now;
    double step = delta > 0 ? s.wheelSeekDelta : -s.wheelSeekDelta;
    player.seekBy(step);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s %.0f초", delta > 0 ? "▶" : "◀", std::fabs(step));
    showToast(buffer, 700);
    return;
  }
  changeVolume(delta > 0 ? 0.05f : -0.05f);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "볼륨: %d%%", static_cast<int>(player.volume() * 100));
  showToast(buffer, 700);
}

void App::onDoubleClick(int x, int y) {
  pointer.clickPending = false;
  if (input.open) {  // a double click in a field selects a word
    inputDialogMouseDown(x, y, 2);
    return;
  }
  ClientLayout l = computeLayout();
  if (x >= l.width - l.sidePanelWidth && l.sidePanelWidth > 0) return;
  if (y > l.topBar && y < l.controlBarTop) toggleFullscreen();
}

void App::onCaptionDoubleClick() {
  if (life.initialized) toggleFullscreen();
}

void App::onRightButtonUp(int x, int y) {
  ClientLayout l = computeLayout();
  bool onSidePanel = l.sidePanelWidth > 0 && x >= l.width - 320 && y >= l.topBar && y < l.controlBarTop;
  int sx = toPixels(static_cast<float>(x)), sy = toPixels(static_cast<float>(y));
  window.clientToScreen(sx, sy);
  if (view.browserOpen && onSidePanel) {
    std::string entryId;
    syncBrowser();
    if (const StreamEntry* e = streamBrowser.entryAt(static_cast<float>(x), static_cast<float>(y), browserPanel()))
      entryId = e->id;
    showStreamMenu(entryId, sx, sy);
    return;
  }
  if (playlist.visible && onSidePanel) {
    PanelPlace p = sidePanelPlace();
    int row = PlaylistPanel::hitTestRow(playlist, static_cast<float>(x), static_cast<float>(y), p.left, p.top,
                                        p.width, p.height);
    showPlaylistMenu(row, sx, sy);
    return;
  }
  showMainMenu(sx, sy);
}

void App::onDropFiles(const std::vector<std::string>& files, int x, int) {
  if (files.empty() || busyConnecting()) return;
  ClientLayout l = computeLayout();
  if (playlistPanelShown() && x >= l.width - 320) {
    for (const auto& f : files)
      if (hasMediaExtension(f)) playlist.addFile(f);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d개 파일 추가됨", static_cast<int>(files.size()));
    showToast(buffer, 800);
    return;
  }
  if (files.size() == 1) {
    openPath(files[0]);
    return;
  }
  playlist.clear();
  for (const auto& f : files)
    if (hasMediaExtension(f)) playlist.addFile(f);
  if (!playlist.empty()) {
    playlist.setCurrent(0);
    setPlaylistVisible(true);
    openPath(playlist.items()[0].path);
  }
}

void App::onKeyDown(int key, bool ctrl, bool shift, bool alt) {
  keyTextTaken = false;
  if (input.open) {  // the dialog's field has the keyboard
    inputDialogKey(key, ctrl, shift);
    return;
  }
  if (browserSearchKey(key, ctrl, alt)) return;  // typed into the stream browser's search
  // The character such a key types comes next as text input: its command has used it.
  bool typesText = window.textInputActive() && !ctrl && !alt && isCharacterKey(key);
  if (keyboard.onKey(key, ctrl, shift, alt) && typesText) keyTextTaken = true;
}

// Typed characters (the stand-in for WM_CHAR): the input dialog's field or the browser's search
// take them; the composition of an input method is shown where the text goes.
void App::onTextInput(const std::string& text) {
  if (keyTextTaken) {
    keyTextTaken = false;
    return;
  }
  if (input.open) {
    if (InputField* field = focusedInputField()) {
      field->type(text);
      field->drawn.touch(tickCount());
    }
    return;
  }
  // Stream browser search.
  if (view.browserOpen && browserSearchActive()) {
    syncBrowser();
    streamBrowser.composition.clear();
    streamBrowser.typeText(text);
  }
}

void App::onTextEditing(const std::string& composition) {
  if (!composition.empty()) keyTextTaken = false;  // the key went to the input method
  if (input.open) {
    if (InputField* field = focusedInputField()) {
      field->drawn.onTextEditing(composition);
      field->drawn.touch(tickCount());
    }
    return;
  }
  // Stream browser search: the composition shows after the search text until committed.
  if (view.browserOpen && browserSearchActive()) streamBrowser.composition = composition;
}

bool isCharacterKey(int key) {
  return key == vk::Space || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || (key >= 0x60 && key <= 0x6F) ||
         (key >= vk::Oem1 && key <= vk::Oem3) || (key >= vk::Oem4 && key <= vk::Oem7);
}

}  // namespace vell
