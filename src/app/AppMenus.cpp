// The App's side of the right-click menus: showing them and carrying out what was chosen.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/App.h"
#include "app/Menus.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "settings/Settings.h"

namespace vell {

using namespace menus;

int App::trackMenu(const std::vector<MenuItem>& menu, int screenX, int screenY) {
  PopupMenuHost host;
  host.owner = window.handle();
  host.tick = [this] { runDueTimers(); };  // the picture goes on while the menu is open
  PopupMenuStyle& st = host.style;
  st.panel = resources.panel;
  st.border = resources.surface2D2D37;
  st.text = resources.text;
  st.grayText = resources.textMuted;
  st.accelerator = resources.textDim;
  st.hover = resources.accent25;
  st.tick = resources.accent;
  st.separator = resources.surface2D2D37;
  st.fontFamilies = kUiFontFamilies;
  st.fontSize = 13.0f;
  return trackPopupMenu(menu, screenX, screenY, host);
}

void App::showMainMenu(int screenX, int screenY) {
  int id = trackMenu(buildMainMenu(*this), screenX, screenY);
  if (id != 0) onCommand(id);
}

void App::showPlaylistMenu(int itemIndex, int screenX, int screenY) {
  int id = trackMenu(buildPlaylistMenu(playlist, itemIndex), screenX, screenY);
  if (id != 0) playlistMenuCommand(id, itemIndex);
}

void App::showStreamMenu(const std::string& entryId, int screenX, int screenY) {
  const StreamEntry* entry = entryId.empty() ? nullptr : catalog.findById(entryId);
  int id = trackMenu(buildStreamMenu(entry, view.browserPodcastMode), screenX, screenY);
  if (id != 0) streamMenuCommand(id, entry ? entryId : std::string());
}

void App::onCommand(int id) {
  Settings& s = settings();
  auto subtitleToast = [this](const SubtitleMessage& m) {
    if (!m.text.empty()) showToast(m.text, m.durationMs);
  };
  auto syncToast = [this] {
    int offset = player.syncOffsetMs();
    showToast(formatText("오디오 싱크: %+d ms", offset), 1200);
  };

  if (id >= kCmdSpeedFirst && id < kCmdSpeedFirst + static_cast<int>(std::size(kSpeeds))) {
    setSpeed(kSpeeds[id - kCmdSpeedFirst].value);
    showToast(kSpeedToasts[id - kCmdSpeedFirst], 1500);
    return;
  }
  if (id >= kCmdRotationFirst && id <= kCmdRotationFirst + 3) {
    setRotation((id - kCmdRotationFirst) * 90);
    return;
  }
  if (id >= kCmdWindowSizeFirst && id < kCmdWindowSizeFirst + static_cast<int>(std::size(kWindowSizes))) {
    setWindowScale(kWindowSizes[id - kCmdWindowSizeFirst].value);
    return;
  }
  if (id >= kCmdWheelStepFirst && id < kCmdWheelStepFirst + static_cast<int>(std::size(kWheelSteps))) {
    int step = static_cast<int>(kWheelSteps[id - kCmdWheelStepFirst].value);
    s.wheelSeekDelta = step;
    showToast(formatText("휠 탐색: %d초", step), 1500);
    return;
  }
  if (id >= kCmdOpacityFirst && id < kCmdOpacityFirst + static_cast<int>(std::size(kOpacities))) {
    setOpacity(static_cast<float>(kOpacities[id - kCmdOpacityFirst].value), true);
    return;
  }
  if (id >= kCmdAudioTrackFirst && id < kCmdAudioTrackFirst + static_cast<int>(kMaxAudioTrackItems)) {
    chooseAudioTrack(id - kCmdAudioTrackFirst);
    return;
  }
  if (id >= kCmdChapterFirst && id < kCmdChapterFirst + static_cast<int>(kMaxChapters)) {
    goToChapter(id - kCmdChapterFirst);
    return;
  }
  if (id >= kCmdSubtitleTrackFirst && id <= kCmdSubtitleTrackNone) {
    const int index = id == kCmdSubtitleTrackNone ? -1 : id - kCmdSubtitleTrackFirst;
    if (index < static_cast<int>(subtitles.options.size())) chooseSubtitleTrack(index);  // else the list changed
    return;
  }
  if (id >= kCmdRecentFirst && id < kCmdRecentFirst + static_cast<int>(kMaxRecentItems)) {
    size_t index = static_cast<size_t>(id - kCmdRecentFirst);
    if (index >= s.recent.size()) return;  // the list changed since the menu was built
    std::string path = s.recent[index];   // opening reorders the list
    openPath(path);
    return;
  }
  int minutes = sleepTimerMinutes(id);
  if (minutes >= 0) {
    setSleepTimer(minutes);
    return;
  }

  switch (id) {
    case kCmdOpenFile: chooseAndOpenFile(); break;
    case kCmdOpenUrl: openInputDialogFor(InputUse::OpenUrl); break;
    case kCmdPlayPause: player.togglePause(); break;
    case kCmdStop: player.stop(); break;
    case kCmdPrevious: playPrevious(); break;
    case kCmdNext: playNext(); break;
    case kCmdSyncMinus50: player.adjustSyncOffset(-50); syncToast(); break;
    case kCmdSyncMinus10: player.adjustSyncOffset(-10); syncToast(); break;
    case kCmdSyncPlus10: player.adjustSyncOffset(10); syncToast(); break;
    case kCmdSyncPlus50: player.adjustSyncOffset(50); syncToast(); break;
    case kCmdSyncReset: player.setSyncOffset(0); syncToast(); break;
    case kCmdFlipH: toggleFlipH(); break;
    case kCmdFlipV: toggleFlipV(); break;
    case kCmdPointA: setPointA(); break;
    case kCmdPointB: setPointB(); break;
    case kCmdClearAB: clearAB(); break;
    case kCmdFullscreen: toggleFullscreen(); break;
    case kCmdCompactView: toggleCompactView(); break;
    case kCmdAlwaysOnTop: toggleAlwaysOnTop(); break;
    case kCmdPlaylistPanel: togglePlaylistPanel(); break;
    case kCmdRadio: toggleStreamBrowser(false); break;
    case kCmdPodcast: toggleStreamBrowser(true); break;
    case kCmdWheelVolume:
      s.wheelAction = 0;
      showToast("휠: 볼륨 조절", 1500);
      break;
    case kCmdWheelSeek:
      s.wheelAction = 1;
      showToast("휠: 탐색 이동", 1500);
      break;
    case kCmdSubtitleToggle: subtitleToast(subtitles.toggleVisible()); break;
    case kCmdSubtitleOpen: chooseSubtitle(); break;
    case kCmdSubtitleEarlier: subtitleToast(subtitles.delayEarlier(s)); break;
    case kCmdSubtitleLater: subtitleToast(subtitles.delayLater(s)); break;
    case kCmdSubtitleDelayReset: subtitleToast(subtitles.resetDelay(s)); break;
    case kCmdSubtitleBigger:
    case kCmdSubtitleSmaller: {
      SubtitleMessage m = id == kCmdSubtitleBigger ? subtitles.sizeUp() : subtitles.sizeDown();
      resources.setSubtitleSize(subtitles.size);
      subtitleToast(m);
      break;
    }
    case kCmdScreenshot: takeScreenshot(); break;
    case kCmdSettings:
      openSettingsPanel();
      break;
    case kCmdHelp: view.helpVisible = true; break;
    case kCmdAbout: showAboutWindow(); break;
    default: break;
  }
}

void App::playlistMenuCommand(int id, int row) {
  bool validRow = row >= 0 && row < playlist.count();
  switch (id) {
    case kPlPlay:
      if (validRow) playItem(row);
      return;
    case kPlRemove: {
      if (!validRow) return;
      bool wasCurrent = row == playlist.currentIndex();
      playlist.remove(row);
      if (wasCurrent && !playlist.empty()) playItem(std::min(playlist.count() - 1, row));
      showToast("삭제됨", 600);
      return;
    }
    case kPlAddUrl: openInputDialogFor(InputUse::AddToPlaylist); return;
    case kPlAddFile: chooseFileForQueue(); return;
    case kPlNewCategory: openInputDialogFor(InputUse::NewCategory); return;
    case kPlClear:
      if (showMessageBox("재생목록을 전체 삭제하시겠습니까?", "확인", MessageButtons::YesNo, MessageIcon::Question,
                         window.handle()) != MessageAnswer::Yes)
        return;
      playlist.clear();
      showToast("재생목록 삭제됨", 800);
      return;
    case kPlSave:
      // An empty queue writes nothing and keeps the old file; a failed write is said so.
      if (!playlist.save(dataFile("playlist.dat")) && !playlist.empty())
        showToast("재생목록 저장 실패", 1200);
      else
        showToast("재생목록 저장됨", 800);
      return;
    case kPlLoad:
      if (playlist.load(dataFile("playlist.dat")))
        showToast("재생목록 불러옴", 800);
      else
        showToast("재생목록 불러오기 실패", 1200);
      return;
    case kPlUncategorise:
      if (!validRow) return;
      playlist.setCategory(row, "");
      showToast("분류 해제됨", 600);
      return;
    default: break;
  }
  int category = id - kPlCategoryFirst;
  if (category >= 0 && category < static_cast<int>(playlist.categories().size()) && validRow) {
    std::string name = playlist.categories()[category].name;
    playlist.setCategory(row, name);
    showToast("→ " + name, 800);
  }
}

void App::streamMenuCommand(int id, const std::string& entryId) {
  bool podcast = view.browserPodcastMode;
  if (id == kStAdd) {
    openInputDialogFor(InputUse::AddStream);
    return;
  }
  if (id == kStResetAll) {
    std::string text = std::string("모든 ") + (podcast ? "팟캐스트" : "라디오") +
                       " 스트림을 기본값으로 초기화하시겠습니까?\n\n추가/수정/삭제한 내용이 모두 사라집니다.";
    if (showMessageBox(text, "초기화 확인", MessageButtons::YesNo, MessageIcon::Warning, window.handle()) !=
        MessageAnswer::Yes)
      return;
    catalog.reset(podcast);
    rebuildBrowserRows();
    showToast("기본값으로 초기화되었습니다", 1500);
    return;
  }
  const StreamEntry* found = entryId.empty() ? nullptr : catalog.findById(entryId);
  if (!found) return;
  StreamEntry entry = *found;  // the catalogue's lists are rebuilt by every change
  switch (id) {
    case kStPlay: openMedia(entry.url, entry.name, podcast, entry.id); break;
    case kStEdit: openInputDialogFor(InputUse::EditStream, entry.id); break;
    case kStDelete:
      if (showMessageBox("삭제하시겠습니까?\n\n" + entry.name, "스트림 삭제", MessageButtons::YesNo,
                         MessageIcon::Question, window.handle()) != MessageAnswer::Yes)
        return;
      if (entry.isUser)
        catalog.deleteUserStream(entry.id);
      else
        catalog.hideBuiltin(entry.id);
      rebuildBrowserRows();
      showToast("스트림이 삭제되었습니다", 1200);
      break;
    case kStCopyUrl:
      if (Window::setClipboardText(entry.url)) showToast("URL이 복사되었습니다", 1000);
      break;
    case kStRestore:
      catalog.restoreBuiltin(entry.id);
      rebuildBrowserRows();
      showToast("기본값으로 복원되었습니다", 1200);
      break;
    default: break;
  }
}

// The input dialog for one of its uses: the playlist and category uses set it first;
// a stream is added as a podcast in the browser's podcast mode.
void App::openInputDialogFor(InputUse use, const std::string& streamId) {
  if (input.open) return;
  switch (use) {
    case InputUse::OpenUrl: openInputDialog(true); break;
    case InputUse::AddToPlaylist:
      input.use = InputUse::AddToPlaylist;
      input.category.clear();
      openInputDialog(true);
      break;
    case InputUse::NewCategory:
      input.use = InputUse::NewCategory;
      openInputDialog(true);
      break;
    case InputUse::AddStream: openInputDialog(false, std::string(), view.browserPodcastMode); break;
    case InputUse::EditStream: openInputDialog(false, streamId, view.browserPodcastMode); break;
    // The typed-path uses stand in for the file chooser, which opens them itself.
    case InputUse::OpenFilePath:
    case InputUse::SubtitlePath:
    case InputUse::QueueFilePath: break;
  }
}

void App::rebuildBrowserRows() {
  syncBrowser();
  streamBrowser.rebuildRows();
}

}  // namespace vell
