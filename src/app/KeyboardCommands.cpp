// The key table: what each key does in the window, with the toasts it shows.
#include "app/KeyboardCommands.h"

#include <cmath>
#include <cstdio>

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/VirtualKeys.h"
#include "settings/Settings.h"

namespace vell {

void KeyboardCommands::seek(int key, bool ctrl, bool shift, bool alt) {
  uint32_t now = tickCount();
  // Held keys repeat far faster than a seek settles: one seek per 200 ms at most.
  if (now - lastSeekTick < 200) return;
  lastSeekTick = now;
  double step = shift ? 10.0 : alt ? 0.5 : ctrl ? 0.1 : 3.0;
  if (key == vk::Left) step = -step;
  app->player.seekBy(step);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s %.1f초", step > 0 ? "▶" : "◀", std::fabs(step));
  app->showToast(buffer, 800);
}

void KeyboardCommands::speedMessage() { app->showToast(formatText("속도: %.1fx", app->player.speed()), 800); }

void KeyboardCommands::syncMessage() {
  app->showToast(formatText("오디오 싱크: %+d ms", app->player.syncOffsetMs()), 900);
}

bool KeyboardCommands::onKey(int key, bool ctrl, bool shift, bool alt) {
  if (!app) return false;
  App& a = *app;
  Settings& s = settings();
  auto subtitleToast = [&](const SubtitleMessage& m) {
    if (!m.text.empty()) a.showToast(m.text, m.durationMs);
  };

  // Keys that start, stop, move or reopen the medium wait for a running connection.
  switch (key) {
    case vk::Space:
    case vk::MediaPlayPause:
    case vk::MediaStop:
    case vk::MediaNextTrack:
    case vk::Next:
    case vk::MediaPrevTrack:
    case vk::Prior:
    case vk::Left:
    case vk::Right:
    case 'Z':
    case 'X':
    case 'C':
      if (a.busyConnecting()) return true;
      break;
    case 'O':
      if (!ctrl && a.busyConnecting()) return true;
      break;
    default:
      break;
  }

  switch (key) {
    case vk::Space:
    case vk::MediaPlayPause:
      a.player.togglePause();
      return true;
    case vk::MediaStop:
      a.player.stop();
      return true;
    case vk::MediaNextTrack:
    case vk::Next:
      a.playNext();
      return true;
    case vk::MediaPrevTrack:
    case vk::Prior:
      a.playPrevious();
      return true;
    case vk::Left:
    case vk::Right:
      seek(key, ctrl, shift, alt);
      return true;
    case vk::Up:
    case vk::Down:
      a.changeVolume(key == vk::Up ? 0.02f : -0.02f);
      a.showToast(formatText("볼륨: %d%%", static_cast<int>(a.player.volume() * 100)), 800);
      return true;
    case 'Y':
      if (ctrl) return false;
      a.nextAudioTrack();
      return true;
    case 'N':
    case 'B':
      if (ctrl || alt) return false;
      return a.stepChapter(key == 'N');
    case 'M':
      a.toggleMute();
      a.showToast(a.player.muted() ? "음소거 ON" : "음소거 OFF", 800);
      return true;
    case 'F':
      a.toggleFullscreen();
      return true;
    case vk::Return:
      if (alt) return false;
      a.toggleFullscreen();
      return true;
    case vk::Escape:
      if (a.view.settingsOpen) {
        a.view.settingsOpen = false;
      } else if (a.view.helpVisible) {
        a.view.helpVisible = false;
      } else if (a.view.quickOpenVisible) {
        a.view.quickOpenVisible = false;
        a.view.quickOpenHover = -1;
        a.view.quickOpenAlpha = 0;
      } else if (a.view.fullscreen) {
        a.toggleFullscreen();
      }
      return true;
    case 'O':
      if (ctrl) return false;
      a.chooseAndOpenFile();
      return true;
    case 'U':
      if (!ctrl) return false;
      a.openInputDialog(true);
      return true;
    case 'P':
      if (ctrl) {
        a.takeScreenshot();
        return true;
      }
      a.togglePlaylistPanel();
      return true;
    case 'T':
      if (ctrl) return false;
      a.toggleAlwaysOnTop();
      return true;
    case 'R':
      a.toggleStreamBrowser(ctrl);
      return true;
    case 'Z':
      if (ctrl) return false;
      if (a.player.speed() != 1.0) {
        rememberedSpeed = a.player.speed();
        a.setSpeed(1.0);
      } else {
        a.setSpeed(rememberedSpeed);
      }
      speedMessage();
      return true;
    case 'X':
    case 'C':
      a.setSpeed(a.player.speed() + (key == 'X' ? -0.1 : 0.1));
      speedMessage();
      return true;
    case 'Q':
      a.rotateBy(-90);
      return true;
    case 'E':
      a.rotateBy(90);
      return true;
    case 'W':
      a.setRotation(0);
      return true;
    case 'D':
    case 'S':
    case 'A':
      if (ctrl) return false;
      a.setRotation(key == 'D' ? 90 : key == 'S' ? 180 : 270);
      return true;
    case 'H':
      a.toggleFlipH();
      return true;
    case 'V':
      a.toggleFlipV();
      return true;
    case vk::Oem4:
      a.setPointA();
      return true;
    case vk::Oem6:
      a.setPointB();
      return true;
    case vk::Oem5:
      a.clearAB();
      return true;
    case '0':
      a.toggleCompactView();
      return true;
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6': {
      static const double scales[] = {0.25, 0.5, 0.75, 1.0, 1.5, 2.0};
      a.setWindowScale(scales[key - '1']);
      return true;
    }
    case 'L': {
      if (ctrl) return false;
      a.playlist.cycleRepeatMode();
      static const char* names[] = {"반복 해제", "전체 반복", "한곡 반복"};
      int mode = a.playlist.repeatMode;
      a.showToast(names[mode >= 0 && mode <= 2 ? mode : 0], 1000);
      return true;
    }
    case 'J':
      if (ctrl) return false;
      a.playlist.toggleShuffle();
      a.showToast(a.playlist.shuffle ? "셔플 ON" : "셔플 OFF", 1000);
      return true;
    case vk::F1:
      a.view.helpVisible = !a.view.helpVisible;
      return true;
    case 'G':
      if (ctrl) return false;
      subtitleToast(a.subtitles.toggleVisible());
      return true;
    case 'K':
      if (ctrl) return false;
      a.nextSubtitleTrack();
      return true;
    case vk::Oem1:
    case vk::Oem7: {
      int step = shift ? 10 : 50;
      if (key == vk::Oem1) step = -step;
      if (ctrl)
        a.player.setSyncOffset(0);
      else
        a.player.adjustSyncOffset(step);
      syncMessage();
      return true;
    }
    case vk::OemComma:
      if (ctrl) return false;
      subtitleToast(a.subtitles.delayEarlier(s));
      return true;
    case vk::OemPeriod:
      if (ctrl) return false;
      subtitleToast(a.subtitles.delayLater(s));
      return true;
    case vk::Oem2:
      if (ctrl) return false;
      subtitleToast(a.subtitles.resetDelay(s));
      return true;
    default:
      return false;
  }
}

}  // namespace vell
