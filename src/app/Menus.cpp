// The right-click menus: the main menu and its commands, the playlist menu and the stream
// menu. Each menu is built from the state of the moment and thrown away after use.
#include "app/Menus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/App.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "settings/Settings.h"

namespace vell {

namespace {

using M = MenuItem;

M info(const std::string& text) {
  M m;
  m.label = text;
  m.grayed = true;
  return m;
}

// A label that comes from data (file or category names): a tab in it is not an accelerator.
M plain(const std::string& text, int id, bool checked = false) {
  M m;
  m.label = text;
  m.id = id;
  m.checked = checked;
  return m;
}

struct Preset {
  const char* label;
  double value;
};

constexpr Preset kSpeeds[] = {{"0.25x", 0.25}, {"0.5x", 0.5},   {"0.75x", 0.75}, {"1.0x (기본)", 1.0},
                              {"1.25x", 1.25}, {"1.5x", 1.5},   {"2.0x", 2.0},   {"3.0x", 3.0}};
constexpr const char* kSpeedToasts[] = {"0.25x", "0.5x", "0.75x", "1.0x", "1.25x", "1.5x", "2.0x", "3.0x"};
constexpr Preset kWindowSizes[] = {{"25%\t1", 0.25}, {"50%\t2", 0.5},   {"75%\t3", 0.75},
                                   {"100%\t4", 1.0}, {"150%\t5", 1.5}, {"200%\t6", 2.0}};
constexpr Preset kWheelSteps[] = {{"1초", 1}, {"3초", 3}, {"5초", 5}, {"10초", 10}};
constexpr Preset kOpacities[] = {{"100%", 1.0}, {"90%", 0.9}, {"80%", 0.8}, {"70%", 0.7}, {"60%", 0.6}, {"50%", 0.5}};
constexpr int kSleepIds[] = {8100, 8101, 8102, 8103, 8104, 8106, 8107, 8108};
constexpr int kSleepMinutes[] = {15, 30, 60, 90, 120, 180, 240, 360};
constexpr size_t kMaxRecentItems = 15;

}  // namespace

int sleepTimerMinutes(int id) {
  if (id == 8105) return 0;
  for (size_t i = 0; i < std::size(kSleepIds); ++i)
    if (kSleepIds[i] == id) return kSleepMinutes[i];
  return -1;
}

std::string recentFileLabel(const std::string& path) {
  std::string name = displayName(path);
  if (utf8Length(name) > 50) return utf8Prefix(name, 48) + "..";
  return name;
}

std::vector<MenuItem> buildMainMenu(const App& a) {
  const Settings& s = settings();
  std::vector<M> menu;
  menu.push_back(M::command("파일 열기\tO", kCmdOpenFile));
  menu.push_back(M::command("URL 열기\tCtrl+U", kCmdOpenUrl));
  menu.push_back(M::line());
  menu.push_back(M::command(a.player.state() == Player::Playing ? "일시정지\tSpace" : "재생\tSpace", kCmdPlayPause));
  menu.push_back(M::command("정지", kCmdStop));
  menu.push_back(M::command("이전\tPgUp", kCmdPrevious));
  menu.push_back(M::command("다음\tPgDn", kCmdNext));
  menu.push_back(M::line());

  std::vector<M> speed;
  double currentSpeed = a.player.speed();
  for (size_t i = 0; i < std::size(kSpeeds); ++i)
    speed.push_back(M::command(kSpeeds[i].label, kCmdSpeedFirst + static_cast<int>(i), currentSpeed == kSpeeds[i].value));
  menu.push_back(M::popup("재생 속도", std::move(speed)));

  int offset = a.player.syncOffsetMs();
  menu.push_back(M::popup("오디오 싱크", {info(formatText("현재: %+d ms", offset)), M::line(),
                                          M::command("-50 ms (오디오 빠르게)\t;", kCmdSyncMinus50),
                                          M::command("-10 ms\tShift+;", kCmdSyncMinus10),
                                          M::command("+10 ms\tShift+'", kCmdSyncPlus10),
                                          M::command("+50 ms (오디오 느리게)\t'", kCmdSyncPlus50), M::line(),
                                          M::command("초기화 (0 ms)\tCtrl+;", kCmdSyncReset, false, offset == 0)}));

  menu.push_back(M::popup("회전 / 반전", {M::command("0° (기본)", kCmdRotationFirst, a.rotation == 0),
                                          M::command("90°\tD", kCmdRotationFirst + 1, a.rotation == 90),
                                          M::command("180°\tS", kCmdRotationFirst + 2, a.rotation == 180),
                                          M::command("270°\tA", kCmdRotationFirst + 3, a.rotation == 270), M::line(),
                                          M::command("좌우 반전\tH", kCmdFlipH, a.flipH),
                                          M::command("상하 반전\tV", kCmdFlipV, a.flipV)}));

  bool repeating = a.pointA >= 0 && a.pointA < a.pointB;
  menu.push_back(M::popup("구간 반복", {M::command(a.pointA >= 0 ? "A 지점 해제" : "A 지점 설정\t[", kCmdPointA),
                                        M::command("B 지점 설정\t]", kCmdPointB),
                                        M::command("구간 반복 해제\t\\", kCmdClearAB, false, !repeating)}));
  menu.push_back(M::line());

  std::vector<M> sizes;
  for (size_t i = 0; i < std::size(kWindowSizes); ++i)
    sizes.push_back(M::command(kWindowSizes[i].label, kCmdWindowSizeFirst + static_cast<int>(i)));
  menu.push_back(M::popup("창 크기", std::move(sizes)));
  menu.push_back(M::command("전체화면\tF", kCmdFullscreen, a.fullscreen));
  menu.push_back(M::command("컴팩트 뷰\t0", kCmdCompactView, a.compactView));
  menu.push_back(M::command("항상 위\tT", kCmdAlwaysOnTop, a.alwaysOnTop));
  menu.push_back(M::command("재생 목록\tP", kCmdPlaylistPanel, a.playlist.visible));
  menu.push_back(M::command("라디오\tR", kCmdRadio, a.browserOpen && !a.browserPodcastMode));
  menu.push_back(M::command("팟캐스트\tCtrl+R", kCmdPodcast, a.browserOpen && a.browserPodcastMode));

  std::vector<M> wheel = {M::command("볼륨 조절", kCmdWheelVolume, s.wheelAction == 0),
                          M::command("탐색 이동", kCmdWheelSeek, s.wheelAction == 1)};
  if (s.wheelAction == 1) {
    wheel.push_back(M::line());
    for (size_t i = 0; i < std::size(kWheelSteps); ++i)
      wheel.push_back(M::command(kWheelSteps[i].label, kCmdWheelStepFirst + static_cast<int>(i),
                                 s.wheelSeekDelta == kWheelSteps[i].value));
  }
  menu.push_back(M::popup("마우스 휠", std::move(wheel)));

  std::vector<M> opacity;
  for (size_t i = 0; i < std::size(kOpacities); ++i) {
    bool ticked = i == 0 ? s.opacity >= 1.0f : std::fabs(s.opacity - kOpacities[i].value) < 0.05;
    opacity.push_back(M::command(kOpacities[i].label, kCmdOpacityFirst + static_cast<int>(i), ticked));
  }
  menu.push_back(M::popup("투명도", std::move(opacity)));

  const SubtitleState& sub = a.subtitles;
  menu.push_back(M::popup(sub.track.empty() ? "자막" : "자막 ✔",
                          {M::command("자막 켜기/끄기\tG", kCmdSubtitleToggle, sub.visible),
                           M::command("자막 파일 열기...", kCmdSubtitleOpen), M::line(),
                           info(formatText("딜레이: %+.1f초", sub.track.delay())),
                           M::command("딜레이 -0.5초\t,", kCmdSubtitleEarlier),
                           M::command("딜레이 +0.5초\t.", kCmdSubtitleLater),
                           M::command("딜레이 초기화\t/", kCmdSubtitleDelayReset), M::line(),
                           info(formatText("크기: %.0fpt", static_cast<double>(sub.size))),
                           M::command("크기 크게\tCtrl+↑", kCmdSubtitleBigger),
                           M::command("크기 작게\tCtrl+↓", kCmdSubtitleSmaller)}));
  menu.push_back(M::line());
  menu.push_back(M::command("스크린샷\tCtrl+P", kCmdScreenshot));
  menu.push_back(M::line());

  std::vector<M> sleep;
  bool timerRuns = a.sleepDeadline != 0;
  int minutesLeft = a.sleepMinutesLeft();
  if (timerRuns && minutesLeft > 0) {
    sleep.push_back(info(formatText("남은 시간: %d분", minutesLeft)));
    sleep.push_back(M::line());
  }
  for (size_t i = 0; i < std::size(kSleepIds); ++i) sleep.push_back(M::command(formatText("%d분", kSleepMinutes[i]), kSleepIds[i]));
  if (timerRuns) {
    sleep.push_back(M::line());
    sleep.push_back(M::command("타이머 해제", 8105));
  }
  menu.push_back(M::popup("슬립 타이머", std::move(sleep)));

  if (!s.recent.empty()) {
    std::vector<M> recent;
    for (size_t i = 0; i < s.recent.size() && i < kMaxRecentItems; ++i)
      recent.push_back(plain(recentFileLabel(s.recent[i]), kCmdRecentFirst + static_cast<int>(i)));
    menu.push_back(M::popup("최근 재생", std::move(recent)));
  }
  menu.push_back(M::line());
  menu.push_back(M::command("설정", kCmdSettings));
  menu.push_back(M::command("단축키 도움말\tF1", kCmdHelp));
  menu.push_back(M::command("프로그램 정보", kCmdAbout));
  return menu;
}

std::vector<MenuItem> buildPlaylistMenu(const Playlist& playlist, int row) {
  std::vector<M> menu;
  if (row >= 0 && row < playlist.count()) {
    const PlaylistItem& item = playlist.items()[row];
    menu.push_back(M::command("재생", kPlPlay));
    menu.push_back(M::command("삭제", kPlRemove));
    menu.push_back(M::line());
    const auto& categories = playlist.categories();
    if (!categories.empty() || !item.category.empty()) {
      std::vector<M> move;
      if (!item.category.empty()) {
        move.push_back(M::command("분류 해제", kPlUncategorise));
        move.push_back(M::line());
      }
      for (size_t i = 0; i < categories.size(); ++i)
        move.push_back(plain(categories[i].name, kPlCategoryFirst + static_cast<int>(i),
                             categories[i].name == item.category));
      menu.push_back(M::popup("카테고리 이동", std::move(move)));
      menu.push_back(M::line());
    }
  }
  menu.push_back(M::command("URL 추가...", kPlAddUrl));
  menu.push_back(M::command("파일 추가...", kPlAddFile));
  menu.push_back(M::line());
  menu.push_back(M::command("새 카테고리...", kPlNewCategory));
  menu.push_back(M::line());
  menu.push_back(M::command("재생목록 저장", kPlSave));
  menu.push_back(M::command("재생목록 불러오기", kPlLoad));
  if (!playlist.empty()) menu.push_back(M::command("전체 삭제", kPlClear));
  return menu;
}

std::vector<MenuItem> buildStreamMenu(const StreamEntry* entry, bool podcastMode) {
  std::vector<M> menu;
  if (entry) {
    menu.push_back(M::command("재생", kStPlay));
    menu.push_back(M::line());
    menu.push_back(M::command("편집...", kStEdit));
    menu.push_back(M::command("삭제", kStDelete));
    if (!entry->isUser || entry->isModified) menu.push_back(M::command("기본값으로 되돌리기", kStRestore));
    menu.push_back(M::command("URL 복사", kStCopyUrl));
    menu.push_back(M::line());
  }
  menu.push_back(M::command(podcastMode ? "새 팟캐스트 추가..." : "새 라디오 추가...", kStAdd));
  menu.push_back(M::line());
  menu.push_back(M::command(podcastMode ? "팟캐스트 전체 초기화..." : "라디오 전체 초기화...", kStResetAll));
  return menu;
}

// --- The App's side: showing the menus and acting on the choice -------------------------

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
  int id = trackMenu(buildStreamMenu(entry, browserPodcastMode), screenX, screenY);
  if (id != 0) streamMenuCommand(id, entry ? entryId : std::string());
}

void App::onCommand(int id) {
  Settings& s = settings();
  auto subtitleToast = [this](const SubtitleMessage& m) {
    if (!m.text.empty()) showToast(m.text, m.durationMs);
  };
  auto syncToast = [this] { showToast(formatText("오디오 싱크: %+d ms", player.syncOffsetMs()), 1200); };

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
    case kCmdHelp: helpVisible = true; break;
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
  bool podcast = browserPodcastMode;
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

// The input dialog for one of its uses: the playlist and category uses set their flag first;
// a stream is added as a podcast in the browser's podcast mode.
void App::openInputDialogFor(InputUse use, const std::string& streamId) {
  if (inputOpen) return;
  switch (use) {
    case InputUse::OpenUrl: openInputDialog(true); break;
    case InputUse::AddToPlaylist:
      inputPlaylistUse = true;
      inputCategory.clear();
      openInputDialog(true);
      break;
    case InputUse::NewCategory:
      inputCategoryUse = true;
      openInputDialog(true);
      break;
    case InputUse::AddStream: openInputDialog(false, std::string(), browserPodcastMode); break;
    case InputUse::EditStream: openInputDialog(false, streamId, browserPodcastMode); break;
  }
}

void App::rebuildBrowserRows() {
  syncBrowser();
  streamBrowser.rebuildRows();
}

}  // namespace vell
