// The paint routine: each 16 ms tick advances the engine, fires the timers and draws.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/App.h"
#include "app/MediaSession.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "render/OverlayLayout.h"
#include "render/Renderer.h"
#include "settings/Settings.h"

namespace vell {

void App::tickWork() {
  uint32_t now = tickCount();
  bool isConnecting = connecting.load();
  frameChanged = false;
  // A playing medium's paints and the playback thread's waits keep to the millisecond.
  holdFineTimers(!isConnecting && player.state() == Player::Playing && !player.ended());
  if (!isConnecting && player.state() == Player::Playing) {
    player.syncTick();
    if (player.hasVideo() && player.takeFrame(frameSlot)) frameChanged = true;
  }
  if (sleepDeadline != 0 && static_cast<int32_t>(now - sleepDeadline) >= 0) {
    sleepDeadline = 0;
    if (player.state() == Player::Playing) {
      player.pause();
      showToast("슬립 타이머 — 재생 정지됨", 3000);
    }
  }
  if (clickPending && now - clickTick > 300) {
    clickPending = false;
    if (!isConnecting) player.togglePause();
  }
  if (!isConnecting && !historyKey.empty() && player.state() != Player::Stopped && now - lastHistorySave > 15000) {
    lastHistorySave = now;
    recordHistory(false);
  }
  if (mediaSession && !isConnecting) mediaSession->tick(now);
  bool emptyScreen = player.state() == Player::Stopped && !isConnecting;
  if (emptyScreen && retryOffered && now - retryTick > 15000) retryOffered = false;

  // The radio's song title, at most every 500 ms, and the cover of an audio-only medium.
  if (!isConnecting && player.state() != Player::Stopped) {
    if (now - streamTitlePollTick >= 500) {
      streamTitlePollTick = now;
      std::string title;
      if (player.source().pollStreamTitle(title) && !title.empty()) streamTitle = title;
    }
    if (!player.hasVideo() && !overlay.coverTried()) {
      std::vector<uint8_t> bytes;
      std::string mime;
      if (player.source().extractCoverArt(bytes, mime))
        overlay.setCover(bytes.data(), bytes.size(), mime);
      else if (now - openTick > 2000)  // busy or none: give up after a while
        overlay.setCover(nullptr, 0);
    }
  }
}

void App::fillOverlayState(OverlayState& s) {
  s.tick = tickCount();
  clientSize(s.width, s.height);
  s.fullscreen = fullscreen;
  s.compact = compactView;
  s.windowActive = windowActive;
  s.maximized = window.isMaximized();
  s.settingsOpen = settingsPanelOpen;
  s.browserOpen = browserOpen;
  s.browserPodcastMode = browserPodcastMode;
  s.playlistOpen = playlist.visible;
  s.controlsOffset = controlBarSlide;
  s.mouseX = lastMouseX;
  s.mouseY = lastMouseY;
  s.mouseInside = mouseInside;
  s.lastMoveTick = lastMoveTick;
  s.seekHover = seekHover;
  s.seekDragging = seekDragging;
  s.volumeDragging = volumeDragging;
  s.controlHover = controlHover;

  s.currentPath = currentPath;
  s.connecting = connecting.load();
  s.connectingTarget = connectingName;
  s.connectionFailed = retryOffered;
  s.failedTick = retryTick;
  s.failedName = lastAttempt.name;

  MediaView& m = s.media;
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
  m.title = currentTitle;
  m.stationName = info.stationName;
  m.codecName = info.codecName;
  m.bitrateKbps = info.bitrateKbps;
  m.sampleRate = info.sampleRate;
  m.channels = info.channels;

  const AudioOutput& out = player.audioOutput();
  s.audio.ringFill = out.ringFill();
  s.audio.ringCapacity = out.ringCapacity();
  s.audio.sampleRate = out.sampleRate();
  s.audio.channels = out.channels();
  s.audio.rebuffering = out.rebuffering.load();
  out.getLevels(s.audio.levels.data(), kLevelBands);
  s.streamTitle = streamTitle;
  s.listenStartTick = openedTickForListen_;

  s.frame = frameSlot.hasPixels() && player.hasVideo() ? &frameSlot : nullptr;
  s.frameChanged = frameChanged;
  const Settings& st = settings();
  s.aspectMode = st.aspectRatio;
  s.rotation = rotation;
  s.flipH = flipH;
  s.flipV = flipV;

  s.subtitleVisible = subtitles.visible;
  s.subtitleTrackLoaded = !subtitles.track.empty();
  s.subtitleColor = st.subtitleColor;
  if (state != Player::Stopped) s.subtitleText = subtitles.textAt(m.position);

  s.pointA = pointA;
  s.pointB = pointB;
  s.lastPodcastUrl = st.lastPodcastUrl;
  s.lastPodcastName = st.lastPodcastName;
  s.resumePosition = st.lastPodcastUrl.empty() ? 0 : history.position(st.lastPodcastUrl);

  s.toastText = toastText;
  s.toastTick = toastTick;
  s.toastDurationMs = toastDurationMs;
  s.helpVisible = helpVisible;
  s.quickOpenVisible = quickOpenVisible;
  s.quickOpenAlpha = quickOpenAlpha;
  s.quickOpenHover = quickOpenHover;
  s.input.open = inputOpen;
  s.input.hover = inputHover;
  s.input.urlOnly = inputUrlOnly;
  s.input.podcast = inputPodcast;
  s.input.playlistUse = inputPlaylistUse;
  s.input.categoryUse = inputCategoryUse;
  s.input.editing = !inputStreamId.empty();
  s.input.pathUse = inputPathUse;
  s.input.focusedField = inputOpen && focusedInputField() ? inputFocus : 0;
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
                s.subtitleVisible, s.subtitleTrackLoaded, m.podcastRequest, s.windowActive,
                // The now-playing view counts the time listened.
                m.hasVideo ? 0u : static_cast<uint32_t>(s.tick - s.listenStartTick) / 1000);
  std::string out = numbers;
  for (const std::string* text : {&m.title, &m.stationName, &m.codecName, &s.streamTitle, &s.subtitleText,
                                  &s.toastText, &s.connectingTarget, &s.currentPath}) {
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
    paintWanted = true;
    renderer.invalidate();
    return;
  }
  renderer.setScale(uiScale);

  OverlayState state;
  fillOverlayState(state);
  // The bars slide away in full screen and compact view; the quick-open bar fades.
  float slide = stepControlsOffset(controlBarSlide, controlsOffsetTarget(state));
  float alpha = stepQuickOpenAlpha(quickOpenAlpha, quickOpenVisible);
  bool moving = slide != controlBarSlide || alpha != quickOpenAlpha;
  controlBarSlide = slide;
  quickOpenAlpha = alpha;
  state.controlsOffset = controlBarSlide;
  state.quickOpenAlpha = quickOpenAlpha;

  abTick();  // the A-B repeat is checked every tick, drawn or not
  std::string signature = paintSignature(state);
  signature += overlay.hasCover() ? 'c' : '-';  // found by the tick work
  Overlay::Motion motion = overlay.motion();
  busyTicking = moving || motion == Overlay::Motion::Smooth;
  slowTicking = motion == Overlay::Motion::Slow;
  bool whole = paintWanted || moving || signature != paintedSignature || motion == Overlay::Motion::Smooth;
  const long fillStep = seekFillStep(state);
  const bool fillMoved = fillStep != paintedSeekFill;
  if (fillMoved && !overlay.seekLineAlone()) whole = true;
  if (!whole && !frameChanged && !fillMoved && !(motion == Overlay::Motion::Slow && state.tick - lastPaintTick >= 40))
    return;
  lastPaintTick = state.tick;
  paintedSeekFill = fillStep;
  if (!whole && fillMoved) {
    if (overlay.paintSeekLine(renderer, resources, state)) renderer.present();
    afterPicturePaint(state);
    return;
  }
  if (!whole && frameChanged) {
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
  paintWanted = false;
  paintedSignature = std::move(signature);

  resources.setSubtitleSize(subtitles.size);
  OverlayHooks hooks;
  hooks.topBar = [this](Canvas& c, const UiResources& r, const OverlayState& st, const OverlayLayout&) {
    TopBarView v;
    v.width = st.width;
    v.tick = st.tick;
    v.windowActive = st.windowActive;
    v.maximized = st.maximized;
    v.alwaysOnTop = alwaysOnTop;
    v.browserOpen = st.browserOpen;
    v.browserPodcastMode = st.browserPodcastMode;
    v.hovered = titleHover;
    // A file is named by its file name, a network medium by the title it was opened with.
    v.title = !currentPath.empty() ? fullscreenTitle(currentPath) : currentTitle;
    topBar.draw(c, r, v);
    float room = st.width - 382.0f;  // as the bar lays itself out
    if (room > 0 && topBar.titleWidth() > room) overlay.noteMotion(Overlay::Motion::Smooth);  // its marquee
  };
  hooks.sidePanel = [this](Canvas& c, const UiResources& r, const OverlayState& st, const OverlayLayout&,
                           const RectF& panel) {
    if (st.browserOpen && !st.settingsOpen) {
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
  if (!firstFrameLogged) {
    firstFrameLogged = true;
    debugLog("First frame presented: %dx%d at %.3f\n", frameSlot.shapeWidth(), frameSlot.shapeHeight(), frameSlot.pts);
  }
}

void App::primeShownSize() {
  MediaInfo info = player.source().info();
  if (!player.hasVideo() || info.width < 1 || info.height < 1) return;
  OverlayState s;
  fillOverlayState(s);
  s.controlsOffset = controlBarSlide;
  RectF area = computeOverlayLayout(s).video;
  area = RectF{area.left * uiScale, area.top * uiScale, area.right * uiScale, area.bottom * uiScale};  // in pixels
  VideoPlacement p =
      snapToPixels(computeVideoPlacement(info.width, info.height, area, s.aspectMode, s.rotation, s.flipH, s.flipV));
  if (p.visible) player.setShownSize(static_cast<int>(p.drawRect.width()), static_cast<int>(p.drawRect.height()));
}

void App::cursorTimer() {
  int w = 0, h = 0;
  clientSize(w, h);
  if (fullscreen && player.state() == Player::Playing && tickCount() - lastMoveTick > 3000 && lastMouseY < h - 80)
    window.showCursor(false);
}

}  // namespace vell
