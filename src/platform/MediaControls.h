// The desktop's media controls: the status they show and the commands they send.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vell {

// What desktop media controls (the sound applet, the lock screen, playerctl) see of the player.
struct MediaStatus {
  enum State { Stopped, Playing, Paused };
  State state = Stopped;
  int64_t trackId = 0;      // changes with every medium
  std::string title;
  std::string artist;
  std::string url;
  std::string artUrl;       // file:// URI of the cover, or empty
  int64_t lengthUs = 0;     // 0 for live or unknown
  int64_t positionUs = 0;
  double rate = 1.0;
  double volume = 1.0;
  bool video = false;       // the medium shows pictures
  bool canGoNext = false;
  bool canGoPrevious = false;
  bool canSeek = false;
  bool canPlay = false;
  bool canPause = false;
};

enum class MediaCommand { PlayPause, Play, Pause, Stop, Next, Previous, SeekBy, SetPosition, OpenUri, SetVolume, SetRate, Raise, Quit };

// One command from the bus: `value` holds microseconds, a volume or a rate; `text` a URI.
struct MediaRequest {
  MediaCommand command = MediaCommand::Play;
  double value = 0;
  int64_t trackId = 0;  // SetPosition: the track the position belongs to
  std::string text;
};

// The player as an MPRIS 2 media player on the session bus. The bus is served on a thread of
// its own; requests are handed to `handler` there (pass them on to the window thread).
class MediaControls {
 public:
  using Handler = std::function<void(const MediaRequest&)>;
  MediaControls();
  ~MediaControls();
  MediaControls(const MediaControls&) = delete;
  MediaControls& operator=(const MediaControls&) = delete;

  // Connects and owns "org.mpris.MediaPlayer2.<busSuffix>". False when there is no session bus.
  bool start(const std::string& busSuffix, const std::string& identity, const std::string& desktopEntry,
             Handler handler);
  void stop();
  bool running() const;
  // Publishes the state; clients are told what changed, and a jump in position is a seek.
  void update(const MediaStatus& status);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The per-user runtime folder ($XDG_RUNTIME_DIR, else the temporary folder) + "/vell-player",
// created when missing.
std::string runtimeFolder();

}  // namespace vell
