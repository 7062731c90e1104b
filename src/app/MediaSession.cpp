// The desktop's media controls: the status the App reports and the requests it carries out.
#include "app/MediaSession.h"

#include <algorithm>
#include <vector>

#include "app/App.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/Uri.h"

namespace vell {

bool MediaSession::start() {
  App* app = &app_;
  return controls_.start("vell_player", "Vell Player", "vell-player", [app](const MediaRequest& r) {
    // Bus thread: hand the request to the window thread like any other thread's work.
    app->postTask([app, r] {
      if (app->mediaSession) app->mediaSession->handle(r);
    });
  });
}

void MediaSession::stop() { controls_.stop(); }

MediaStatus MediaSession::status() const {
  const Player& p = app_.player;
  MediaStatus s;
  int state = p.state();
  bool ended = p.ended();
  s.state = state == Player::Playing && !ended ? MediaStatus::Playing
            : state == Player::Paused          ? MediaStatus::Paused
                                               : MediaStatus::Stopped;
  bool open = state != Player::Stopped && (p.hasAudio() || p.hasVideo());
  if (open) {
    s.trackId = trackId_;
    MediaInfo info = p.source().info();
    // A station's current song is its title; the station itself stands as the artist.
    s.title = !app_.medium.streamTitle.empty() ? app_.medium.streamTitle : app_.medium.title;
    s.artist = !info.artist.empty() ? info.artist : info.stationName;
    bool localFile = !app_.medium.path.empty() && !contains(app_.medium.path, "://");
    // What was asked for: a video site's page, not its stream addresses, which expire.
    s.url = localFile ? pathToFileUri(app_.medium.path) : app_.connection.lastAttempt.url;
    s.artUrl = coverUri_;
    double duration = p.isLive() ? 0 : p.duration();
    s.lengthUs = duration > 0 ? static_cast<int64_t>(duration * 1e6) : 0;
    s.positionUs = static_cast<int64_t>(std::max(0.0, p.position()) * 1e6);
    s.canSeek = !p.isLive() && duration > 0;
    s.video = p.hasVideo();
  }
  s.rate = p.speed();
  s.volume = p.volume();
  s.canPlay = open || !app_.playlist.empty();
  s.canPause = open;
  s.canGoNext = app_.playlist.count() > 1 || app_.playlist.repeatMode != 0;
  s.canGoPrevious = app_.playlist.count() > 1 || app_.playlist.repeatMode != 0;
  return s;
}

bool MediaSession::keepScreenOn() const {
  const Player& p = app_.player;
  return p.state() == Player::Playing && !p.ended() && p.hasVideo();
}

void MediaSession::writeCover() {
  coverTried_ = true;
  std::vector<uint8_t> bytes;
  std::string mime;
  if (!app_.player.source().extractCoverArt(bytes, mime) || bytes.empty()) {
    coverTried_ = false;  // busy: tried again on a later tick
    return;
  }
  std::string ext = contains(mime, "png") ? ".png" : ".jpg";
  std::string path = runtimeFolder() + "/cover" + ext;
  std::string data(bytes.begin(), bytes.end());
  if (writeFileAtomic(path, data)) coverUri_ = pathToFileUri(path) + "?" + std::to_string(trackId_);
}

void MediaSession::tick(uint32_t now) {
  if (now - lastUpdate_ < 250) return;
  lastUpdate_ = now;
  const Player& p = app_.player;
  std::string path = p.state() == Player::Stopped ? std::string() : (app_.medium.path.empty() ? p.url() : app_.medium.path);
  if (path != trackPath_) {
    trackPath_ = path;
    if (!path.empty()) ++trackId_;
    trackOpenTick_ = now;
    coverUri_.clear();
    coverTried_ = false;
  }
  // The cover of an audio medium, written once where the desktop can read it.
  if (!path.empty() && !coverTried_ && !p.hasVideo() && now - trackOpenTick_ < 3000) writeCover();
  controls_.update(status());
  // The screen saver waits only while a picture moves; paused, idle and audio let it run.
  bool allow = !keepScreenOn();
  if (allow != screenSaverAllowed_) {
    screenSaverAllowed_ = allow;
    app_.window.setScreenSaverAllowed(allow);
  }
}

void MediaSession::handle(const MediaRequest& r) {
  Player& p = app_.player;
  if (app_.connection.active.load() && r.command != MediaCommand::Raise && r.command != MediaCommand::Quit &&
      r.command != MediaCommand::SetVolume) {
    app_.showToast("연결 중... 잠시 기다려주세요", 1000);
    return;
  }
  int state = p.state();
  switch (r.command) {
    case MediaCommand::PlayPause:
      if (state == Player::Stopped && !app_.playlist.empty() && app_.playlist.currentIndex() >= 0)
        app_.playItem(app_.playlist.currentIndex());
      else
        p.togglePause();
      break;
    case MediaCommand::Play:
      if (state == Player::Paused) p.togglePause();
      else if (state == Player::Stopped && (p.hasAudio() || p.hasVideo())) p.play();
      else if (state == Player::Stopped && !app_.playlist.empty())
        app_.playItem(std::max(0, app_.playlist.currentIndex()));
      break;
    case MediaCommand::Pause:
      if (state == Player::Playing) p.togglePause();
      break;
    case MediaCommand::Stop: p.stop(); break;
    case MediaCommand::Next: app_.playNext(); break;
    case MediaCommand::Previous: app_.playPrevious(); break;
    case MediaCommand::SeekBy:
      if (!p.isLive()) p.seekBy(r.value / 1e6);
      break;
    case MediaCommand::SetPosition: {
      // A position for another track, or outside this one, is ignored as MPRIS asks.
      double seconds = r.value / 1e6;
      if (r.trackId == trackId_ && !p.isLive() && seconds >= 0 && seconds <= p.duration()) p.seekTo(seconds);
      break;
    }
    case MediaCommand::OpenUri: {
      std::string path;
      if (fileUriToPath(r.text, path))
        app_.openPath(path);
      else if (contains(r.text, "://"))
        app_.openMedia(r.text, displayName(r.text), false);
      break;
    }
    case MediaCommand::SetVolume: p.setVolume(static_cast<float>(std::clamp(r.value, 0.0, 1.0))); break;
    case MediaCommand::SetRate:
      if (r.value <= 0) {
        if (state == Player::Playing) p.togglePause();
      } else {
        app_.setSpeed(std::clamp(r.value, 0.1, 4.0));
      }
      break;
    case MediaCommand::Raise: app_.window.raise(); break;
    case MediaCommand::Quit: app_.requestClose(); break;
  }
  lastUpdate_ = 0;  // tell the bus at once
}

}  // namespace vell
