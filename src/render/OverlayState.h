#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vell {

struct VideoFrame;

// Player state as the drawing code sees it.
enum class PlayState : int { Idle = 0, Playing = 1, Paused = 2 };

inline constexpr int kLevelBands = 32;

// What the player, its media source and the audio output report, copied by the App at the
// start of each paint.
struct MediaView {
  PlayState state = PlayState::Idle;
  double position = 0;     // seconds
  double duration = 0;     // seconds; 0 or less = unknown (live)
  bool isLive = false;
  bool podcastRequest = false;
  bool reconnecting = false;
  bool hasVideo = false;
  float speed = 1.0f;
  float volume = 1.0f;     // 0..1
  bool muted = false;
  std::string title;       // the medium's title (display title)
  std::string stationName;
  std::string codecName;
  int bitrateKbps = 0;
  int sampleRate = 0;      // of the source
  int channels = 0;        // of the source
};

struct AudioView {
  size_t ringFill = 0;      // samples (all channels) waiting in the output ring
  size_t ringCapacity = 0;  // samples the ring holds (30 seconds)
  int sampleRate = 0;       // of the device
  int channels = 0;         // of the device
  bool rebuffering = false;
  std::array<float, kLevelBands> levels{};  // one RMS value per band
};

// The in-window input dialog (its logic and text fields belong to the application).
struct InputDialogView {
  bool open = false;
  bool urlOnly = true;      // one field (URL) instead of name and URL
  bool podcast = false;     // the add-stream use adds a podcast
  bool playlistUse = false;
  bool categoryUse = false;
  bool editing = false;     // a catalogue entry is being edited
  int pathUse = 0;          // a path for: 1 a media file, 2 a subtitle file, 3 the queue (no file chooser)
  int hover = -1;           // 0 Cancel, 1 OK, -1 none
  int focusedField = 0;     // 0 none, 1 name, 2 URL
};

// Everything one paint reads, filled by the App before drawing.
struct OverlayState {
  uint32_t tick = 0;  // tick count of this paint (ms)

  // Window and view.
  int width = 0, height = 0;  // client size
  bool fullscreen = false;
  bool compact = false;
  bool windowActive = true;
  bool maximized = false;
  bool settingsOpen = false;
  bool browserOpen = false;
  bool browserPodcastMode = false;
  bool playlistOpen = false;
  float controlsOffset = 0;  // 0 shown .. 68 hidden (animated by the App)

  // Mouse.
  int mouseX = -1, mouseY = -1;
  bool mouseInside = false;
  uint32_t lastMoveTick = 0;  // tick of the last mouse movement
  bool seekHover = false;
  bool seekDragging = false;
  bool volumeDragging = false;
  int controlHover = -1;  // 0 previous, 1 play/pause, 2 next, 4 speaker, 5 playlist button

  // What is open.
  std::string currentPath;  // path or URL of the medium; empty = none
  bool connecting = false;
  std::string connectingTarget;  // name of what is being opened
  bool connectionFailed = false;
  uint32_t failedTick = 0;
  std::string failedName;
  MediaView media;
  AudioView audio;
  std::string streamTitle;
  uint32_t listenStartTick = 0;

  // Picture.
  const VideoFrame* frame = nullptr;  // the frame taken this paint (or the last one)
  bool frameChanged = true;           // a new frame was taken since the last paint
  int aspectMode = 0;
  int rotation = 0;
  bool flipH = false, flipV = false;

  // Subtitles: the cue due now (looked up by the App with the player's position). The size
  // is the subtitle format's (UiResources::setSubtitleSize).
  bool subtitleVisible = true;
  bool subtitleTrackLoaded = false;
  int subtitleColor = 0;
  std::string subtitleText;

  // A-B repeat points in seconds, negative = not set.
  double pointA = -1, pointB = -1;

  // The resume button of the empty screen.
  std::string lastPodcastUrl;
  std::string lastPodcastName;
  double resumePosition = 0;  // history position of lastPodcastUrl, 0 when none

  // Messages and sheets.
  std::string toastText;
  uint32_t toastTick = 0;
  uint32_t toastDurationMs = 0;
  bool helpVisible = false;
  bool quickOpenVisible = false;
  float quickOpenAlpha = 0;  // animated by the App
  int quickOpenHover = -1;
  InputDialogView input;
};

}  // namespace vell
