// Window features: full screen, compact view, always on top, size presets, opacity, turn.rotation
// and flips, and the About window.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/App.h"
#include "platform/Clock.h"
#include "app/AboutWindow.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "settings/Settings.h"
#include "subtitles/SubtitleState.h"

namespace vell {

void App::toggleFullscreen() {
  closeInputDialog();
  view.fullscreen = !view.fullscreen;
  if (view.fullscreen) {
    window.position(restoreRect.x, restoreRect.y);
    window.size(restoreRect.w, restoreRect.h);
    window.setFullscreen(true);
  } else {
    window.setPosition(restoreRect.x, restoreRect.y);
    window.setSize(restoreRect.w, restoreRect.h);
    window.showCursor(true);
  }
}

void App::toggleCompactView() {
  view.compact = !view.compact;
  settings().compactView = view.compact;
  // The hidden browser takes no typing: an input method would otherwise keep the shortcut keys.
  if (view.browserOpen && !input.open) {
    if (view.compact)
      window.stopTextInput();
    else
      window.startTextInput();
  }
}

void App::toggleAlwaysOnTop() {
  view.alwaysOnTop = !view.alwaysOnTop;
  window.setAlwaysOnTop(view.alwaysOnTop);
  showToast(view.alwaysOnTop ? "항상 위 ON" : "항상 위 OFF", 1500);
}

void App::setWindowScale(double scale) {
  if (view.fullscreen) return;
  int baseW = 800, baseH = 450;
  if (player.hasVideo()) {
    MediaInfo info = player.source().info();
    if (info.width >= 1 && info.height >= 1) info.geometry.shownSize(info.width, info.height, baseW, baseH);
  }
  // The picture in pixels, the bars around it in layout units.
  window.setSize(static_cast<int>(baseW * scale), static_cast<int>(baseH * scale) + toPixels(112));
}

void App::setOpacity(float value, bool withMessage) {
  settings().opacity = value;
  window.setOpacity(value >= 1.0f ? 1.0f : value);
  if (withMessage) showToast(formatText("투명도: %d%%", static_cast<int>(value * 100)), 1500);
}

void App::rotateBy(int degrees) {
  turn.rotation = ((turn.rotation + degrees) % 360 + 360) % 360;
  showToast(formatText("회전: %d°", turn.rotation), 1500);
}

void App::setRotation(int degrees) {
  turn.rotation = ((degrees % 360) + 360) % 360;
  showToast(formatText("회전: %d°", turn.rotation), 1500);
}

void App::toggleFlipH() {
  turn.flipH = !turn.flipH;
  showToast(turn.flipH ? "좌우 반전 ON" : "좌우 반전 OFF", 1500);
}

void App::toggleFlipV() {
  turn.flipV = !turn.flipV;
  showToast(turn.flipV ? "상하 반전 ON" : "상하 반전 OFF", 1500);
}


void App::showAboutWindow() {
  if (about.open) return;
  about.open = true;
  AboutWindow box;
  if (box.create(window.handle())) {
    about.window = &box;
    debugLog("About window shown");
    box.run();
    about.window = nullptr;
  }
  about.open = false;  // also when the window could not be made, so it can be tried again
}

}  // namespace vell
