// The window on Win32: making it, its placement and state, and waiting for its events.
#include "platform/Window.h"

#include <windows.h>
#include <dwmapi.h>
#include <imm.h>
#include <shellapi.h>

#include <cstdlib>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/QuitSignal.h"
#include "platform/VirtualKeys.h"
#include "platform/win32/WinText.h"
#include "platform/win32/WinWindow.h"
#include "platform/win32/WindowImpl.h"

namespace vell {

namespace {

constexpr const wchar_t* kClassName = L"VellPlayerWindow";
// Not in every SDK's headers.
constexpr DWORD kDarkModeAttribute = 20;     // DWMWA_USE_IMMERSIVE_DARK_MODE
constexpr DWORD kCornerAttribute = 33;       // DWMWA_WINDOW_CORNER_PREFERENCE
constexpr DWORD kDoNotRound = 1;             // DWMWCP_DONOTROUND

// User events: any thread queues them here; the window thread's wait wakes on the event.
struct UserQueue {
  std::mutex lock;
  std::deque<int> codes;
  HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};
UserQueue& userQueue() {
  static UserQueue* q = new UserQueue;  // outlives every thread that posts
  return *q;
}

void setDpiAwareness() {
  static bool done = false;
  if (done) return;
  done = true;
  using SetContext = BOOL(WINAPI*)(HANDLE);
  auto set = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  // The manifest has asked already (then this is refused as done); per-monitor v2 where the
  // system has it, the whole process at the system's DPI otherwise.
  if (set && (set(reinterpret_cast<HANDLE>(-4)) || GetLastError() == ERROR_ACCESS_DENIED)) return;
  SetProcessDPIAware();
}

Rect toRect(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

HWND mainWindow = nullptr;

}  // namespace

HWND programWindow() { return mainWindow; }

MONITORINFO monitorOf(HWND hwnd) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  HMONITOR m = hwnd ? MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST) : MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
  if (!GetMonitorInfoW(m, &info)) {
    info.rcMonitor = info.rcWork = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return info;
}


TaskbarHooks& taskbarHooks() {
  static TaskbarHooks hooks;
  return hooks;
}

float windowDpiScale(HWND window) {
  using GetDpi = UINT(WINAPI*)(HWND);
  static auto get = reinterpret_cast<GetDpi>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  UINT dpi = window && get ? get(window) : 0;
  if (dpi == 0) {
    HDC dc = GetDC(nullptr);
    dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(nullptr, dc);
  }
  return dpi > 0 ? dpi / 96.0f : 1.0f;
}

void installQuitHandling() { installQuitSignals(); }

Window::Window() : impl_(std::make_unique<Impl>(*this)) {}

Window::~Window() { destroy(); }

bool Window::create(const std::string& title, int width, int height, const WindowOptions& options) {
  destroy();
  setDpiAwareness();
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the shell's dialogs want it; already done is fine
  HINSTANCE instance = GetModuleHandleW(nullptr);
  static bool registered = [instance] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = Impl::proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
  }();
  if (!registered) return false;
  impl_->framed = !options.borderless;
  DWORD style = WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
  style |= impl_->framed ? WS_CAPTION : WS_POPUP;
  if (options.resizable) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
  RECT r{0, 0, width, height};
  if (impl_->framed) AdjustWindowRectEx(&r, style, FALSE, WS_EX_APPWINDOW);
  int w = r.right - r.left, h = r.bottom - r.top;
  RECT work = monitorOf(nullptr).rcWork;
  int x = options.x >= 0 ? options.x : work.left + (work.right - work.left - w) / 2;
  int y = options.y >= 0 ? options.y : work.top + (work.bottom - work.top - h) / 2;
  HWND hwnd = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_ACCEPTFILES, kClassName, win::widen(title).c_str(), style, x, y,
                              w, h, nullptr, nullptr, instance, impl_.get());
  if (!hwnd) {
    debugLog("CreateWindowExW failed: %lu", GetLastError());
    return false;
  }
  // The frame was taken away while it was made (WM_NCCALCSIZE): measure again.
  SetWindowPos(hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  BOOL dark = TRUE;
  DwmSetWindowAttribute(hwnd, kDarkModeAttribute, &dark, sizeof dark);
  DWORD corners = kDoNotRound;
  DwmSetWindowAttribute(hwnd, kCornerAttribute, &corners, sizeof corners);
  SetPropW(hwnd, kModalLoopProp, &modalLoop_);
  SetPropW(hwnd, kModalTickProp, &impl_->modalTick);
  mainWindow = hwnd;
  stopTextInput();
  setScreenSaverAllowed(false);
  impl_->noteNormalPlacement();
  if (!options.hidden) show();
  openTasks();
  return true;
}

void Window::destroy() {
  HWND hwnd = impl_->hwnd;
  if (!hwnd) return;
  closeTasks();
  if (impl_->hotKeys)
    for (int i = 0; i < 4; ++i) UnregisterHotKey(hwnd, kFirstHotKey + i);
  impl_->hotKeys = false;
  RemovePropW(hwnd, kModalLoopProp);
  RemovePropW(hwnd, kModalTickProp);
  if (mainWindow == hwnd) mainWindow = nullptr;
  if (!impl_->screenSaverAllowed) setScreenSaverAllowed(true);
  DestroyWindow(hwnd);
  impl_->hwnd = nullptr;
  impl_->events.clear();
  hitTester_ = nullptr;
}

bool Window::isOpen() const { return impl_->hwnd != nullptr; }

void Window::size(int& width, int& height) const {
  width = height = 0;
  RECT r;
  if (impl_->hwnd && GetClientRect(impl_->hwnd, &r)) {
    width = r.right;
    height = r.bottom;
  }
}

void Window::setSize(int width, int height) {
  if (!impl_->hwnd || width <= 0 || height <= 0) return;
  RECT r{0, 0, width, height};
  if (impl_->framed) AdjustWindowRectEx(&r, impl_->style(), FALSE, impl_->exStyle());
  SetWindowPos(impl_->hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::position(int& x, int& y) const {
  x = y = 0;
  RECT r;
  if (impl_->hwnd && GetWindowRect(impl_->hwnd, &r)) {
    x = r.left;
    y = r.top;
  }
}

void Window::setPosition(int x, int y) {
  if (impl_->hwnd) SetWindowPos(impl_->hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::setMinimumSize(int width, int height) {
  impl_->minW = width;
  impl_->minH = height;
}

void Window::show() {
  if (!impl_->hwnd) return;
  ShowWindow(impl_->hwnd, SW_SHOW);
  UpdateWindow(impl_->hwnd);
}

void Window::setTitle(const std::string& title) {
  if (impl_->hwnd) SetWindowTextW(impl_->hwnd, win::widen(title).c_str());
}

std::string Window::title() const {
  if (!impl_->hwnd) return "";
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(impl_->hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(impl_->hwnd, text.data(), static_cast<int>(text.size()))));
  return win::narrow(text);
}

void Window::minimize() {
  if (impl_->hwnd) ShowWindow(impl_->hwnd, SW_MINIMIZE);
}

void Window::maximize() {
  if (impl_->hwnd) ShowWindow(impl_->hwnd, SW_MAXIMIZE);
}

void Window::restore() {
  if (impl_->hwnd) ShowWindow(impl_->hwnd, SW_RESTORE);
}

bool Window::isMaximized() const { return impl_->hwnd && IsZoomed(impl_->hwnd); }

bool Window::isMinimized() const { return impl_->hwnd && IsIconic(impl_->hwnd); }

void Window::Impl::noteNormalPlacement() {
  RECT r;
  if (hwnd && !IsZoomed(hwnd) && !IsIconic(hwnd) && GetWindowRect(hwnd, &r)) normal = toRect(r);
}

Rect Window::normalPlacement() const {
  if (isMaximized() || isMinimized()) return impl_->normal;
  RECT r{};
  if (impl_->hwnd) GetWindowRect(impl_->hwnd, &r);
  return toRect(r);
}

void Window::setFullscreen(bool on) {
  if (!impl_->hwnd || !on) return;  // the owner puts the windowed rectangle back itself
  if (IsZoomed(impl_->hwnd)) ShowWindow(impl_->hwnd, SW_RESTORE);
  RECT m = monitorOf(impl_->hwnd).rcMonitor;
  SetWindowPos(impl_->hwnd, HWND_TOP, m.left, m.top, m.right - m.left, m.bottom - m.top, SWP_FRAMECHANGED);
}

void Window::setAlwaysOnTop(bool on) {
  if (impl_->hwnd)
    SetWindowPos(impl_->hwnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Window::setOpacity(float opacity) {
  if (!impl_->hwnd) return;
  DWORD ex = impl_->exStyle();
  if (opacity >= 1.0f) {
    if (ex & WS_EX_LAYERED) SetWindowLongPtrW(impl_->hwnd, GWL_EXSTYLE, ex & ~WS_EX_LAYERED);
    return;
  }
  if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(impl_->hwnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
  float a = opacity < 0 ? 0 : opacity;
  SetLayeredWindowAttributes(impl_->hwnd, 0, static_cast<BYTE>(a * 255), LWA_ALPHA);
}

void Window::showCursor(bool show) {
  if (impl_->cursorHidden == !show) return;
  impl_->cursorHidden = !show;
  SetCursor(show ? LoadCursorA(nullptr, IDC_ARROW) : nullptr);
}

void Window::raise() {
  if (!impl_->hwnd) return;
  if (IsIconic(impl_->hwnd)) ShowWindow(impl_->hwnd, SW_RESTORE);
  SetForegroundWindow(impl_->hwnd);
  BringWindowToTop(impl_->hwnd);
}

void Window::setScreenSaverAllowed(bool allowed) {
  impl_->screenSaverAllowed = allowed;
  SetThreadExecutionState(allowed ? ES_CONTINUOUS : ES_CONTINUOUS | ES_DISPLAY_REQUIRED);
}

bool Window::screenSaverAllowed() const { return impl_->screenSaverAllowed; }

Rect Window::displayBounds() const { return toRect(monitorOf(impl_->hwnd).rcMonitor); }

Rect Window::usableBounds() const { return toRect(monitorOf(impl_->hwnd).rcWork); }

void Window::clientToScreen(int& x, int& y) const {
  POINT p{x, y};
  if (impl_->hwnd) ClientToScreen(impl_->hwnd, &p);
  x = p.x;
  y = p.y;
}

float Window::dpiScale() const { return windowDpiScale(impl_->hwnd); }

void Window::startTextInput() {
  impl_->textInput = true;
  if (impl_->hwnd) ImmAssociateContextEx(impl_->hwnd, nullptr, IACE_DEFAULT);
}

void Window::stopTextInput() {
  impl_->textInput = false;
  // Without an input context the Hangul input method stays out of the shortcut keys.
  if (impl_->hwnd) ImmAssociateContextEx(impl_->hwnd, nullptr, 0);
}

bool Window::textInputActive() const { return impl_->textInput; }

void Window::setTextInputRect(int x, int y, int w, int h) {
  if (!impl_->hwnd) return;
  HIMC imc = ImmGetContext(impl_->hwnd);
  if (!imc) return;
  COMPOSITIONFORM cf{};
  cf.dwStyle = CFS_POINT;
  cf.ptCurrentPos = {x, y};
  ImmSetCompositionWindow(imc, &cf);
  CANDIDATEFORM cand{};
  cand.dwStyle = CFS_EXCLUDE;
  cand.ptCurrentPos = {x, y + h};
  cand.rcArea = {x, y, x + w, y + h};
  ImmSetCandidateWindow(imc, &cand);
  ImmReleaseContext(impl_->hwnd, imc);
}

void Window::grabMediaKeys() {
  if (!impl_->hwnd || impl_->hotKeys) return;
  // A key another program holds fails and is ignored: it still arrives as a key while we have the focus.
  for (int i = 0; i < 4; ++i) RegisterHotKey(impl_->hwnd, kFirstHotKey + i, 0, kMediaKeys[i]);
  impl_->hotKeys = true;
}

bool Window::postUserEvent(int code) {
  UserQueue& q = userQueue();
  {
    std::lock_guard<std::mutex> lock(q.lock);
    q.codes.push_back(code);
  }
  SetEvent(q.wake);
  return true;
}

std::string Window::clipboardText() {
  if (!OpenClipboard(nullptr)) return "";
  std::string out;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
      out = win::narrow(text);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return out;
}

bool Window::setClipboardText(const std::string& text) {
  std::wstring wide = win::widen(text);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
  if (!memory) return false;
  auto* dest = static_cast<wchar_t*>(GlobalLock(memory));
  std::copy(wide.c_str(), wide.c_str() + wide.size() + 1, dest);
  GlobalUnlock(memory);
  // SetClipboardData refuses the data after EmptyClipboard without an owner window.
  static HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  bool ok = false;
  for (int attempt = 0; attempt < 5 && !ok; ++attempt) {
    if (OpenClipboard(owner)) {
      ok = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
      CloseClipboard();
    } else {
      Sleep(10);  // another program has it open for a moment
    }
  }
  if (!ok) GlobalFree(memory);
  return ok;
}

NativeWindow* Window::handle() const { return nativeWindow(impl_->hwnd); }

void Window::setModalTick(std::function<bool()> tick) {
  impl_->modalTick = std::move(tick);
  if (impl_->hwnd) SetPropW(impl_->hwnd, kModalTickProp, &impl_->modalTick);
}

bool Window::waitEvent(WindowEvent& out, int timeoutMs) {
  // Not GetTickCount64: it moves in 15.6 ms steps whatever the timer resolution, and a wait
  // measured with it would end on that step.
  const uint32_t start = tickCount();
  const uint32_t wait = static_cast<uint32_t>(timeoutMs < 0 ? 0 : timeoutMs);
  UserQueue& q = userQueue();
  for (;;) {
    if (quitSignalled(out)) return true;
    if (!impl_->events.empty()) {
      out = std::move(impl_->events.front());
      impl_->events.pop_front();
      return true;
    }
    {
      std::lock_guard<std::mutex> lock(q.lock);
      if (!q.codes.empty()) {
        out = WindowEvent{};
        out.type = WindowEvent::User;
        out.code = q.codes.front();
        q.codes.pop_front();
        return true;
      }
    }
    MSG msg;
    bool handled = false;
    while (impl_->events.empty() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      handled = true;
      if (msg.message == WM_QUIT) {
        out = WindowEvent{};
        out.type = WindowEvent::Quit;
        return true;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (handled) continue;
    uint32_t waited = tickCount() - start;
    if (waited >= wait) return false;
    MsgWaitForMultipleObjectsEx(1, &q.wake, wait - waited, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace vell
