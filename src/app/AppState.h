// The App's state by concern: the shared view structs plus what only the App keeps beside them.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/InputDialog.h"
#include "platform/Canvas.h"
#include "platform/Window.h"
#include "render/ViewState.h"

namespace vell {

struct ConnectJob;
class AboutWindow;

// Messages other threads post to the window (the codes of its user events).
enum AppMessage : int {
  kMsgMediumEnded = 1,     // the player reached the end of its input
  kMsgMediumOpened = 4,    // a medium was opened
  kMsgPendingOpen = 5,     // an open request waits for the running connection to end
  kMsgRunTasks = Window::kRunTasks,  // tasks posted with Window::postTask wait
  kMsgSeekPicture = 7,     // the first picture after a seek is ready to be shown
};

// The client area's parts, computed from the size and the view state.
struct ClientLayout {
  int width = 0, height = 0;
  int topBar = 32;
  int controlBarTop = 0;
  int seekBarY = 0;
  int buttonsY = 0;
  int buttonsHeight = 0;
  int sidePanelWidth = 0;
};

// The side panels' place in client pixels: the right 320 pixels between the bars.
struct PanelPlace {
  int left = 0, top = 0, width = 0, height = 0;
};

// Where the window's life is: created, in a size/move loop, closing, running, destroyed.
struct Lifecycle {
  bool initialized = false;
  bool inSizeMove = false;
  bool quitRequested = false;  // the window is being closed: the loop ends after shutdown
  bool running = false;
  bool destroyed = false;
};

// The settings side panel's hovered row and scroll.
struct SettingsPanelState {
  int hover = -1;
  int scroll = 0;
};

// A request to open a network medium: URL, display name, whether it is a podcast episode, and
// the browser's catalogue entry it came from (empty when it came from elsewhere).
struct OpenRequest {
  std::string url;
  std::string name;
  bool podcast = false;
  std::string stationId;
  bool empty() const { return url.empty(); }
};

// The pointer as the paint sees it, plus the click and wheel timing only the App needs.
struct PointerInput : PointerState {
  bool clickPending = false;  // a single click waits to see whether a double click follows
  uint32_t clickTick = 0;
  uint32_t lastWheelTick = 0;
  int browserHostRow = -2;  // the last browser row whose host was looked up
};

// A-B repeat: the points, and the latch that keeps one jump back from repeating at once.
struct ABRepeat : ABPoints {
  bool jumpLatch = false;
  uint32_t jumpTick = 0;
};

// The input dialog as the paint sees it, plus its fields and what it edits.
struct InputDialogState : InputDialogView {
  std::string streamId;  // the catalogue entry being edited
  std::string category;
  std::unique_ptr<InputField> nameEdit, urlEdit;  // null while the dialog is closed
  TextFormat font;
  RectF caretRect;  // where the input method's candidates go
};

// The medium open now: its names and the ticks that follow it.
struct CurrentMedium {
  std::string path;
  std::string title;  // what the caption and the now-playing view call the medium
  std::string connectingName;
  std::string streamTitle;
  uint32_t streamTitlePollTick = 0;
  uint32_t openTick = 0;
  uint32_t listenStartTick = 0;
  std::string historyKey;  // where its position is kept in the history
  uint32_t lastHistorySave = 0;
  bool firstFrameLogged = false;
};

// Network opens: the one waiting for the running connection, the last attempt and its retry.
struct ConnectionState {
  // Set on the window thread while a connection runs; read by the media controls' thread.
  std::atomic<bool> active{false};
  ConnectJob* job = nullptr;                      // the running connection, while active
  const std::atomic<bool>* jobDone = nullptr;     // ... and whether its thread has finished
  OpenRequest pending;
  OpenRequest lastAttempt;
  bool retryOffered = false;
  uint32_t retryTick = 0;
};

// The modal About window while it runs.
struct AboutState {
  AboutWindow* window = nullptr;
  bool open = false;
};

// The window is drawn only when what it shows changed: an event came (input, size, focus,
// expose, a posted message), a new picture, something moving, or the readouts' text.
struct PaintSchedule {
  bool wanted = true;
  bool frameChanged = false;
  std::string signature;
  long seekFill = -1;  // the seek line's fill as last drawn (see seekFillStep)
  uint32_t lastPaintTick = 0;
  bool busy = true;   // the last tick had something moving smoothly by itself
  bool slow = false;  // ... or only slowly
  uint32_t nextPaintTick = 0;
  uint32_t nextCursorTick = 0;
};

}  // namespace vell
