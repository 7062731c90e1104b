// The side panels' place and the playlist panel's clicks, hover and wheel.
#include <algorithm>

#include "app/App.h"
#include "playlist/PlaylistPanel.h"
#include "render/SettingsPanel.h"
#include "settings/Settings.h"

namespace vell {

void App::setPlaylistVisible(bool visible) {
  if (visible) {
    view.settingsOpen = false;
    settingsPanel.hover = -1;
    if (view.browserOpen) toggleStreamBrowser(view.browserPodcastMode);  // closes it, text input too
  }
  playlist.visible = visible;
  settings().showPlaylist = visible;
}

void App::togglePlaylistPanel() {
  // From the stream browser (or the settings) the place goes to the playlist.
  setPlaylistVisible(view.browserOpen || view.settingsOpen || !playlist.visible);
}

bool App::playlistPanelShown() const {
  return playlist.visible && !view.settingsOpen && !view.browserOpen && !view.compact;
}

PanelPlace App::sidePanelPlace() const {
  ClientLayout l = computeLayout();
  return PanelPlace{l.width - 320, l.topBar, 320, l.controlBarTop - l.topBar};
}

void App::playlistPanelHover(int x, int y) {
  PanelPlace p = sidePanelPlace();
  playlist.hoverRow = PlaylistPanel::hitTestClick(playlist, static_cast<float>(x), static_cast<float>(y), p.left,
                                                  p.top, p.width, p.height);
}

bool App::playlistPanelWheel(int delta) {
  PanelPlace p = sidePanelPlace();
  if (pointer.x < p.left || pointer.y < p.top || pointer.y > p.top + p.height) return false;
  // Three item rows per notch; the next paint clamps the far end.
  int step = 3 * PlaylistPanel::kItemRowHeight;
  playlist.scrollOffset = std::max(0, playlist.scrollOffset + (delta > 0 ? -step : step));
  return true;
}

void App::playlistPanelClick(int x, int y) {
  PanelPlace p = sidePanelPlace();
  int code = PlaylistPanel::hitTestClick(playlist, static_cast<float>(x), static_cast<float>(y), p.left, p.top,
                                         p.width, p.height);
  if (code == PlaylistPanel::kNothing) return;
  if (code == PlaylistPanel::kClose) {
    setPlaylistVisible(false);
  } else if (code == PlaylistPanel::kPin) {
    playlist.pinned = !playlist.pinned;
    showToast(playlist.pinned ? "재생목록 고정" : "재생목록 자동닫기", 800);
  } else if (code == PlaylistPanel::kAdd) {
    chooseFileForQueue();
  } else if (code >= PlaylistPanel::kCategoryBase) {
    playlist.toggleCollapsed(code - PlaylistPanel::kCategoryBase);
  } else if (code >= PlaylistPanel::kDeleteBase) {
    int index = code - PlaylistPanel::kDeleteBase;
    bool wasCurrent = index == playlist.currentIndex();
    playlist.remove(index);
    if (wasCurrent && !playlist.empty()) playItem(std::min(index, playlist.count() - 1));
    showToast("항목 삭제됨", 600);
  } else if (code >= 0) {
    playItem(code);
    if (!playlist.pinned) setPlaylistVisible(false);
  }
}

void App::drawSidePanel(Canvas& canvas, const UiResources& res, const RectF& panel) {
  int left = static_cast<int>(panel.left), top = static_cast<int>(panel.top);
  int width = static_cast<int>(panel.width()), height = static_cast<int>(panel.height());
  if (view.settingsOpen) {
    SettingsPanelView view;
    for (int i = 0; i < kSettingsRowCount; ++i)
      if (kSettingsRows[static_cast<size_t>(i)].settingId >= 0)
        view.values[static_cast<size_t>(i)] = settingValueText(kSettingsRows[static_cast<size_t>(i)].settingId);
    view.selected = settingsPanel.hover;
    view.scroll = settingsPanel.scroll;
    settingsPanel.scroll = drawSettingsPanel(canvas, res, panel, view);
  } else if (!view.browserOpen) {
    PlaylistPanel::draw(playlist, canvas, left, top, width, height, res);
  }
}

}  // namespace vell
