// The paint routine: each 16 ms tick advances the engine, fires the timers and draws.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/App.h"
#include "app/FolderCover.h"
#include "app/MediaSession.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "render/OverlayLayout.h"
#include "render/Renderer.h"
#include "render/SubtitleLayer.h"
#include "settings/Settings.h"

namespace vell {

void App::tickWork() {
  uint32_t now = tickCount();
  bool isConnecting = connection.active.load();
  schedule.frameChanged = false;
  // A playing medium's paints and the playback thread's waits keep to the millisecond.
  holdFineTimers(!isConnecting && player.state() == Player::Playing && !player.ended());
  if (!isConnecting && player.state() == Player::Playing) {
    player.syncTick();
    if (player.hasVideo() && player.takeFrame(frameSlot)) schedule.frameChanged = true;
  }
  if (sleepDeadline != 0 && static_cast<int32_t>(now - sleepDeadline) >= 0) {
    sleepDeadline = 0;
    if (player.state() == Player::Playing) {
      player.pause();
      showToast("슬립 타이머 — 재생 정지됨", 3000);
    }
  }
  if (pointer.clickPending && now - pointer.clickTick > 300) {
    pointer.clickPending = false;
    if (!isConnecting) player.togglePause();
  }
  if (!isConnecting && !medium.historyKey.empty() && player.state() != Player::Stopped && now - medium.lastHistorySave > 15000) {
    medium.lastHistorySave = now;
    recordHistory(false);
  }
  if (mediaSession && !isConnecting) mediaSession->tick(now);
  bool emptyScreen = player.state() == Player::Stopped && !isConnecting;
  if (emptyScreen && connection.retryOffered && now - connection.retryTick > 15000) connection.retryOffered = false;

  // The radio's song title, at most every 500 ms, and the cover of an audio-only medium.
  if (!isConnecting && player.state() != Player::Stopped) {
    if (now - medium.streamTitlePollTick >= 500) {
      medium.streamTitlePollTick = now;
      std::string title;
      if (player.source().pollStreamTitle(title) && !title.empty()) medium.streamTitle = title;
    }
    if (!player.hasVideo() && !overlay.coverTried()) {
      std::vector<uint8_t> bytes;
      std::string mime, folderCover;
      bool busy = false;
      if (player.source().extractCoverArt(bytes, mime, &busy))
        overlay.setCover(bytes.data(), bytes.size(), mime);
      else if (!busy && readFolderCover(medium.path, folderCover, mime))  // none inside: the folder's
        overlay.setCover(reinterpret_cast<const uint8_t*>(folderCover.data()), folderCover.size(), mime);
      else if (!busy || now - medium.openTick > 2000)  // none, or busy for too long
        overlay.setCover(nullptr, 0);
    }
  }
}

namespace {

// The player's readouts as the paint shows them.
void readMedia(const Player& player, MediaView& m) {
  int state = player.state();
  // A medium that played to its end shows the play button, as a paused one does.
  m.state = state == Player::Playing ? (player.ended() ? PlayState::Paused : PlayState::Playing)
            : state == Player::Paused ? PlayState::Paused
                                      : PlayState::Idle;
  m.position = player.position();
  m.duration = player.duration();
  m.isLive = player.isLive();
  m.podcastRequest = player.podcastRequest();
  m.reconnecting = player.reconnecting();
  m.hasVideo = player.hasVideo();
  m.speed = static_cast<float>(player.speed());
  m.volume = player.volume();
  m.muted = player.muted();
  MediaInfo info = player.source().info();
  m.stationName = info.stationName;
  m.artist = info.artist;
  m.album = info.album;
  m.codecName = info.codecName;
  m.bitrateKbps = info.bitrateKbps;
  m.sampleRate = info.sampleRate;
  m.channels = info.channels;
  m.chapters = info.chapters;
}

void readAudio(const AudioOutput& out, AudioView& a) {
  a.ringFill = out.ringFill();
  a.ringCapacity = out.ringCapacity();
  a.sampleRate = out.sampleRate();
  a.channels = out.channels();
  a.rebuffering = out.rebuffering.load();
  out.getLevels(a.levels.data(), kLevelBands);
}

}  // namespace

void App::fillOverlayState(OverlayState& s) {
  s.tick = tickCount();
  clientSize(s.width, s.height);
  s.maximized = window.isMaximized();
  s.playlistOpen = playlist.visible;
  s.view = view;
  s.pointer = pointer;

  s.currentPath = medium.path;
  s.connecting = connection.active.load();
  s.connectingTarget = medium.connectingName;
  s.connectionFailed = connection.retryOffered;
  s.failedTick = connection.retryTick;
  s.failedName = connection.lastAttempt.name;
  readMedia(player, s.media);
  s.media.title = medium.title;
  readAudio(player.audioOutput(), s.audio);
  s.streamTitle = medium.streamTitle;
  s.listenStartTick = medium.listenStartTick;

  s.frame = frameSlot.hasPixels() && player.hasVideo() ? &frameSlot : nullptr;
  s.frameChanged = schedule.frameChanged;
  const Settings& st = settings();
  s.aspectMode = st.aspectRatio;
  s.turn = turn;

  s.subtitleVisible = subtitles.visible;
  s.subtitleTrackLoaded = !subtitles.track.empty() || subtitles.current >= 0;
  s.subtitleColor = st.subtitleColor;
  if (s.media.state != PlayState::Idle) {
    s.subtitleText = subtitles.textAt(s.media.position);
    // A stream or a script: the subtitle thread's, at the same time as a file's cues.
    const double delay = subtitles.track.delay();
    player.setSubtitleDelay(delay);
    if (subtitles.visible && (player.currentSubtitleStream() >= 0 || player.subtitleScriptShown())) {
      SubtitleFrame f = player.subtitleFrameAt(s.media.position + delay);
      if (s.subtitleText.empty()) s.subtitleText = std::move(f.text);
      s.subtitleAss = std::move(f.ass);
      s.subtitleBitmaps = std::move(f.bitmaps);
    }
  }

  s.ab = ab;
  s.lastPodcastUrl = st.lastPodcastUrl;
  s.lastPodcastName = st.lastPodcastName;
  s.resumePosition = st.lastPodcastUrl.empty() ? 0 : history.position(st.lastPodcastUrl);

  s.toast = toast;
  s.input = input;
  s.input.editing = !input.streamId.empty();
  s.input.focusedField = input.open && focusedInputField() ? input.focusedField : 0;
}

namespace {

// Everything drawn that can change without an event: when it is the same as at the last
// paint (and nothing moves), the window already shows it.
std::string paintSignature(const OverlayState& s) {
  const MediaView& m = s.media;
  char numbers[320];
  std::snprintf(numbers, sizeof numbers, "%d %d %d %d %d %d %.0f %.0f %d %.3f %.2f %d %d %d %d %d %d %d %d %d %d %d %u",
                s.width, s.height, static_cast<int>(m.state), m.isLive, m.reconnecting, m.hasVideo,
                std::floor(m.position), m.duration, m.muted, m.volume, m.speed, m.bitrateKbps, m.sampleRate,
                m.channels, s.connecting, s.connectionFailed, s.audio.rebuffering, s.frame != nullptr,
                s.subtitleVisible, s.subtitleTrackLoaded, m.podcastRequest, s.view.windowActive,
                // The now-playing view counts the time listened.
                m.hasVideo ? 0u : static_cast<uint32_t>(s.tick - s.listenStartTick) / 1000);
  std::string out = numbers;
  // Subtitle pictures by their serials: a new drawing is a change.
  out += ' ' + std::to_string(s.subtitleAss ? s.subtitleAss->serial : 0) + ' ' +
         std::to_string(s.subtitleBitmaps ? s.subtitleBitmaps->serial : 0);
  for (const std::string* text : {&m.title, &m.artist, &m.album, &m.stationName, &m.codecName, &s.streamTitle, &s.subtitleText,
                                  &s.toast.text, &s.connectingTarget, &s.currentPath}) {
    out += '\n';
    out += *text;
  }
  return out;
}

// Under a playing picture the seek line's fill moves smoothly: a quarter pixel is a change.
// Without one it steps with the clock's seconds, like the readout; with the controls slid
// away it is not seen at all (-1: nothing to follow).
long seekFillStep(const OverlayState& s) {
  const MediaView& m = s.media;
  if (!s.frame || !(m.duration > 0) || !std::isfinite(m.position)) return -1;
  if (computeOverlayLayout(s).controlsTop >= static_cast<float>(s.height)) return -1;
  return static_cast<long>(std::clamp(m.position / m.duration, 0.0, 1.0) * s.width * 4);
}

}  // namespace

void App::paint() {
  if (!renderer.ready()) return;
  // The engine, the timers and the saves go on while the window cannot be seen; drawing then
  // waits until it can, and draws everything.
  tickWork();
  int w = 0, h = 0;
  clientSize(w, h);
  if (w < 1 || h < 1 || window.isMinimized() || renderer.device().occluded()) {
    abTick();
    schedule.wanted = true;
    renderer.invalidate();
    return;
  }
  renderer.setScale(uiScale);

  OverlayState state;
  fillOverlayState(state);
  // The bars slide away in full screen and compact view; the quick-open bar fades.
  float slide = stepControlsOffset(view.controlsOffset, controlsOffsetTarget(state));
  float alpha = stepQuickOpenAlpha(view.quickOpenAlpha, view.quickOpenVisible);
  bool moving = slide != view.controlsOffset || alpha != view.quickOpenAlpha;
  view.controlsOffset = slide;
  view.quickOpenAlpha = alpha;
  state.view.controlsOffset = view.controlsOffset;
  state.view.quickOpenAlpha = view.quickOpenAlpha;
  // libass draws for the size the picture is shown at, while subtitles are shown.
  const RectF shown = subtitles.visible ? shownPictureArea(state, uiScale) : RectF{};
  player.setSubtitleArea(static_cast<int>(shown.width()), static_cast<int>(shown.height()));

  abTick();  // the A-B repeat is checked every tick, drawn or not
  std::string signature = paintSignature(state);
  signature += overlay.hasCover() ? 'c' : '-';  // found by the tick work
  Overlay::Motion motion = overlay.motion();
  schedule.busy = moving || motion == Overlay::Motion::Smooth;
  schedule.slow = motion == Overlay::Motion::Slow;
  bool whole = schedule.wanted || moving || signature != schedule.signature || motion == Overlay::Motion::Smooth;
  const long fillStep = seekFillStep(state);
  const bool fillMoved = fillStep != schedule.seekFill;
  if (fillMoved && !overlay.seekLineAlone()) whole = true;
  if (!whole && !schedule.frameChanged && !fillMoved && !(motion == Overlay::Motion::Slow && state.tick - schedule.lastPaintTick >= 40))
    return;
  schedule.lastPaintTick = state.tick;
  schedule.seekFill = fillStep;
  if (!whole && fillMoved) {
    if (overlay.paintSeekLine(renderer, resources, state)) renderer.present();
    afterPicturePaint(state);
    return;
  }
  if (!whole && schedule.frameChanged) {
    // Only the picture moved: the overlay drawn last time still stands, unchanged.
    const RectI nowhere{};
    if (overlay.paintPicture(renderer, state, &nowhere)) renderer.present();
    afterPicturePaint(state);
    return;
  }
  if (!whole && overlay.meterOnly()) {
    if (overlay.paintMeter(renderer, resources, state)) renderer.present();
    return;
  }
  schedule.wanted = false;
  schedule.signature = std::move(signature);

  resources.setSubtitleSize(subtitles.size);
  OverlayHooks hooks;
  hooks.topBar = [this](Canvas& c, const UiResources& r, const OverlayState& st, const OverlayLayout&) {
    TopBarView v;
    v.width = st.width;
    v.tick = st.tick;
    v.windowActive = st.view.windowActive;
    v.maximized = st.maximized;
    v.alwaysOnTop = view.alwaysOnTop;
    v.browserOpen = st.view.browserOpen;
    v.browserPodcastMode = st.view.browserPodcastMode;
    v.hovered = pointer.titleHover;
    // A file is named by its file name, a network medium by the title it was opened with.
    v.title = !medium.path.empty() ? fullscreenTitle(medium.path) : medium.title;
    topBar.draw(c, r, v);
    float room = st.width - 382.0f;  // as the bar lays itself out
    if (room > 0 && topBar.titleWidth() > room) overlay.noteMotion(Overlay::Motion::Smooth);  // its marquee
  };
  hooks.sidePanel = [this](Canvas& c, const UiResources& r, const OverlayState& st, const OverlayLayout&,
                           const RectF& panel) {
    if (st.view.browserOpen && !st.view.settingsOpen) {
      syncBrowser();
      streamBrowser.draw(c, r, panel, st.tick);
      if (streamBrowser.loading && streamBrowser.mode == 1) overlay.noteMotion(Overlay::Motion::Slow);  // spinner
      return;
    }
    drawSidePanel(c, r, panel);
  };
  hooks.inputFields = [this](Canvas& c, const UiResources& r, const OverlayState& st, const InputLayout& in) {
    drawInputFields(c, r, st, in);
  };
  if (overlay.paint(renderer, resources, state, hooks)) renderer.present();
  afterPicturePaint(state);
}

void App::afterPicturePaint(const OverlayState& state) {
  if (!state.frame) return;
  player.setShownSize(renderer.shownVideoWidth(), renderer.shownVideoHeight());
  if (!medium.firstFrameLogged) {
    medium.firstFrameLogged = true;
    debugLog("First frame presented: %dx%d at %.3f\n", frameSlot.shapeWidth(), frameSlot.shapeHeight(), frameSlot.pts);
  }
}

void App::primeShownSize() {
  MediaInfo info = player.source().info();
  if (!player.hasVideo() || info.width < 1 || info.height < 1) return;
  OverlayState s;
  fillOverlayState(s);
  s.view.controlsOffset = view.controlsOffset;
  RectF area = computeOverlayLayout(s).video;
  area = RectF{area.left * uiScale, area.top * uiScale, area.right * uiScale, area.bottom * uiScale};  // in pixels
  PictureTurn t = s.turn;
  addFileTurn(info.geometry, t.rotation, t.flipH, t.flipV);
  VideoPlacement p = snapToPixels(
      computeVideoPlacement(info.geometry.squareWidth(info.width), info.height, area, s.aspectMode, t.rotation, t.flipH, t.flipV));
  if (p.visible) player.setShownSize(static_cast<int>(p.drawRect.width()), static_cast<int>(p.drawRect.height()));
}

void App::cursorTimer() {
  int w = 0, h = 0;
  clientSize(w, h);
  if (view.fullscreen && player.state() == Player::Playing && tickCount() - pointer.lastMoveTick > 3000 && pointer.y < h - 80)
    window.showCursor(false);
}

}  // namespace vell
