// The right-click menus' builders: the main, playlist and stream menus, each built from the
// state of the moment and thrown away after use.
#include "app/Menus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/App.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "settings/Settings.h"

namespace vell {

using namespace menus;

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

std::string languageName(const std::string& tag) {
  static const struct {
    const char* tags[3];
    const char* name;
  } kNames[] = {{{"kor", "ko"}, "한국어"},         {{"eng", "en"}, "English"},          {{"jpn", "ja"}, "日本語"},
                {{"chi", "zho", "zh"}, "中文"},     {{"fre", "fra", "fr"}, "Français"}, {{"ger", "deu", "de"}, "Deutsch"},
                {{"spa", "es"}, "Español"},        {{"rus", "ru"}, "Русский"}};
  for (const auto& n : kNames)
    for (const char* t : n.tags)
      if (t && tag == t) return n.name;
  return tag;
}

// "AAC 스테레오", "FLAC 모노", "AC3 5.1".
std::string codecAndChannels(const AudioTrack& t) {
  std::string codec;
  for (char c : t.codec) codec.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  std::string channels = t.layout == "mono" ? "모노" : t.layout == "stereo" ? "스테레오" : t.layout.substr(0, t.layout.find('('));
  if (channels.empty() && t.channels > 0) channels = formatText("%d채널", t.channels);
  if (codec.empty() || channels.empty()) return codec + channels;
  return codec + " " + channels;
}

// "ASS", "SRT", "PGS".
std::string subtitleCodecName(const std::string& codec) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"subrip", "SRT"}, {"hdmv_pgs_subtitle", "PGS"}, {"dvd_subtitle", "DVD"},
      {"dvb_subtitle", "DVB"}, {"webvtt", "WebVTT"}};
  for (const auto& [name, shown] : kNames)
    if (codec == name) return shown;
  std::string out;
  for (char c : codec) out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  return out;
}

}  // namespace

std::string subtitleTrackName(const SubtitleOption& track) {
  if (track.isFile()) return displayName(track.path);
  if (!track.stream.title.empty()) return track.stream.title;
  if (!track.stream.language.empty()) return languageName(track.stream.language);
  return subtitleCodecName(track.stream.codec);
}

std::string subtitleTrackLabel(int index, const SubtitleOption& track) {
  std::string label = formatText("%d. ", index + 1) + subtitleTrackName(track);
  if (track.isFile()) return label;
  std::string detail = subtitleCodecName(track.stream.codec);
  if (track.stream.isForced) detail += ", 강제";
  if (!track.stream.title.empty() || !track.stream.language.empty()) label += " (" + detail + ")";
  return label;
}

std::string audioTrackName(const AudioTrack& track) {
  if (!track.title.empty()) return track.title;
  if (!track.language.empty()) return languageName(track.language);
  return codecAndChannels(track);
}

std::string audioTrackLabel(int index, const AudioTrack& track) {
  std::string label = formatText("%d. ", index + 1) + audioTrackName(track);
  std::string detail = codecAndChannels(track);
  if (!track.title.empty() || !track.language.empty()) label += " (" + detail + ")";
  return label;
}

std::string chapterLabel(int index, const Chapter& chapter) {
  std::string title = chapter.title.empty() ? formatText("챕터 %d", index + 1) : chapter.title;
  if (utf8Length(title) > 50) title = utf8Prefix(title, 48) + "..";
  return formatText("%d. ", index + 1) + title + "  " + formatMinutesSeconds(chapter.start);
}

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

  std::vector<AudioTrack> tracks = a.player.audioTracks();
  if (!tracks.empty()) {
    std::vector<M> items;
    const int current = a.player.currentAudioTrack();
    for (size_t i = 0; i < tracks.size() && i < kMaxAudioTrackItems; ++i) {
      const int n = static_cast<int>(i);
      items.push_back(plain(audioTrackLabel(n, tracks[i]), kCmdAudioTrackFirst + n, n == current));
    }
    menu.push_back(M::popup("오디오 트랙", std::move(items)));
  }

  const SubtitleState& sub = a.subtitles;
  if (!sub.options.empty()) {
    std::vector<M> items;
    for (size_t i = 0; i < sub.options.size() && i < kMaxSubtitleTrackItems; ++i) {
      const int n = static_cast<int>(i);
      items.push_back(plain(subtitleTrackLabel(n, sub.options[i]), kCmdSubtitleTrackFirst + n, n == sub.current));
    }
    items.push_back(M::line());
    items.push_back(plain("없음", kCmdSubtitleTrackNone, sub.current < 0));
    menu.push_back(M::popup("자막 트랙", std::move(items)));
  }

  if (ChapterList chapters = a.player.chapters()) {
    const int count = static_cast<int>(chapters->size());
    const int current = chapterAt(*chapters, a.player.destination() + kChapterLanding);
    const int first = std::clamp(current - kMaxChapterItems / 2, 0, std::max(0, count - kMaxChapterItems));
    std::vector<M> items;
    for (int i = first; i < count && i < first + kMaxChapterItems; ++i)
      items.push_back(plain(chapterLabel(i, (*chapters)[static_cast<size_t>(i)]), kCmdChapterFirst + i, i == current));
    menu.push_back(M::popup("챕터", std::move(items)));
  }

  int offset = a.player.syncOffsetMs();
  menu.push_back(M::popup("오디오 싱크", {info(formatText("현재: %+d ms", offset)), M::line(),
                                          M::command("-50 ms (오디오 빠르게)\t;", kCmdSyncMinus50),
                                          M::command("-10 ms\tShift+;", kCmdSyncMinus10),
                                          M::command("+10 ms\tShift+'", kCmdSyncPlus10),
                                          M::command("+50 ms (오디오 느리게)\t'", kCmdSyncPlus50), M::line(),
                                          M::command("초기화 (0 ms)\tCtrl+;", kCmdSyncReset, false, offset == 0)}));

  menu.push_back(M::popup("회전 / 반전", {M::command("0° (기본)", kCmdRotationFirst, a.turn.rotation == 0),
                                          M::command("90°\tD", kCmdRotationFirst + 1, a.turn.rotation == 90),
                                          M::command("180°\tS", kCmdRotationFirst + 2, a.turn.rotation == 180),
                                          M::command("270°\tA", kCmdRotationFirst + 3, a.turn.rotation == 270), M::line(),
                                          M::command("좌우 반전\tH", kCmdFlipH, a.turn.flipH),
                                          M::command("상하 반전\tV", kCmdFlipV, a.turn.flipV)}));

  bool repeating = a.ab.pointA >= 0 && a.ab.pointA < a.ab.pointB;
  menu.push_back(M::popup("구간 반복", {M::command(a.ab.pointA >= 0 ? "A 지점 해제" : "A 지점 설정\t[", kCmdPointA),
                                        M::command("B 지점 설정\t]", kCmdPointB),
                                        M::command("구간 반복 해제\t\\", kCmdClearAB, false, !repeating)}));
  menu.push_back(M::line());

  std::vector<M> sizes;
  for (size_t i = 0; i < std::size(kWindowSizes); ++i)
    sizes.push_back(M::command(kWindowSizes[i].label, kCmdWindowSizeFirst + static_cast<int>(i)));
  menu.push_back(M::popup("창 크기", std::move(sizes)));
  menu.push_back(M::command("전체화면\tF", kCmdFullscreen, a.view.fullscreen));
  menu.push_back(M::command("컴팩트 뷰\t0", kCmdCompactView, a.view.compact));
  menu.push_back(M::command("항상 위\tT", kCmdAlwaysOnTop, a.view.alwaysOnTop));
  menu.push_back(M::command("재생 목록\tP", kCmdPlaylistPanel, a.playlist.visible));
  menu.push_back(M::command("라디오\tR", kCmdRadio, a.view.browserOpen && !a.view.browserPodcastMode));
  menu.push_back(M::command("팟캐스트\tCtrl+R", kCmdPodcast, a.view.browserOpen && a.view.browserPodcastMode));

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

  menu.push_back(M::popup(sub.track.empty() && sub.current < 0 ? "자막" : "자막 ✔",
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

}  // namespace vell
