// Opening media and moving through the queue: files, the file choosers, network media (whose
// connection runs on its own thread while the window keeps painting) and the history record.
#include <system_error>
#include <thread>

#include "app/App.h"
#include "catalog/PodcastFeeds.h"
#include "engine/ConnectJob.h"
#include "engine/YtDlpResolver.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "settings/Settings.h"
#include "subtitles/SubtitleState.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "settings/Settings.h"

namespace vell {

bool App::busyConnecting() {
  if (!connection.active.load()) return false;
  showToast("연결 중... 잠시 기다려주세요", 800);
  return true;
}

void App::markPlaying(const std::string& url, bool podcast, const std::string& stationId) {
  std::string id = stationId;
  if (id.empty() && !podcast && !url.empty())
    for (const StreamEntry& e : catalog.radioStreams())
      if (e.url == url) {
        id = e.id;
        break;
      }
  streamBrowser.currentStreamId = id;
  streamBrowser.currentEpisodeUrl = podcast && stationId.empty() ? url : std::string();
}

void App::openMedia(const std::string& url, const std::string& name, bool podcastRequest,
                    const std::string& stationId) {
  if (busyConnecting()) return;
  if (!medium.historyKey.empty() && player.state() != Player::Stopped) recordHistory(false);
  connection.active = true;
  markPlaying({}, false, {});  // the attempt closes what played before
  medium.connectingName = name;
  connection.retryOffered = false;

  ConnectJob job(player, url, podcastRequest, name);
  YtDlpResolver resolver;
  resolver.maxHeight = window.displayBounds().h;  // the sharpest picture this screen can show
  std::atomic<bool> done{false};
  std::thread worker;
  try {
    worker = std::thread([&] {
      runConnectJob(job, resolver, [](const std::string& u, int budgetMs) {
        return budgetMs > 0 ? resolvePls(u, kPlsTimeoutMs, static_cast<uint32_t>(budgetMs)) : u;
      });
      done = true;
    });
  } catch (const std::system_error&) {
    connection.active = false;
    showToast("스레드 생성 실패", 2000);
    return;
  }
  connection.job = &job;
  connection.jobDone = &done;
  while (!done.load()) pumpOnce(16);
  worker.join();
  connection.job = nullptr;
  connection.jobDone = nullptr;
  if (life.quitRequested) {
    // The window was closed meanwhile: shut down as a close during the connection does,
    // without taking the volume and mute of the half-opened player.
    shutdown();
    connection.active = false;
    return;
  }
  connection.active = false;

  resetMediumState();

  if (!connection.pending.empty()) {
    Window::postUserEvent(kMsgPendingOpen);
    return;
  }
  uint32_t now = tickCount();
  if (!job.success) {
    connection.lastAttempt = {url, name, podcastRequest, stationId};
    connection.retryOffered = true;
    connection.retryTick = now;
    debugLog("FAILED to open: %s\n", job.resolvedUrl.c_str());
    showToast("연결 실패 — 화면을 클릭하여 재시도", 5000);
    updateTitle();
    return;
  }

  connection.lastAttempt = {url, name, podcastRequest, stationId};  // what a retry opens, should the stream be given up
  markPlaying(url, podcastRequest, stationId);
  medium.title = job.title.empty() ? name : job.title;
  medium.openTick = now;
  medium.listenStartTick = now;
  medium.historyKey = podcastRequest ? url : std::string();
  primeShownSize();
  player.play();
  if (!podcastRequest) {
    showToast("▶ " + medium.title, 2000);
  } else {
    double p = history.position(url);
    double d = player.duration();
    if (p > 2.0 && !(d > 0 && p / d > 0.95)) {
      player.seekTo(p);
      showToast("▶ " + formatMinutesSeconds(p) + "부터 이어듣기", 2500);
    } else {
      showToast("▶ " + medium.title, 2000);
    }
    settings().lastPodcastUrl = url;
    settings().lastPodcastName = name;
  }
  updateTitle();
}

void App::requestOpen(const std::string& url, const std::string& name, bool podcastRequest,
                      const std::string& stationId) {
  if (!connection.active.load()) {
    openMedia(url, name, podcastRequest, stationId);
    return;
  }
  connection.pending = {url, name, podcastRequest, stationId};
  if (connection.job) connection.job->cancelled = true;
  player.source().requestAbort();
  showToast("스트림 전환 중...", 1500);
}

bool App::liveStreamGaveUp() {
  if (connection.active.load() || !player.isLive() || !player.ended() || !medium.path.empty() || connection.lastAttempt.empty())
    return false;
  debugLog("Live stream given up: %s\n", player.url().c_str());
  player.close();
  resetMediumState();
  markPlaying({}, false, {});
  connection.retryOffered = true;
  connection.retryTick = tickCount();
  showToast("연결 실패 — 화면을 클릭하여 재시도", 5000);
  updateTitle();
  return true;
}

void App::chooseAndOpenFile() {
  if (busyConnecting()) return;
  if (!fileChooserAvailable()) {  // no chooser on this desktop: the path is typed instead
    if (input.open) return;
    input.use = InputUse::OpenFilePath;
    openInputDialog(true);
    return;
  }
  chooseMediaFile([this](const std::string& path) { openPath(path); });
}

void App::chooseFileForQueue() {
  if (!fileChooserAvailable()) {
    if (input.open) return;
    input.use = InputUse::QueueFilePath;
    openInputDialog(true);
    return;
  }
  chooseMediaFile([this](const std::string& path) {
    playlist.addFile(path);
    showToast("재생목록에 추가됨", 1000);
  });
}

bool App::chooseMediaFile(std::function<void(const std::string&)> onChosen) {
  FileDialogOptions options;
  options.filters = {
      {"미디어 파일", "*.mp4;*.mkv;*.avi;*.mov;*.wmv;*.flv;*.webm;*.mp3;*.flac;*.wav;*.aac;*.ogg;*.wma;*.m4a;*.opus"},
      {"비디오", "*.mp4;*.mkv;*.avi;*.mov;*.wmv;*.flv;*.webm;*.m4v;*.ts"},
      {"오디오", "*.mp3;*.flac;*.wav;*.aac;*.ogg;*.wma;*.m4a;*.opus"},
      {"모든 파일", "*.*"}};
  return chooseFile(options, std::move(onChosen));
}

void App::chooseSubtitle() {
  FileDialogOptions options;
  options.title = "자막 파일 열기";
  options.filters = {{"자막 파일", "*.srt;*.smi;*.ass;*.ssa;*.vtt"}, {"SRT", "*.srt"}, {"SMI", "*.smi"},
                     {"ASS", "*.ass;*.ssa"}, {"WebVTT", "*.vtt"}, {"모든 파일", "*.*"}};
  if (!medium.path.empty()) options.initialDirectory = parentPath(medium.path);
  if (!fileChooserAvailable()) {
    if (input.open) return;
    input.use = InputUse::SubtitlePath;
    openInputDialog(true);
    return;
  }
  chooseFile(options, [this](const std::string& path) { openSubtitleFile(path); });
}

bool App::chooseFile(const FileDialogOptions& options, std::function<void(const std::string&)> onChosen) {
  if (life.destroyed || !fileChooserAvailable()) return false;
  return chooser_.start(options, [this, onChosen = std::move(onChosen)](const std::string& path) {
    if (path.empty()) return;
    postTask([this, onChosen, path] {
      if (!life.destroyed) onChosen(path);
    });
  });
}

void App::endFileChooser() {
  // The system's dialog may wait on this window (its owner) while it closes: the window keeps
  // answering meanwhile, for a second at most; a dialog still open then is left behind.
  for (uint32_t start = tickCount(); chooser_.isOpen() && tickCount() - start < 1000;) {
    WindowEvent e;
    window.waitEvent(e, 10);
  }
  chooser_.cancel(0);
}

bool App::queueOnlyOpened() const {
  if (openedQueuePath_.empty() || playlist.count() != 1 || !playlist.categories().empty()) return false;
  const PlaylistItem& item = playlist.items()[0];
  return !item.isStream && item.category.empty() && item.path == openedQueuePath_;
}

void App::recordHistory(bool now) {
  if (medium.historyKey.empty()) return;
  history.update(medium.historyKey, player.position(), player.duration());
  if (now) {
    historySaver_->flush();
    history.save(dataFile("podcast_history.ini"));
  } else {
    historySaver_->request();
  }
}

void App::updateTitle() {
  // A local file is named by its file name, a network medium by the title it was opened with.
  std::string name = !medium.path.empty() ? displayName(medium.path) : medium.title;
  window.setTitle(name.empty() ? "Vell Player" : "Vell Player - " + name);
}

void App::resetMediumState() {
  medium.path.clear();
  medium.title.clear();
  medium.streamTitle.clear();
  medium.streamTitlePollTick = 0;
  overlay.resetMedium();
  subtitles.options.clear();  // the tracks were the old medium's
  subtitles.current = -1;
  ab.pointA = ab.pointB = -1;
  ab.jumpLatch = false;
  medium.firstFrameLogged = false;
  // A film's cues must not go on showing, on the film's timing, over whatever opens next.
  subtitles.track.clear();
  settings().subtitleDelay = subtitles.track.delay();
}

void App::openPath(const std::string& path) { openFile(path, -1, true); }

void App::openFile(const std::string& path, int queueIndex, bool resume) {
  if (busyConnecting()) return;
  if (view.browserOpen) toggleStreamBrowser(view.browserPodcastMode);  // closes it, text input too
  markPlaying({}, false, {});  // a file plays: no station or episode is highlighted
  if (view.quickOpenVisible) {
    view.quickOpenVisible = false;
    view.quickOpenHover = -1;
    view.quickOpenAlpha = 0;
  }
  resetMediumState();
  connection.retryOffered = false;

  int index = queueIndex >= 0 ? queueIndex : playlist.indexOfPath(path);
  if (index >= 0) {
    playlist.setCurrent(index);
  } else {
    playlist.clear();
    playlist.addFile(path);
    playlist.setCurrent(0);
    openedQueuePath_ = path;
  }

  float volume = player.volume();
  bool muted = player.muted();
  if (!player.openFile(path)) {
    // Missing, a folder or not decodable: the failure screen names it, the caption does not.
    medium.historyKey.clear();
    connection.lastAttempt = {path, displayName(path), false, {}};
    connection.retryOffered = true;
    connection.retryTick = tickCount();
    showToast("연결 실패 — 화면을 클릭하여 재시도", 5000);
    updateTitle();
    return;
  }
  medium.path = path;
  settings().addRecent(path);
  player.setVolume(volume);
  player.setMuted(muted);
  // The audio track chosen last time, before the first sound.
  if (HistoryRecord saved; history.find(path, saved) && saved.audioStream >= 0) {
    int track = rememberedAudioTrack(player.audioTracks(), saved.audioStream, saved.audioLanguage);
    if (track >= 0) player.selectAudioTrack(track);
  }
  // The subtitle track too, before the first picture.
  const bool subtitleFileLoaded = setUpSubtitles(path);
  primeShownSize();
  player.play();
  medium.openTick = tickCount();
  medium.listenStartTick = medium.openTick;

  MediaInfo info = player.source().info();
  medium.title = !info.title.empty() ? info.title : Playlist::titleFromPath(displayName(path));
  double saved = history.position(path);
  double duration = player.duration();
  std::string resumed;
  if (resume && saved > 2.0 && duration > 0 && saved / duration < 0.95) {
    player.seekTo(saved);
    resumed = formatMinutesSeconds(saved) + "부터 이어보기";
  }
  medium.historyKey = path;
  updateTitle();
  playlist.setDuration(playlist.currentIndex(), duration);

  // One toast says both, so the subtitles' news does not hide where the film resumed.
  if (subtitleFileLoaded && !resumed.empty()) showToast(resumed + " · 자막 로드됨", 2500);
  else if (subtitleFileLoaded) showToast("자막 로드됨", 1200);
  else if (!resumed.empty()) showToast(resumed, 2500);
}

void App::playItem(int index, bool resume) {
  if (busyConnecting()) return;
  if (index < 0 || index >= playlist.count()) return;
  playlist.setCurrent(index);
  const PlaylistItem& item = playlist.items()[index];
  if (item.isStream) {
    std::string url = item.streamUrl.empty() ? item.path : item.streamUrl;
    openMedia(url, item.title, false);
  } else {
    openFile(item.path, index, resume);
  }
}

void App::playNext(bool resume) {
  if (busyConnecting()) return;
  if (!playlist.next().empty()) playItem(playlist.currentIndex(), resume);
}

void App::playPrevious() {
  if (busyConnecting()) return;
  if (!playlist.previous().empty()) playItem(playlist.currentIndex());
}

}  // namespace vell
