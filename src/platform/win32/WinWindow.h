// Windows: window handle casts, modal loop properties, DPI and taskbar hooks shared by window code.
#pragma once
#include <windows.h>

#include <functional>

#include "platform/Window.h"

namespace vell {

// A NativeWindow of this backend is the HWND itself.
inline HWND hwndOf(NativeWindow* window) { return reinterpret_cast<HWND>(window); }
inline NativeWindow* nativeWindow(HWND window) { return reinterpret_cast<NativeWindow*>(window); }

// The window property under which a Window keeps its loop for the time a modal window runs.
inline constexpr const wchar_t* kModalLoopProp = L"vell.modalLoop";

// The owner's loop while a modal window runs (null when it has none).
inline std::function<bool(int)>* modalLoopOf(HWND owner) {
  auto* loop = owner ? static_cast<std::function<bool(int)>*>(GetPropW(owner, kModalLoopProp)) : nullptr;
  return loop && *loop ? loop : nullptr;
}

// The owner's paints and timers while a box of the system runs its own loop (null without).
inline constexpr const wchar_t* kModalTickProp = L"vell.modalTick";
inline std::function<bool()>* modalTickOf(HWND owner) {
  auto* tick = owner ? static_cast<std::function<bool()>*>(GetPropW(owner, kModalTickProp)) : nullptr;
  return tick && *tick ? tick : nullptr;
}

// The device's pixels per 96 for a window (1.0 without one).
float windowDpiScale(HWND window);

// The program's main window (the last Window made that still exists); null without one.
HWND programWindow();

// What the main window passes on from the task bar (window thread): its button was made (again,
// after the shell restarted), and a thumbnail toolbar button was clicked (its id).
struct TaskbarHooks {
  std::function<void()> buttonCreated;
  std::function<void(int id)> clicked;
};
TaskbarHooks& taskbarHooks();

}  // namespace vell
