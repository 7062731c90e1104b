// Subtitle tracks: the medium's streams and the files beside it, which one shows, K and the menu's
// choice, a file chosen by hand, and the choice kept with the file's resume entry.
#include "app/App.h"
#include "app/Menus.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "settings/Settings.h"
#include "subtitles/SubtitleChoice.h"

namespace vell {

bool App::showSubtitleOption(int index) {
  SubtitleState& st = subtitles;
  // The cues of the file shown before go; the user's delay stays with the medium.
  const double delay = st.track.delay();
  st.track.clear();
  st.track.setDelay(delay);
  st.current = -1;
  player.selectSubtitleStream(-1);
  if (index < 0 || index >= static_cast<int>(st.options.size())) return index < 0;
  const SubtitleOption& o = st.options[static_cast<size_t>(index)];
  bool shown = false;
  if (!o.isFile()) {
    shown = player.selectSubtitleStream(o.stream.stream);
  } else if (isSubtitleScript(o.path)) {
    std::string script;
    shown = readSubtitleScript(o.path, script);
    if (shown) player.showSubtitleScript(std::move(script));
  } else {
    shown = st.track.loadFile(o.path);
    st.track.setDelay(delay);
  }
  if (shown) st.current = index;
  return shown;
}

bool App::setUpSubtitles(const std::string& path) {
  SubtitleState& st = subtitles;
  st.track.clear();
  settings().subtitleDelay = 0.0;
  st.options = subtitleOptions(player.subtitleStreams(), subtitleFilesBeside(path));
  bool remembered = false;
  int choice = -1;
  if (HistoryRecord saved; history.find(path, saved) && saved.subtitle.kind != SubtitlePick::Unset) {
    // A file picked from another folder joins the tracks again while it is there.
    const std::string& file = saved.subtitle.file;
    if (saved.subtitle.kind == SubtitlePick::File && file.find_first_of("\\/") != std::string::npos && fileExists(file))
      st.options.push_back({{}, file});
    choice = rememberedSubtitleOption(st.options, saved.subtitle, remembered);
  }
  if (!remembered) choice = firstSubtitleOption(st.options);
  if (showSubtitleOption(choice)) return choice >= 0 && st.options[static_cast<size_t>(choice)].isFile();
  // A file that does not read: the stream it would have won over shows instead.
  std::vector<SubtitleOption> streams;
  for (const SubtitleOption& o : st.options)
    if (!o.isFile()) streams.push_back(o);
  showSubtitleOption(firstSubtitleOption(streams));
  return false;
}

void App::chooseSubtitleTrack(int index) {
  if (busyConnecting()) return;  // the connection owns the player
  SubtitleState& st = subtitles;
  const int count = static_cast<int>(st.options.size());
  if (count == 0) {
    showToast("자막 트랙 없음", 1200);
    return;
  }
  if (index >= count) return;
  if (!showSubtitleOption(index)) {
    showToast("자막 로드 실패", 1200);
    return;
  }
  if (index >= 0) st.visible = true;
  if (!medium.historyKey.empty() && medium.historyKey == medium.path) {
    history.setSubtitleTrack(medium.historyKey, subtitlePickOf(st.options, index, medium.historyKey));
    recordHistory(false);
  }
  if (index < 0)
    showToast("자막: 없음", 1500);
  else
    showToast(formatText("자막: %d/%d ", index + 1, count) + subtitleTrackName(st.options[static_cast<size_t>(index)]),
              1500);
}

void App::nextSubtitleTrack() {
  const int count = static_cast<int>(subtitles.options.size());
  const int next = subtitles.current + 1;
  chooseSubtitleTrack(count == 0 ? 0 : next < count ? next : -1);
}

void App::openSubtitleFile(const std::string& path) {
  if (busyConnecting()) return;
  SubtitleState& st = subtitles;
  // A file chosen by hand starts without a delay, as a new file does.
  st.track.setDelay(0.0);
  settings().subtitleDelay = 0.0;
  int index = -1;
  for (size_t i = 0; i < st.options.size(); ++i)
    if (st.options[i].path == path) index = static_cast<int>(i);
  const bool added = index < 0;
  if (added) {
    st.options.push_back({{}, path});
    index = static_cast<int>(st.options.size()) - 1;
  }
  if (!showSubtitleOption(index)) {
    if (added) st.options.pop_back();
    showToast("자막 로드 실패", 1200);
    return;
  }
  st.visible = true;
  if (!medium.historyKey.empty() && medium.historyKey == medium.path) {
    history.setSubtitleTrack(medium.historyKey, subtitlePickOf(st.options, index, medium.path));
    recordHistory(false);
  }
  showToast("자막: " + displayName(path), 1500);
}

}  // namespace vell
