// The App: owns every object of the program and the window's state, on the window thread.
#pragma once
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>
#include <string>

#include "app/AppState.h"
#include "app/AsyncFileChooser.h"
#include "app/BackgroundSaver.h"
#include "app/BackgroundWriter.h"
#include "app/InputDialog.h"
#include "app/KeyboardCommands.h"
#include "browser/StreamBrowser.h"
#include "catalog/EpisodeLoader.h"
#include "catalog/PodcastFeeds.h"
#include "catalog/StreamCatalog.h"
#include "engine/Player.h"
#include "engine/VideoFrame.h"
#include "history/PodcastHistory.h"
#include "platform/DataDirs.h"
#include "platform/Files.h"
#include "platform/TextField.h"
#include "platform/Window.h"
#include "playlist/Playlist.h"
#include "render/Overlay.h"
#include "render/Renderer.h"
#include "render/TopBar.h"
#include "render/UiResources.h"
#include "subtitles/SubtitleState.h"

namespace vell {

struct ConnectJob;
class MediaSession;
class AboutWindow;
struct MenuItem;

// Keys whose press also types a character (when text input is on).
bool isCharacterKey(int key);

// The application: owns every object of the program and all user-interface state, and runs
// on the window thread. Other threads reach it only by posting AppMessage events.
class App {
 public:
  // The player's files live where `paths` says; a single folder holds them all in tests.
  explicit App(DataPaths paths = dataPathsForProgram());
  explicit App(const std::string& folder);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // --- Construction, the loop, events and posted work (App.cpp) ----------------------------------
  // Creates the window and everything that needs it, then opens `commandLine` when given.
  // False when the program cannot run (no window or no renderer).
  bool create(const std::string& commandLine);
  // The message loop; returns the exit code.
  int run();
  // One event of the window, in its pixels (the loop hands each one over).
  void handleEvent(const WindowEvent& e);
  // The window's size or scale changed: the presenter, the resources and the cached layouts
  // follow it.
  void onResized(int width, int height);
  // The client area in layout units: its pixels divided by uiScale, rounded up so that the
  // drawing covers the window.
  void clientSize(int& width, int& height) const;
  void onMessage(int code);
  // Runs `task` on the window thread soon (safe from any thread), like a posted message.
  void postTask(std::function<void()> task);
  void requestClose();
  void showToast(const std::string& text, uint32_t durationMs);

  // --- Opening and moving through the queue, choosers, history (AppOpen.cpp) ---------------------
  void openPath(const std::string& path);
  // Forgets what belonged to the previous medium: path, titles, subtitle tracks, A-B points,
  // first-frame log.
  void resetMediumState();
  // `stationId` names the catalogue entry being opened, when known; the browser marks it (or
  // the episode) as playing once the open has succeeded.
  void openMedia(const std::string& url, const std::string& name, bool podcastRequest,
                 const std::string& stationId = {});
  // What a click on a station or episode does: opens it, or, while another connection runs,
  // queues it and makes that connection give up.
  void requestOpen(const std::string& url, const std::string& name, bool podcastRequest,
                   const std::string& stationId = {});
  // A live stream whose reconnection was given up ends in the failure screen with its
  // retry, as a failed connection does. True when that was the end just reported.
  bool liveStreamGaveUp();
  // While a connection runs, the connection thread owns the player: commands that would
  // open, close, start or stop it show the waiting message instead (true) and do nothing.
  bool busyConnecting();
  // The browser's playing mark: the station (by id, else the radio station with that URL) or
  // the episode just opened; cleared by an empty URL.
  void markPlaying(const std::string& url, bool podcast, const std::string& stationId);
  // `resume` applies the resume position: false for the automatic advance and the repeat
  // after an end, which start from the beginning.
  void playItem(int index, bool resume = true);
  void playNext(bool resume = true);
  void playPrevious();
  void updateTitle();
  void chooseAndOpenFile();
  // The playlist's "+" and "파일 추가": a chosen (or, without a chooser, typed) file joins the queue.
  void chooseFileForQueue();
  void chooseSubtitle();
  // Opens the desktop's file chooser beside the window (one at a time); `onChosen` runs on
  // the window thread with the chosen path, unless the window was closed meanwhile.
  bool chooseFile(const FileDialogOptions& options, std::function<void(const std::string&)> onChosen);
  // The media-file chooser (its filters); what follows a choice goes in `onChosen`.
  bool chooseMediaFile(std::function<void(const std::string&)> onChosen);
  // Whether the queue is only what openPath made of one opened file: the automatic save at
  // exit then keeps the list the user saved.
  bool queueOnlyOpened() const;
  // The chooser behind chooseFile (tests give it a dialog of their own).
  AsyncFileChooser& fileChooser() { return chooser_; }

  // --- Pointer and keys (AppInput.cpp) -----------------------------------------------------------
  ClientLayout computeLayout() const;
  // A length or a client coordinate in layout units as pixels, and a pixel as layout units.
  int toPixels(float units) const { return static_cast<int>(std::lround(units * uiScale)); }
  int toUnits(int pixels) const { return static_cast<int>(std::floor(pixels / uiScale)); }
  HitCode nonClientHitTest(int x, int y) const;
  void onMouseDown(int x, int y, int clicks);
  void onMouseUp();
  void onRightButtonUp(int x, int y);
  void onMouseMove(int x, int y);
  void onMouseLeave();
  void onWheel(int delta);
  void onDoubleClick(int x, int y);
  void onCaptionDoubleClick();
  void onDropFiles(const std::vector<std::string>& files, int x, int y);
  void onKeyDown(int key, bool ctrl, bool shift, bool alt);
  void onTextInput(const std::string& text);
  void onTextEditing(const std::string& composition);

  // --- Window features (AppWindowFeatures.cpp) ---------------------------------------------------
  void toggleFullscreen();
  void toggleCompactView();
  void toggleAlwaysOnTop();
  void setWindowScale(double scale);
  void setOpacity(float value, bool withMessage);
  void rotateBy(int degrees);
  void setRotation(int degrees);
  void toggleFlipH();
  void toggleFlipV();
  // The modal About window; a second call while it is open does nothing.
  void showAboutWindow();

  // --- Playback commands: A-B, sleep timer, screenshot, speed, volume (AppPlaybackCommands.cpp) ---
  void setPointA();
  void setPointB();
  void clearAB();
  void abTick();
  void setSleepTimer(int minutes);
  // -1 when off, 0 when the deadline has passed, else the minutes left (rounded up).
  int sleepMinutesLeft() const;
  bool takeScreenshot();
  void setSpeed(double speed);
  // Plays audio track `index` of the medium (Y moves to the next one, wrapping), keeps the
  // choice with the file's resume entry and says which track plays now.
  void chooseAudioTrack(int index);
  void nextAudioTrack();
  // Seeks to chapter `index` and names it. N and B step by the chapter rules; false (the key
  // is not theirs) when the medium has no chapters.
  void goToChapter(int index);
  bool stepChapter(bool forward);
  void toggleMute();
  void changeVolume(float delta);

  // --- Subtitle tracks (AppSubtitles.cpp) --------------------------------------------------------
  // A file was opened, before it plays: its streams and the files beside it are the tracks; the
  // one remembered with it shows, else the first by the rules. True when a file was loaded.
  bool setUpSubtitles(const std::string& path);
  // Shows track `index` of subtitles.options (-1 for none; K moves to the next, after the last
  // to none), keeps the choice with the file's resume entry and says which shows now.
  void chooseSubtitleTrack(int index);
  void nextSubtitleTrack();
  // A subtitle file the user chose (the chooser or a typed path): it joins the tracks and shows.
  void openSubtitleFile(const std::string& path);

  // --- Context menus at screen points, each built fresh (AppMenus.cpp) ---------------------------
  void showMainMenu(int screenX, int screenY);
  // `itemIndex` is the queue index of the row under the cursor, -1 for anywhere else.
  void showPlaylistMenu(int itemIndex, int screenX, int screenY);
  // `entryId` names the browser's catalogue entry under the cursor; empty for none.
  void showStreamMenu(const std::string& entryId, int screenX, int screenY);
  // The main menu's commands (WM_COMMAND); the other two menus act on their returned id.
  void onCommand(int id);
  void playlistMenuCommand(int id, int row);
  void streamMenuCommand(int id, const std::string& entryId);
  void openInputDialogFor(InputUse use, const std::string& streamId = std::string());
  void rebuildBrowserRows();

  // --- Side panels, one open at most (AppPlaylistPanel.cpp, AppSettingsPanel.cpp) ----------------
  void togglePlaylistPanel();
  // Opens (closing the other panels) or closes the playlist panel; the settings follow.
  void setPlaylistVisible(bool visible);
  bool playlistPanelShown() const;
  PanelPlace sidePanelPlace() const;
  void playlistPanelClick(int x, int y);
  void playlistPanelHover(int x, int y);
  // Scrolls the playlist when the pointer is over it; false otherwise.
  bool playlistPanelWheel(int delta);
  // The open side panel, drawn into its place by the paint.
  void drawSidePanel(Canvas& canvas, const UiResources& res, const RectF& panel);
  void openSettingsPanel();
  std::string settingValueText(int settingId) const;
  void settingsPanelClick(int x, int y);
  void settingsPanelHover(int y);

  // --- Stream browser (AppBrowser.cpp) -----------------------------------------------------------
  void toggleStreamBrowser(bool podcastMode);
  // Where the browser is drawn: the side panel's rectangle, empty while it is not shown.
  RectF browserPanel() const;
  // Copies the App's panel flags, catalogue and history into the streamBrowser.
  void syncBrowser();
  void placeBrowserTextInput();  // the input method's candidates beside the search box
  // A left click on the browser; while connecting only station and episode rows, the
  // tabs and the close mark react.
  void onBrowserClick(int x, int y);
  void onBrowserHover(int x, int y);
  // True when the wheel notch scrolled the streamBrowser.
  bool onBrowserWheel(int delta);
  // Typed text goes to the search while the browser is open and nothing covers it.
  bool browserSearchActive() const;
  // Keys the search takes: Ctrl+F, which gives it the keyboard, and while it has the
  // keyboard Backspace, Escape and plain character keys (their text arrives as text input).
  // True when the key table must not see the key.
  bool browserSearchKey(int key, bool ctrl, bool alt);
  void selectPodcast(const StreamEntry& podcast);
  void onEpisodesLoaded(std::unique_ptr<EpisodeBatch> batch);
  // The browser's add button: the URL on the clipboard becomes a user radio station.
  void addClipboardStation();

  // --- The in-window input dialog (AppInputDialog.cpp) -------------------------------------------
  // The in-window input dialog. The playlist and category uses set their flag first; a
  // non-empty `streamId` edits that catalogue entry; two fields unless `urlOnly`.
  void openInputDialog(bool urlOnly, const std::string& streamId = {}, bool podcast = false);
  void submitInputDialog();
  void closeInputDialog();
  // Input while the dialog is open (the dialog takes all of it).
  void inputDialogKey(int key, bool ctrl, bool shift);
  // The dialog's field that has the keyboard (null while the dialog is closed).
  InputField* focusedInputField();
  void inputDialogMouseDown(int x, int y, int clicks, bool shift = false);
  void inputDialogMouseMove(int x, int y);
  void inputDialogMouseUp();
  void drawInputFields(Canvas& c, const UiResources& r, const OverlayState& s, const InputLayout& in);

  // --- One paint: the tick's work and the drawing (AppPaint.cpp) ---------------------------------
  void paint();
  // After a paint that showed a picture: the size it was shown at goes to the player.
  void afterPicturePaint(const OverlayState& state);
  void tickWork();
  // Time to the next tick: every 16 ms while pictures play or anything moves smoothly.
  int tickInterval() const;
  // Before a medium plays: the size its pictures will be shown at, so that the first ones
  // are already decoded to it.
  void primeShownSize();
  // Members are public for the key table, the panels and the tests: the App is one plain
  // object whose state every part of the shell reads and writes.
  const DataPaths paths;
  std::string dataFile(const char* name) const;

  Window window;
  // Pixels per layout unit: the App lays out, draws and hit-tests in 96-DPI units, the window
  // and the picture work in pixels. Read from the window's dpiScale() at creation and at every
  // size change; tests set it directly.
  float uiScale = 1.0f;
  Rect restoreRect;
  Player player;
  Renderer renderer;
  Playlist playlist;
  StreamCatalog catalog;
  KeyboardCommands keyboard;
  PodcastHistory history;
  StreamBrowser streamBrowser;
  EpisodeLoader episodeLoader{loadEpisodes};
  TopBar topBar;
  SubtitleState subtitles;
  UiResources resources;
  Overlay overlay;
  VideoFrame frameSlot;  // the picture shown last; kept when another medium opens
  std::unique_ptr<MediaSession> mediaSession;  // the desktop's media controls (MPRIS)

  ViewFlags view;
  PointerInput pointer;
  InputDialogState input;
  CurrentMedium medium;
  ConnectionState connection;
  ABRepeat ab;
  PictureTurn turn;
  Toast toast{{}, 0, 1500};
  PaintSchedule schedule;
  uint32_t sleepDeadline = 0;
  SettingsPanelState settingsPanel;
  bool keyTextTaken = false;  // the text input of the key just pressed ran as its command
  AboutState about;
  Lifecycle life;

 private:
  void installPlayerCallbacks();
  // Shows a track (-1: none) without a word; false when it cannot be shown (nothing shows then).
  bool showSubtitleOption(int index);
  // `queueIndex` is the queue entry being played; -1 for an open from outside the queue,
  // whose entry is then found by its path.
  void openFile(const std::string& path, int queueIndex, bool resume);
  void shutdown();
  // Ends an open file chooser after the close's saves, waiting a moment at most.
  void endFileChooser();
  // Handles every waiting event, then paints when a paint is due; waits at most `maxWaitMs`.
  void pumpOnce(int maxWaitMs);
  void cursorTimer();
  void fillOverlayState(OverlayState& s);
  // Stores the medium's position under historyKey; `now` writes the file at once,
  // otherwise the background saver writes it.
  void recordHistory(bool now);
  // Paints and runs the cursor timer when they are due (also while a menu is open).
  void runDueTimers();
  // Shows a menu at the screen point while the window keeps painting; the chosen id or 0.
  int trackMenu(const std::vector<MenuItem>& menu, int screenX, int screenY);

  std::vector<std::string> droppedFiles_;
  std::unique_ptr<BackgroundSaver> historySaver_;
  AsyncFileChooser chooser_;
  BackgroundWriter screenshotWriter_;
  std::string openedQueuePath_;  // the file openPath last made the whole queue of
};

}  // namespace vell
