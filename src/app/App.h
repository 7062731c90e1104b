#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>
#include <string>

#include "app/BackgroundSaver.h"
#include "app/KeyboardCommands.h"
#include "catalog/StreamCatalog.h"
#include "engine/Player.h"
#include "engine/VideoFrame.h"
#include "history/PodcastHistory.h"
#include "platform/Files.h"
#include "platform/Window.h"
#include "playlist/Playlist.h"
#include "render/Overlay.h"
#include "render/Renderer.h"
#include "render/UiResources.h"
#include "subtitles/SubtitleState.h"

namespace vell {

struct ConnectJob;

// Messages other threads post to the window (the codes of its user events).
enum AppMessage : int {
  kMsgMediumEnded = 1,     // the player reached the end of its input
  kMsgEpisodesLoaded = 3,  // an episode list arrived
  kMsgMediumOpened = 4,    // a medium was opened
  kMsgPendingOpen = 5,     // an open request waits for the running connection to end
  kMsgRunTasks = 6,        // work handed over with App::postTask
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

// A request to open a network medium: URL, display name and whether it is a podcast episode.
struct OpenRequest {
  std::string url;
  std::string name;
  bool podcast = false;
  bool empty() const { return url.empty(); }
};

// The application: owns every object of the program and all user-interface state, and runs
// on the window thread. Other threads reach it only by posting AppMessage events.
class App {
 public:
  // Every file of the player lives in `dataDirectory`: the program's own folder.
  explicit App(std::string dataDirectory = executableDir());
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Creates the window and everything that needs it, then opens `commandLine` when given.
  // False when the program cannot run (no window or no renderer).
  bool create(const std::string& commandLine);
  // The message loop; returns the exit code.
  int run();

  // --- Shared operations ---------------------------------------------------------------
  void openPath(const std::string& path);
  // Forgets what belonged to the previous medium: path, titles, A-B points, first-frame log.
  void resetMediumState();
  void openMedia(const std::string& url, const std::string& name, bool podcastRequest);
  // While a connection runs, the connection thread owns the player: commands that would
  // open, close, start or stop it show the waiting message instead (true) and do nothing.
  bool busyConnecting();
  void playItem(int index);
  void playNext();
  void playPrevious();
  void showToast(const std::string& text, uint32_t durationMs);
  // What a click on a station or episode does: opens it, or, while another connection runs,
  // queues it and makes that connection give up.
  void requestOpen(const std::string& url, const std::string& name, bool podcastRequest);
  // Runs `task` on the window thread soon (safe from any thread), like a posted message.
  void postTask(std::function<void()> task);
  void updateTitle();
  ClientLayout computeLayout() const;

  // --- Window features -----------------------------------------------------------------
  void toggleFullscreen();
  void toggleCompactView();
  void toggleAlwaysOnTop();
  void setWindowScale(double scale);
  void setOpacity(float value, bool withMessage);
  void rotateBy(int degrees);
  void setRotation(int degrees);
  void toggleFlipH();
  void toggleFlipV();
  void setPointA();
  void setPointB();
  void clearAB();
  void abTick();
  void setSleepTimer(int minutes);
  // -1 when off, 0 when the deadline has passed, else the minutes left (rounded up).
  int sleepMinutesLeft() const;
  bool takeScreenshot();
  void setSpeed(double speed);
  void toggleMute();
  void changeVolume(float delta);
  void chooseAndOpenFile();
  // The side panels (playlist, stream browser) arrive with their own drawing; until then
  // these commands have nothing to show.
  void togglePlaylistPanel();
  void toggleStreamBrowser(bool podcastMode);
  void chooseSubtitle();

  // --- Input ---------------------------------------------------------------------------
  HitCode nonClientHitTest(int x, int y) const;
  void onMouseDown(int x, int y, int clicks);
  void onMouseUp();
  void onRightButtonUp(int x, int y);
  void onMouseMove(int x, int y);
  void onWheel(int delta);
  void onDoubleClick(int x, int y);
  void onCaptionDoubleClick();
  void onDropFiles(const std::vector<std::string>& files, int x, int y);
  void onMessage(int code);
  void onKeyDown(int key, bool ctrl, bool shift, bool alt);
  void onTextInput(const std::string& text);
  void onTextEditing(const std::string& composition);
  void requestClose();

  // --- One paint: the per-frame tick work, drawing and the A-B check -------------------
  void paint();
  void tickWork();

  // The process-wide pointer, set between the end of the constructor and the destructor.
  static App* instance();

  // Members are public for the key table, the panels and the tests: the App is one plain
  // object whose state every part of the shell reads and writes.
  const std::string dataDirectory;
  std::string dataFile(const char* name) const;

  Window window;
  bool fullscreen = false;
  bool compactView = false;
  bool alwaysOnTop = false;
  Rect restoreRect;
  Player player;
  Renderer renderer;
  Playlist playlist;
  StreamCatalog catalog;
  KeyboardCommands keyboard;
  std::atomic<bool> connecting{false};
  OpenRequest pendingOpen;
  OpenRequest lastAttempt;
  bool retryOffered = false;
  uint32_t retryTick = 0;
  uint32_t sleepDeadline = 0;
  PodcastHistory history;
  std::string historyKey;
  bool settingsPanelOpen = false;
  int settingsHover = -1;
  int settingsScroll = 0;
  bool browserOpen = false;
  bool browserPodcastMode = false;
  bool helpVisible = false;
  bool quickOpenVisible = false;
  int quickOpenHover = -1;
  float quickOpenAlpha = 0.0f;
  bool inputOpen = false;
  int inputHover = -1;
  bool initialized = false;
  int lastMouseX = -1, lastMouseY = -1;
  bool mouseInside = false;
  uint32_t lastMoveTick = 0;
  bool seekDragging = false;
  bool volumeDragging = false;
  bool clickPending = false;
  uint32_t clickTick = 0;
  int titleHover = -1;
  bool seekHover = false;
  int controlHover = -1;
  float controlBarSlide = 0.0f;
  uint32_t lastHistorySave = 0;
  uint32_t lastWheelTick = 0;
  bool windowActive = true;
  std::string currentPath;
  std::string currentTitle;  // what the caption and the now-playing view call the medium
  std::string connectingName;
  std::string streamTitle;
  uint32_t streamTitlePollTick = 0;
  uint32_t openTick = 0;
  SubtitleState subtitles;
  int rotation = 0;
  bool flipH = false, flipV = false;
  double pointA = -1.0, pointB = -1.0;
  bool abJumpLatch = false;
  uint32_t abJumpTick = 0;
  std::string toastText;
  uint32_t toastTick = 0;
  uint32_t toastDurationMs = 1500;
  UiResources resources;
  Overlay overlay;
  VideoFrame frameSlot;  // the picture shown last; kept when another medium opens
  bool frameChanged = false;
  bool inSizeMove = false;
  bool quitRequested = false;  // the window is being closed: the loop ends after shutdown
  bool firstFrameLogged = false;

 private:
  void installPlayerCallbacks();
  void shutdown();
  void handleEvent(const WindowEvent& e);
  // Handles every waiting event, then paints when a paint is due; waits at most `maxWaitMs`.
  void pumpOnce(int maxWaitMs);
  void cursorTimer();
  void fillOverlayState(OverlayState& s);
  // Stores the medium's position under historyKey; `now` writes the file at once,
  // otherwise the background saver writes it.
  void recordHistory(bool now);
  // Runs `work` on a helper thread while the window keeps painting (input waits).
  void runModal(const std::function<void()>& work);

  uint32_t nextPaintTick_ = 0;
  uint32_t nextCursorTick_ = 0;
  bool running_ = false;
  bool destroyed_ = false;
  ConnectJob* activeJob_ = nullptr;  // the running connection, while connecting
  std::vector<std::string> droppedFiles_;
  uint32_t lastCaptionClickTick_ = 0;
  int lastCaptionX_ = 0, lastCaptionY_ = 0;
  uint32_t openedTickForListen_ = 0;
  int modalDepth_ = 0;  // a desktop dialog is open: input waits
  std::mutex tasksLock_;
  std::vector<std::function<void()>> tasks_;
  std::unique_ptr<BackgroundSaver> historySaver_;
};

}  // namespace vell
