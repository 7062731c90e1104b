// Everything one paint reads: the player's and audio output's readouts and the window's state.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/Chapters.h"
#include "engine/SubtitleImage.h"
#include "render/ViewState.h"

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
  std::string artist, album;  // a file's tags
  std::string stationName;
  std::string codecName;
  int bitrateKbps = 0;
  int sampleRate = 0;      // of the source
  int channels = 0;        // of the source
  ChapterList chapters;    // marked on the seek bar; null when none
};

struct AudioView {
  size_t ringFill = 0;      // samples (all channels) waiting in the output ring
  size_t ringCapacity = 0;  // samples the ring holds (30 seconds)
  int sampleRate = 0;       // of the device
  int channels = 0;         // of the device
  bool rebuffering = false;
  std::array<float, kLevelBands> levels{};  // one RMS value per band
};

// Everything one paint reads, filled by the App before drawing.
struct OverlayState {
  uint32_t tick = 0;  // tick count of this paint (ms)

  // Window and view.
  int width = 0, height = 0;  // client size
  bool maximized = false;
  bool playlistOpen = false;
  ViewFlags view;
  PointerState pointer;

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
  PictureTurn turn;

  // Subtitles: the cue due now (looked up by the App with the player's position). The size
  // is the subtitle format's (UiResources::setSubtitleSize). Pictures (libass's drawing, a
  // bitmap track's event) go over the picture, in neither the size nor the colour.
  bool subtitleVisible = true;
  bool subtitleTrackLoaded = false;
  int subtitleColor = 0;
  std::string subtitleText;
  std::shared_ptr<const AssPicture> subtitleAss;
  std::shared_ptr<const SubtitleBitmaps> subtitleBitmaps;

  ABPoints ab;

  // The resume button of the empty screen.
  std::string lastPodcastUrl;
  std::string lastPodcastName;
  double resumePosition = 0;  // history position of lastPodcastUrl, 0 when none

  // Messages and sheets.
  Toast toast;
  InputDialogView input;
};

}  // namespace vell
