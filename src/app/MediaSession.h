// The App as the desktop's media controls see it: status out, requests in.
#pragma once
#include <cstdint>
#include <string>

#include "platform/MediaControls.h"

namespace vell {

class App;

// The player as the desktop's media controls see it: publishes the App's state to the session
// bus a few times a second and carries the bus's requests to the window thread.
class MediaSession {
 public:
  explicit MediaSession(App& app) : app_(app) {}
  // False when there is no session bus (the player runs on without it).
  bool start();
  void stop();
  // Window thread, every paint: publishes what changed (at most every 250 ms).
  void tick(uint32_t now);
  // Window thread: carries out one request of the bus.
  void handle(const MediaRequest& request);
  // What the bus would show now.
  MediaStatus status() const;
  // Whether the screen saver must stay off: a video is playing.
  bool keepScreenOn() const;

 private:
  void writeCover();

  App& app_;
  MediaControls controls_;
  uint32_t lastUpdate_ = 0;
  int64_t trackId_ = 0;
  std::string trackPath_;  // what trackId_ was given for
  uint32_t trackOpenTick_ = 0;
  std::string coverUri_;
  bool coverTried_ = false;
  bool screenSaverAllowed_ = false;  // the window starts with it held off
};

}  // namespace vell
