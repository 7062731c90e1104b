// The window's state the App keeps and the paint reads as it is: views, pointer, A-B points,
// toast, picture turn and the input dialog. Both sides hold these same structs.
#pragma once
#include <cstdint>
#include <string>

namespace vell {

// Which views, panels and sheets are shown.
struct ViewFlags {
  bool fullscreen = false;
  bool compact = false;
  bool alwaysOnTop = false;
  bool windowActive = true;
  bool settingsOpen = false;
  bool browserOpen = false;
  bool browserPodcastMode = false;
  bool helpVisible = false;
  bool quickOpenVisible = false;
  int quickOpenHover = -1;
  float quickOpenAlpha = 0;   // animated by the App
  float controlsOffset = 0;   // 0 shown .. 68 hidden (animated by the App)
};

// The pointer in client units, and what it hovers or drags.
struct PointerState {
  int x = -1, y = -1;
  bool inside = false;
  uint32_t lastMoveTick = 0;  // tick of the last movement
  bool seekHover = false;
  bool seekDragging = false;
  bool volumeDragging = false;
  int controlHover = -1;  // 0 previous, 1 play/pause, 2 next, 4 speaker, 5 playlist button
  int titleHover = -1;    // the top bar's button under the pointer
};

// A-B repeat points in seconds, negative = not set.
struct ABPoints {
  double pointA = -1, pointB = -1;
};

// The message shown over the picture for a while.
struct Toast {
  std::string text;
  uint32_t tick = 0;  // when it was shown
  uint32_t durationMs = 0;
};

// How the picture is turned: degrees clockwise and mirrors.
struct PictureTurn {
  int rotation = 0;
  bool flipH = false, flipV = false;
};

// What the in-window input dialog is open for; the path uses stand in for the desktop's file
// chooser where there is none.
enum class InputUse : int {
  OpenUrl,
  AddToPlaylist,
  NewCategory,
  AddStream,
  EditStream,
  OpenFilePath,      // a media file to open
  SubtitlePath,      // a subtitle file
  QueueFilePath,     // a media file for the queue
};

inline bool isPathUse(InputUse use) {
  return use == InputUse::OpenFilePath || use == InputUse::SubtitlePath || use == InputUse::QueueFilePath;
}

// The in-window input dialog (its logic and text fields belong to the application).
struct InputDialogView {
  bool open = false;
  bool urlOnly = true;      // one field (URL) instead of name and URL
  bool podcast = false;     // the add-stream use adds a podcast
  bool editing = false;     // a catalogue entry is being edited
  InputUse use = InputUse::OpenUrl;
  int hover = -1;           // 0 Cancel, 1 OK, -1 none
  int focusedField = 0;     // 0 none, 1 name, 2 URL
};

}  // namespace vell
