// The main window's interface: its events, placement, hit testing, modal loop and posted tasks.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vell {

// The system's own window behind a Window, opaque outside the backend: modal windows and
// menus take it as their owner.
struct NativeWindow;

struct WindowOptions {
  bool hidden = false;      // created without being shown (tests, benchmarks)
  bool borderless = true;   // the player draws its own title bar
  bool resizable = true;
  int x = -1, y = -1;       // outer position; negative = centred
};

// What a point of the frameless window is, for the window manager: the caption moves the
// window, the borders and corners resize it, the client area belongs to the program.
enum class HitCode { Client, Caption, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

// One input or window event, with keys given as Windows virtual-key codes (app/VirtualKeys.h)
// so that the key table reads the same on every platform.
struct WindowEvent {
  enum Type {
    None,
    Quit,            // the process was asked to end (window closed, SIGTERM)
    Resized,         // the client size changed (x, y = new size)
    Exposed,         // the window needs a repaint
    FocusGained,
    FocusLost,
    MouseMove,       // x, y
    MouseDown,       // x, y, button (1 left, 2 middle, 3 right), clicks
    MouseUp,         // x, y, button
    MouseWheel,      // wheel = +1 away from the user, -1 towards
    MouseLeave,
    CaptionClick,    // the left button went down on the caption (x, y, clicks); the window
                     // follows the pointer once it moves more than a few pixels
    KeyDown,         // key, ctrl, shift, alt, repeat
    TextInput,       // text (UTF-8): committed characters
    TextEditing,     // text = the input method's composition in progress (empty when it ends)
    DropBegin,
    DropFile,        // text = path
    DropComplete,    // x, y = mouse position
    User,            // code
    RenderReset,     // the renderer lost its textures
    AudioDeviceChanged,
    HotKey,          // key: a global media key pressed while another window had the focus
  };
  Type type = None;
  int x = 0, y = 0;
  int button = 0;
  int clicks = 0;
  int wheel = 0;
  int key = 0;
  bool ctrl = false, shift = false, alt = false, repeat = false;
  int code = 0;
  std::string text;
};

// The main window: a system window with its events, hit testing and window manager requests.
class Window {
 public:
  Window();
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // False when the video subsystem or the window cannot be created.
  bool create(const std::string& title, int width, int height, const WindowOptions& options = {});
  void destroy();
  bool isOpen() const;
  // Client size in pixels (0 x 0 without a window).
  void size(int& width, int& height) const;
  void setSize(int width, int height);
  void position(int& x, int& y) const;
  void setPosition(int x, int y);
  void setMinimumSize(int width, int height);  // pixels, as every size here
  void show();
  void setTitle(const std::string& title);
  std::string title() const;

  // Tells the window what each point is: presses on the caption and the borders then move
  // and size it (once the pointer moves), and the borders show resize pointers. False
  // without a window.
  bool setHitTester(std::function<HitCode(int x, int y)> tester);

  void minimize();
  void maximize();
  void restore();
  bool isMaximized() const;
  bool isMinimized() const;
  // The outer rectangle the window has when neither maximised nor minimised: while it is,
  // the last one the desktop reported before (what restoring returns to).
  Rect normalPlacement() const;
  // Full screen over the display that holds the window.
  void setFullscreen(bool on);
  void setAlwaysOnTop(bool on);
  // 1.0 = opaque; no visible effect without a compositor.
  void setOpacity(float opacity);
  void showCursor(bool show);
  void raise();
  // Whether the desktop may blank the screen or start its screen saver.
  void setScreenSaverAllowed(bool allowed);
  bool screenSaverAllowed() const;
  // The display that holds the window: its whole area and the part not taken by panels.
  Rect displayBounds() const;
  Rect usableBounds() const;
  // Window position of the client origin on the screen (menus open at screen points).
  void clientToScreen(int& x, int& y) const;
  // Physical pixels per 96-DPI pixel of the display the window is on (sizes and points are
  // physical pixels; what is drawn in 96-DPI units is scaled by this).
  float dpiScale() const;

  void startTextInput();
  void stopTextInput();
  bool textInputActive() const;
  // Where the input method should place its candidate window (client coordinates).
  void setTextInputRect(int x, int y, int w, int h);
  // Takes the global media keys for this window, also while another window has the focus
  // (best effort).
  void grabMediaKeys();

  // Waits up to `timeoutMs` for the next event; false when none came.
  bool waitEvent(WindowEvent& event, int timeoutMs);

  // Posts a User event with `code`; safe from any thread. False when the queue refused it.
  static bool postUserEvent(int code);

  // Work handed to the window thread, safe from any thread: postTask queues `task` and wakes
  // the loop with a User event of code kRunTasks, on which the loop calls runTasks(). A task
  // is for one window: the one open when it is posted, or the one `target` names (taken with
  // taskTarget() while that window was open, for work that may outlive it). When that window
  // is destroyed before the task runs, or none is open, the task is dropped: destroyed without
  // running, so what it owns is freed and what it points at is never touched. False then.
  static constexpr int kRunTasks = 6;
  using TaskTarget = std::uint64_t;
  static bool postTask(std::function<void()> task, TaskTarget target = 0);
  // This window while it is open (0 otherwise).
  TaskTarget taskTarget() const { return taskTarget_; }
  // Runs the tasks posted for this window so far, in order (window thread).
  void runTasks();

  static std::string clipboardText();
  // False when the clipboard could not be set.
  static bool setClipboardText(const std::string& text);

  // The system's window; null without one.
  NativeWindow* handle() const;

  // This window's loop while a modal window of the program (message box, About) is open:
  // the modal window calls it over and over, and it handles this window's events (waiting at
  // most `maxWaitMs`) and paints, as the program's own loop does; input meant for this window
  // goes to the modal window or is dropped meanwhile. False once the program's loop has
  // ended: the modal window then closes. Found by the modal window through its owner handle.
  void setModalLoop(std::function<bool(int maxWaitMs)> loop);
  // What this window does while a box of the system runs its own message loop (the Windows
  // message box): paints and timers only. The thread's messages are the box's then: its keys
  // need the box's own dialog handling, and this window's input waits. False once the
  // program is ending: the box then gives way with its escape answer.
  void setModalTick(std::function<bool()> tick);

 private:
  // A Quit event in `out` when SIGTERM or SIGINT came (the first thing each wait looks at).
  static bool quitSignalled(WindowEvent& out);
  // The task queue's view of this window: opened once the system's window exists, closed
  // (its waiting tasks dropped) when it goes.
  void openTasks();
  void closeTasks();

  // Kept alike on every backend (platform/Window.cpp); the system's parts are the backend's Impl.
  std::function<HitCode(int x, int y)> hitTester_;
  std::function<bool(int maxWaitMs)> modalLoop_;  // its address is published with the window
  TaskTarget taskTarget_ = 0;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Makes a WM_DELETE_WINDOW and a SIGTERM arrive as Quit events (call before the window exists).
void installQuitHandling();

}  // namespace vell
