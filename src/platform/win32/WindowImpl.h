// The Win32 window's state, shared by the window and its message handling.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <optional>

#include "platform/VirtualKeys.h"
#include "platform/Window.h"

namespace vell {

inline constexpr int kFirstHotKey = 100;
inline constexpr int kMediaKeys[] = {vk::MediaPlayPause, vk::MediaNextTrack, vk::MediaPrevTrack, vk::MediaStop};

// The display a window is on (the primary one without a window).
MONITORINFO monitorOf(HWND hwnd);

struct Window::Impl {
  explicit Impl(Window& window) : hitTester(window.hitTester_), modalLoop(window.modalLoop_) {}

  // The Window's own, which every backend keeps alike.
  std::function<HitCode(int, int)>& hitTester;
  std::function<bool(int)>& modalLoop;

  HWND hwnd = nullptr;
  bool framed = false;  // the system's own frame and caption (not borderless)
  std::function<bool()> modalTick;
  std::deque<WindowEvent> events;
  int minW = 0, minH = 0;
  Rect normal;
  bool hotKeys = false;
  bool tracking = false;  // asked for the next WM_MOUSELEAVE
  bool cursorHidden = false;
  bool textInput = false;
  bool keyTypes = false;  // text input was on when the last key went down
  bool screenSaverAllowed = true;  // held off while a window exists unless allowed (as SDL does)
  wchar_t highSurrogate = 0;
  int wheelRest = 0;          // wheel movement short of a whole notch (WHEEL_DELTA)
  bool captionPress = false;  // the left button went down on the caption and is held
  POINT pressPoint{};         // where, on the screen
  DWORD lastCaptionTick = 0;  // the last single click on the caption, for double clicks
  POINT lastCaption{};

  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
  std::optional<LRESULT> windowMessage(UINT msg, WPARAM wp, LPARAM lp);
  std::optional<LRESULT> mouseMessage(UINT msg, WPARAM wp, LPARAM lp);
  std::optional<LRESULT> keyMessage(UINT msg, WPARAM wp, LPARAM lp);
  std::optional<LRESULT> shellMessage(UINT msg, WPARAM wp, LPARAM lp);
  void push(WindowEvent e);
  void pushSimple(WindowEvent::Type type);
  void pushMouse(WindowEvent::Type type, int x, int y, int button, int clicks);
  void trackLeave(bool nonClient);
  void noteNormalPlacement();
  void composition(LPARAM lp);
  void captionClick(POINT p, bool twice);
  void endSession();
  void endCaptionPress() {
    if (!captionPress) return;
    captionPress = false;
    ReleaseCapture();
  }
  POINT clientPoint(LPARAM screenPoint) const;
  DWORD style() const { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)); }
  DWORD exStyle() const { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)); }
};

}  // namespace vell
