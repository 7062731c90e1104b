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

namespace vell {

namespace {

constexpr const wchar_t* kClassName = L"VellPlayerWindow";
constexpr int kFirstHotKey = 100;
const int kMediaKeys[] = {vk::MediaPlayPause, vk::MediaNextTrack, vk::MediaPrevTrack, vk::MediaStop};
// Not in every SDK's headers.
constexpr DWORD kDarkModeAttribute = 20;     // DWMWA_USE_IMMERSIVE_DARK_MODE
constexpr DWORD kCornerAttribute = 33;       // DWMWA_WINDOW_CORNER_PREFERENCE
constexpr DWORD kDoNotRound = 1;             // DWMWCP_DONOTROUND

// User events: any thread queues them here; the window thread's wait wakes on the event.
struct UserQueue {
  std::mutex lock;
  std::deque<std::pair<int, void*>> items;
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

LRESULT toNonClient(HitCode code) {
  switch (code) {
    case HitCode::Caption: return HTCAPTION;
    case HitCode::Left: return HTLEFT;
    case HitCode::Right: return HTRIGHT;
    case HitCode::Top: return HTTOP;
    case HitCode::Bottom: return HTBOTTOM;
    case HitCode::TopLeft: return HTTOPLEFT;
    case HitCode::TopRight: return HTTOPRIGHT;
    case HitCode::BottomLeft: return HTBOTTOMLEFT;
    case HitCode::BottomRight: return HTBOTTOMRIGHT;
    default: return HTCLIENT;
  }
}

// Keys the key table never sees on its own (the SDL backend drops them too).
bool isModifierKey(WPARAM key) {
  switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_PROCESSKEY:
    case VK_KANA:  // also the Hangul key
    case VK_HANJA: return true;
    default: return false;
  }
}

MONITORINFO monitorOf(HWND hwnd) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  HMONITOR m = hwnd ? MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST) : MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
  if (!GetMonitorInfoW(m, &info)) {
    info.rcMonitor = info.rcWork = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return info;
}

Rect toRect(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

// What a maximised borderless window covers: the work area, less one pixel on each edge where
// an auto-hiding taskbar waits (it takes no room of the work area), or the pointer could never
// bring that taskbar up.
RECT maximizedArea(const MONITORINFO& m) {
  RECT area = m.rcWork;
  APPBARDATA state{};
  state.cbSize = sizeof state;
  if (!(SHAppBarMessage(ABM_GETSTATE, &state) & ABS_AUTOHIDE)) return area;
  for (UINT edge : {ABE_LEFT, ABE_TOP, ABE_RIGHT, ABE_BOTTOM}) {
    APPBARDATA bar{};
    bar.cbSize = sizeof bar;
    bar.uEdge = edge;
    bar.rc = m.rcMonitor;
    if (!SHAppBarMessage(ABM_GETAUTOHIDEBAREX, &bar)) continue;  // no auto-hiding bar on this edge
    if (edge == ABE_LEFT && area.left == m.rcMonitor.left) area.left += 1;
    if (edge == ABE_TOP && area.top == m.rcMonitor.top) area.top += 1;
    if (edge == ABE_RIGHT && area.right == m.rcMonitor.right) area.right -= 1;
    if (edge == ABE_BOTTOM && area.bottom == m.rcMonitor.bottom) area.bottom -= 1;
  }
  return area;
}

HWND mainWindow = nullptr;

}  // namespace

HWND programWindow() { return mainWindow; }

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

struct Window::Impl {
  HWND hwnd = nullptr;
  bool framed = false;  // the system's own frame and caption (not borderless)
  std::function<HitCode(int, int)> hitTester;
  std::function<bool(int)> modalLoop;
  std::function<bool()> modalTick;
  std::deque<WindowEvent> events;
  void* userData = nullptr;
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
  void push(WindowEvent e);
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

void installQuitHandling() { installQuitSignals(); }

Window::Window() : impl_(std::make_unique<Impl>()) {}

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
  SetPropW(hwnd, kModalLoopProp, &impl_->modalLoop);
  SetPropW(hwnd, kModalTickProp, &impl_->modalTick);
  mainWindow = hwnd;
  stopTextInput();
  setScreenSaverAllowed(false);
  impl_->noteNormalPlacement();
  if (!options.hidden) show();
  return true;
}

void Window::destroy() {
  HWND hwnd = impl_->hwnd;
  if (!hwnd) return;
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
  impl_->hitTester = nullptr;
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

bool Window::setHitTester(std::function<HitCode(int, int)> tester) {
  if (!impl_->hwnd) return false;
  impl_->hitTester = std::move(tester);
  return true;
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

bool Window::postUserEvent(int code, void* data) {
  UserQueue& q = userQueue();
  {
    std::lock_guard<std::mutex> lock(q.lock);
    q.items.emplace_back(code, data);
  }
  SetEvent(q.wake);
  return true;
}

void* Window::takeUserData() { return std::exchange(impl_->userData, nullptr); }

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

void Window::setModalLoop(std::function<bool(int)> loop) {
  impl_->modalLoop = std::move(loop);
  if (impl_->hwnd) SetPropW(impl_->hwnd, kModalLoopProp, &impl_->modalLoop);
}

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
    if (takeQuitSignal()) {
      out = WindowEvent{};
      out.type = WindowEvent::Quit;
      return true;
    }
    if (!impl_->events.empty()) {
      out = std::move(impl_->events.front());
      impl_->events.pop_front();
      return true;
    }
    {
      std::lock_guard<std::mutex> lock(q.lock);
      if (!q.items.empty()) {
        out = WindowEvent{};
        out.type = WindowEvent::User;
        out.code = q.items.front().first;
        impl_->userData = q.items.front().second;
        q.items.pop_front();
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

void Window::Impl::push(WindowEvent e) {
  // A burst of repaint or size requests is one event to the program.
  if (!events.empty() && events.back().type == e.type &&
      (e.type == WindowEvent::Exposed || e.type == WindowEvent::Resized || e.type == WindowEvent::MouseMove)) {
    events.back() = std::move(e);
    return;
  }
  events.push_back(std::move(e));
}

void Window::Impl::pushMouse(WindowEvent::Type type, int x, int y, int button, int clicks) {
  WindowEvent e;
  e.type = type;
  e.x = x;
  e.y = y;
  e.button = button;
  e.clicks = clicks;
  push(std::move(e));
}

void Window::Impl::trackLeave(bool nonClient) {
  if (tracking) return;
  TRACKMOUSEEVENT t{};
  t.cbSize = sizeof t;
  t.dwFlags = TME_LEAVE | (nonClient ? TME_NONCLIENT : 0);
  t.hwndTrack = hwnd;
  tracking = TrackMouseEvent(&t) != 0;
}

POINT Window::Impl::clientPoint(LPARAM lp) const {
  POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  ScreenToClient(hwnd, &p);
  return p;
}

void Window::Impl::captionClick(POINT p, bool twice) {
  WindowEvent e;
  e.type = WindowEvent::CaptionClick;
  e.x = p.x;
  e.y = p.y;
  e.clicks = twice ? 2 : 1;
  push(std::move(e));
  lastCaptionTick = twice ? 0 : GetMessageTime();
  lastCaption = p;
}

void Window::Impl::endSession() {
  // The process may be ended as soon as WM_ENDSESSION returns: the program's close path (its
  // saves) runs through its loop here first, for a few seconds at most. A menu open
  // meanwhile gives way; a message box does once the loop has ended (modalTick).
  WindowEvent quit;
  quit.type = WindowEvent::Quit;
  push(std::move(quit));
  if (modalLoop) {
    std::function<bool(int)> loop = modalLoop;
    for (ULONGLONG until = GetTickCount64() + 5000; GetTickCount64() < until && loop(16);) {
    }
  }
  EndMenu();
}

void Window::Impl::composition(LPARAM lp) {
  HIMC imc = ImmGetContext(hwnd);
  if (!imc) return;
  auto read = [imc](DWORD kind) {
    LONG bytes = ImmGetCompositionStringW(imc, kind, nullptr, 0);
    std::wstring text(bytes > 0 ? static_cast<size_t>(bytes) / sizeof(wchar_t) : 0, L'\0');
    if (bytes > 0) ImmGetCompositionStringW(imc, kind, text.data(), static_cast<DWORD>(bytes));
    return win::narrow(text);
  };
  if (lp & GCS_RESULTSTR) {
    WindowEvent e;
    e.type = WindowEvent::TextInput;
    e.text = read(GCS_RESULTSTR);
    if (!e.text.empty()) push(std::move(e));
  }
  if (lp & GCS_COMPSTR) {
    WindowEvent e;
    e.type = WindowEvent::TextEditing;
    e.text = read(GCS_COMPSTR);
    push(std::move(e));
  }
  ImmReleaseContext(hwnd, imc);
}

LRESULT CALLBACK Window::Impl::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Impl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || self->hwnd != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->handle(msg, wp, lp);
}

LRESULT Window::Impl::handle(UINT msg, WPARAM wp, LPARAM lp) {
  auto simple = [this](WindowEvent::Type type) {
    WindowEvent e;
    e.type = type;
    push(std::move(e));
  };
  static const UINT taskbarButtonCreated = RegisterWindowMessageW(L"TaskbarButtonCreated");
  if (msg == taskbarButtonCreated && msg != 0) {
    if (taskbarHooks().buttonCreated) taskbarHooks().buttonCreated();
    return 0;
  }
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == 0x1800 && taskbarHooks().clicked) {  // THBN_CLICKED: a thumbnail toolbar button
        taskbarHooks().clicked(LOWORD(wp));
        return 0;
      }
      break;
    case WM_NCCALCSIZE:
      // The whole window is client area: the program draws its own caption and borders.
      if (!framed) {
        if (wp && IsZoomed(hwnd)) {
          // A maximised window reaches past the display by its frame: keep to the work area.
          auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lp);
          MONITORINFO m{};
          m.cbSize = sizeof m;
          if (GetMonitorInfoW(MonitorFromRect(&params->rgrc[0], MONITOR_DEFAULTTONEAREST), &m))
            params->rgrc[0] = maximizedArea(m);
        }
        return 0;
      }
      break;
    case WM_NCACTIVATE:
      if (!framed) return DefWindowProcW(hwnd, msg, wp, -1);  // no frame to repaint
      break;
    case WM_NCHITTEST: {
      if (framed || !hitTester) break;
      POINT p = clientPoint(lp);
      return toNonClient(hitTester(p.x, p.y));
    }
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      if (minW > 0) info->ptMinTrackSize.x = minW;
      if (minH > 0) info->ptMinTrackSize.y = minH;
      if (!framed) {
        MONITORINFO m = monitorOf(hwnd);
        RECT area = maximizedArea(m);
        info->ptMaxPosition = {area.left - m.rcMonitor.left, area.top - m.rcMonitor.top};
        info->ptMaxSize = {area.right - area.left, area.bottom - area.top};
      }
      return 0;
    }
    case WM_DPICHANGED: {
      const RECT* r = reinterpret_cast<const RECT*>(lp);
      SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      // The scale changed even where the size did not: the program lays itself out again.
      RECT client;
      if (GetClientRect(hwnd, &client) && client.right > 0 && client.bottom > 0) {
        WindowEvent e;
        e.type = WindowEvent::Resized;
        e.x = client.right;
        e.y = client.bottom;
        push(std::move(e));
      }
      return 0;
    }
    case WM_SIZE:
      if (wp != SIZE_MINIMIZED) {
        WindowEvent e;
        e.type = WindowEvent::Resized;
        e.x = LOWORD(lp);
        e.y = HIWORD(lp);
        push(std::move(e));
      }
      noteNormalPlacement();
      return 0;
    case WM_MOVE:
      noteNormalPlacement();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the program paints every pixel
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      simple(WindowEvent::Exposed);
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      simple(msg == WM_SETFOCUS ? WindowEvent::FocusGained : WindowEvent::FocusLost);
      return 0;
    case WM_CLOSE:
      simple(WindowEvent::Quit);  // the program's own close path destroys the window
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // another program may still cancel the end: nothing changes before WM_ENDSESSION
    case WM_ENDSESSION:
      if (wp) endSession();
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT && cursorHidden) {
        SetCursor(nullptr);
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (captionPress) {
        POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ClientToScreen(hwnd, &p);
        if (!(wp & MK_LBUTTON)) {
          endCaptionPress();
        } else if (std::abs(p.x - pressPoint.x) > GetSystemMetrics(SM_CXDRAG) ||
                   std::abs(p.y - pressPoint.y) > GetSystemMetrics(SM_CYDRAG)) {
          endCaptionPress();
          SendMessageW(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);  // the system's move, as from a caption
        }
        return 0;
      }
      trackLeave(false);
      pushMouse(WindowEvent::MouseMove, static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)), 0, 0);
      return 0;
    case WM_NCMOUSEMOVE:
      if (wp == HTCAPTION) {
        trackLeave(true);
        POINT p = clientPoint(lp);
        pushMouse(WindowEvent::MouseMove, p.x, p.y, 0, 0);
      }
      break;
    case WM_MOUSELEAVE:
    case WM_NCMOUSELEAVE:
      tracking = false;
      simple(WindowEvent::MouseLeave);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: {
      int button = msg <= WM_LBUTTONDBLCLK ? 1 : msg <= WM_RBUTTONDBLCLK ? 3 : 2;
      bool twice = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
      if (captionPress && button == 1) {  // the second click of a double click on the caption
        endCaptionPress();
        captionClick({static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))}, true);
        return 0;
      }
      SetCapture(hwnd);  // the release comes here even outside the window (drags of the seek bar)
      pushMouse(WindowEvent::MouseDown, static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)), button,
                twice ? 2 : 1);
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      int button = msg == WM_LBUTTONUP ? 1 : msg == WM_RBUTTONUP ? 3 : 2;
      if (button == 1) endCaptionPress();
      if (!(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) ReleaseCapture();
      pushMouse(WindowEvent::MouseUp, static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)), button, 1);
      return 0;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (wp == HTCAPTION) {
        // Nothing moves until the pointer does (WM_MOUSEMOVE): a click, and the second click of
        // a double click, stay the program's.
        POINT p = clientPoint(lp);
        DWORD now = GetMessageTime();
        bool twice = msg == WM_NCLBUTTONDBLCLK ||
                     (lastCaptionTick && now - lastCaptionTick <= GetDoubleClickTime() &&
                      std::abs(p.x - lastCaption.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
                      std::abs(p.y - lastCaption.y) <= GetSystemMetrics(SM_CYDOUBLECLK));
        captionClick(p, twice);
        if (!twice) {
          captionPress = true;
          pressPoint = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
          SetCapture(hwnd);
        }
        return 0;
      }
      break;  // a border: the system sizes the window
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
      if (wp == HTCAPTION) {  // the program's menu, not the system menu
        POINT p = clientPoint(lp);
        pushMouse(msg == WM_NCRBUTTONDOWN ? WindowEvent::MouseDown : WindowEvent::MouseUp, p.x, p.y, 3, 1);
        return 0;
      }
      break;
    case WM_CONTEXTMENU:
      return 0;
    case WM_CAPTURECHANGED:
      captionPress = false;
      break;
    case WM_MOUSEWHEEL: {
      // A touchpad sends many small parts of a notch: they count once they add up to one.
      int delta = static_cast<short>(HIWORD(wp));
      if ((delta > 0 && wheelRest < 0) || (delta < 0 && wheelRest > 0)) wheelRest = 0;  // turned back
      wheelRest += delta;
      while (wheelRest >= WHEEL_DELTA || wheelRest <= -WHEEL_DELTA) {
        WindowEvent e;
        e.type = WindowEvent::MouseWheel;
        e.wheel = wheelRest > 0 ? 1 : -1;
        wheelRest -= e.wheel * WHEEL_DELTA;
        push(std::move(e));
      }
      return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      keyTypes = textInput;
      if (msg == WM_SYSKEYDOWN && wp == VK_F4) break;  // Alt+F4 closes, through WM_CLOSE
      if (isModifierKey(wp)) break;
      WindowEvent e;
      e.type = WindowEvent::KeyDown;
      e.key = static_cast<int>(wp);
      e.ctrl = GetKeyState(VK_CONTROL) < 0;
      e.shift = GetKeyState(VK_SHIFT) < 0;
      e.alt = (lp & (1 << 29)) != 0;
      e.repeat = (lp & (1 << 30)) != 0;
      push(std::move(e));
      return 0;
    }
    case WM_SYSCHAR:
      // Alt with a key was handed on as that key: the system would look for a menu of its
      // letter, find none and beep.
      return 0;
    case WM_SYSKEYUP:
      // Alt (or F10) let go would put the keyboard in the menu bar the window does not have,
      // where the next letter beeps. Alt+F4 closed on its way down already.
      return 0;
    case WM_KEYUP:
      if (wp == VK_MENU || wp == VK_F10) return 0;  // the same, once Alt went with another key
      break;
    case WM_CHAR: {
      wchar_t c = static_cast<wchar_t>(wp);
      if (c >= 0xD800 && c < 0xDC00) {
        highSurrogate = c;
        return 0;
      }
      // A key that opened a field (R: the browser and its search) is a command, not typing.
      if (!textInput || !keyTypes || c < 32 || c == 127) return 0;
      std::wstring text;
      if (c >= 0xDC00 && c < 0xE000 && highSurrogate) text += highSurrogate;
      highSurrogate = 0;
      text += c;
      WindowEvent e;
      e.type = WindowEvent::TextInput;
      e.text = win::narrow(text);
      push(std::move(e));
      return 0;
    }
    case WM_IME_SETCONTEXT:
      // The program draws the composition itself, inside its field.
      return DefWindowProcW(hwnd, msg, wp, lp & ~ISC_SHOWUICOMPOSITIONWINDOW);
    case WM_IME_STARTCOMPOSITION:
      if (textInput) return 0;
      break;
    case WM_IME_COMPOSITION:
      if (!textInput) break;
      composition(lp);
      return 0;
    case WM_IME_ENDCOMPOSITION:
      if (textInput) {
        WindowEvent e;
        e.type = WindowEvent::TextEditing;
        push(std::move(e));
        return 0;
      }
      break;
    case WM_DROPFILES: {
      HDROP drop = reinterpret_cast<HDROP>(wp);
      UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      if (count > 0) {
        simple(WindowEvent::DropBegin);
        for (UINT i = 0; i < count; ++i) {
          std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
          name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
          WindowEvent e;
          e.type = WindowEvent::DropFile;
          e.text = win::narrow(name);
          events.push_back(std::move(e));
        }
        POINT p{};
        DragQueryPoint(drop, &p);
        pushMouse(WindowEvent::DropComplete, p.x, p.y, 0, 0);
      }
      DragFinish(drop);
      return 0;
    }
    case WM_HOTKEY: {
      int id = static_cast<int>(wp) - kFirstHotKey;
      if (id < 0 || id >= 4) break;
      WindowEvent e;
      e.type = WindowEvent::HotKey;
      e.key = kMediaKeys[id];
      push(std::move(e));
      return 0;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace vell
