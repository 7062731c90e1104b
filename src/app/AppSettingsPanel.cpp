// The settings side panel's rules: what each row shows and what a click on it changes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "app/App.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "render/SettingsPanel.h"
#include "settings/Settings.h"

namespace vell {

namespace {

constexpr double kWheelSteps[] = {1, 3, 5, 10};
constexpr int kSleepOptions[] = {0, 15, 30, 60, 90, 120, 180, 240, 360};
constexpr float kOpacitySteps[] = {0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f};
const char* const kColourNames[] = {"흰색", "노랑", "초록", "하늘"};
const char* const kAspectNames[] = {"원본", "16:9", "4:3", "채우기"};

// Index of the step `current` is on, moved one step right or left and kept in range.
int stepIndex(int current, int count, bool right) { return std::clamp(current + (right ? 1 : -1), 0, count - 1); }

int wheelStepIndex(double delta) {
  for (int i = 1; i < 4; ++i)
    if (std::fabs(delta - kWheelSteps[i]) <= 0.5) return i;
  return 0;
}

int sleepOptionIndex(int minutesLeft) {
  if (minutesLeft < 1) return 0;
  for (int i = 1; i < static_cast<int>(std::size(kSleepOptions)); ++i)
    if (kSleepOptions[i] >= minutesLeft) return i;
  return static_cast<int>(std::size(kSleepOptions)) - 1;
}

int opacityStepIndex(float opacity) {
  for (int i = static_cast<int>(std::size(kOpacitySteps)) - 1; i >= 0; --i)
    if (std::fabs(opacity - kOpacitySteps[i]) <= 0.05f + 1e-4f) return i;
  return static_cast<int>(std::size(kOpacitySteps)) - 1;
}

const char* clampedName(const char* const (&names)[4], int value) { return names[std::clamp(value, 0, 3)]; }

}  // namespace

std::string App::settingValueText(int id) const {
  const Settings& s = settings();
  switch (id) {
    case 0: return s.wheelAction != 0 ? "탐색 이동" : "볼륨 조절";
    case 1: return formatText("%.0f초", s.wheelSeekDelta);
    case 2: return playlist.repeatMode == 0 ? "해제" : playlist.repeatMode == 1 ? "전체 반복" : "한곡 반복";
    case 3: return playlist.shuffle ? "ON" : "OFF";
    case 4: {
      int left = sleepMinutesLeft();
      return left < 1 ? "해제" : formatText("%d분", left);
    }
    case 5: return formatText("%d%%", static_cast<int>(s.opacity * 100));
    case 6: return view.alwaysOnTop ? "ON" : "OFF";
    case 7: return subtitles.visible ? "ON" : "OFF";
    case 8: return formatText("%.0fpt", static_cast<double>(subtitles.size));
    case 9: return formatText("%+d ms", player.syncOffsetMs());
    case 10:
    case 11: return "초기화";
    case 12: return clampedName(kColourNames, s.subtitleColor);
    case 13: return clampedName(kAspectNames, s.aspectRatio);
    default: return {};
  }
}

void App::openSettingsPanel() {
  if (view.browserOpen) toggleStreamBrowser(view.browserPodcastMode);  // closes it, text input too
  setPlaylistVisible(false);
  view.settingsOpen = true;
  settingsPanel.scroll = 0;
  settingsPanel.hover = -1;
}

void App::settingsPanelHover(int y) {
  ClientLayout l = computeLayout();
  int row = settingsRowAt(static_cast<float>(l.topBar), static_cast<float>(l.controlBarTop), settingsPanel.scroll,
                          static_cast<float>(y));
  settingsPanel.hover = row >= 0 && kSettingsRows[static_cast<size_t>(row)].kind != SettingsRowKind::Header ? row : -1;
}

void App::settingsPanelClick(int x, int y) {
  ClientLayout l = computeLayout();
  const int L = l.width - 320, T = l.topBar;
  if (y < T + 36) {
    if (x > L + 284) {
      view.settingsOpen = false;
      settingsPanel.hover = -1;
    }
    return;
  }
  int row = settingsRowAt(static_cast<float>(T), static_cast<float>(l.controlBarTop), settingsPanel.scroll,
                          static_cast<float>(y));
  if (row < 0 || kSettingsRows[static_cast<size_t>(row)].kind == SettingsRowKind::Header) return;
  const bool right = x >= L + 0.76 * 320;
  Settings& s = settings();
  switch (kSettingsRows[static_cast<size_t>(row)].settingId) {
    case 0:
      s.wheelAction = 1 - s.wheelAction;
      break;
    case 1:
      s.wheelSeekDelta = kWheelSteps[stepIndex(wheelStepIndex(s.wheelSeekDelta), 4, right)];
      break;
    case 2:
      playlist.cycleRepeatMode();
      break;
    case 3:
      playlist.toggleShuffle();
      break;
    case 4: {
      int count = static_cast<int>(std::size(kSleepOptions));
      setSleepTimer(kSleepOptions[stepIndex(sleepOptionIndex(sleepMinutesLeft()), count, right)]);
      break;
    }
    case 5: {
      int count = static_cast<int>(std::size(kOpacitySteps));
      setOpacity(kOpacitySteps[stepIndex(opacityStepIndex(s.opacity), count, right)], false);
      break;
    }
    case 6:
      toggleAlwaysOnTop();
      break;
    case 7: {
      SubtitleMessage m = subtitles.toggleVisible();
      if (!m.text.empty()) showToast(m.text, m.durationMs);
      break;
    }
    case 8: {
      SubtitleMessage m = right ? subtitles.sizeUp() : subtitles.sizeDown();
      if (!m.text.empty()) showToast(m.text, m.durationMs);
      break;
    }
    case 9:
      player.adjustSyncOffset(right ? 10 : -10);
      break;
    case 10:
    case 11: {
      // Every user addition, edit and hidden station goes: ask first.
      bool podcast = kSettingsRows[static_cast<size_t>(row)].settingId == 11;
      std::string text = std::string("모든 ") + (podcast ? "팟캐스트" : "라디오") +
                         " 스트림을 기본값으로 초기화하시겠습니까?\n\n추가/수정/삭제한 내용이 모두 사라집니다.";
      if (showMessageBox(text, "초기화 확인", MessageButtons::YesNo, MessageIcon::Warning, window.handle()) !=
          MessageAnswer::Yes)
        break;
      catalog.reset(podcast);
      rebuildBrowserRows();
      showToast(podcast ? "팟캐스트 초기화됨" : "라디오 초기화됨", 1000);
      break;
    }
    case 12:
      s.subtitleColor = std::clamp(s.subtitleColor + (right ? 1 : -1), 0, 3);
      break;
    case 13:
      s.aspectRatio = std::clamp(s.aspectRatio + (right ? 1 : -1), 0, 3);
      break;
    default:
      break;
  }
}

}  // namespace vell
