// The Win32 window's messages: each group turned into the program's window events.
#include <windows.h>
#include <imm.h>
#include <shellapi.h>

#include <cstdlib>
#include <optional>

#include "platform/win32/WinText.h"
#include "platform/win32/WinWindow.h"
#include "platform/win32/WindowImpl.h"

namespace vell {

namespace {

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

}  // namespace

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

void Window::Impl::pushSimple(WindowEvent::Type type) {
  WindowEvent e;
  e.type = type;
  push(std::move(e));
}

LRESULT Window::Impl::handle(UINT msg, WPARAM wp, LPARAM lp) {
  static const UINT taskbarButtonCreated = RegisterWindowMessageW(L"TaskbarButtonCreated");
  if (msg == taskbarButtonCreated && msg != 0) {
    if (taskbarHooks().buttonCreated) taskbarHooks().buttonCreated();
    return 0;
  }
  std::optional<LRESULT> result = windowMessage(msg, wp, lp);
  if (!result) result = mouseMessage(msg, wp, lp);
  if (!result) result = keyMessage(msg, wp, lp);
  if (!result) result = shellMessage(msg, wp, lp);
  return result ? *result : DefWindowProcW(hwnd, msg, wp, lp);
}

// The frame, size, placement, painting, focus and the end of the session.
std::optional<LRESULT> Window::Impl::windowMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
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
      pushSimple(WindowEvent::Exposed);
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      pushSimple(msg == WM_SETFOCUS ? WindowEvent::FocusGained : WindowEvent::FocusLost);
      return 0;
    case WM_CLOSE:
      pushSimple(WindowEvent::Quit);  // the program's own close path destroys the window
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // another program may still cancel the end: nothing changes before WM_ENDSESSION
    case WM_ENDSESSION:
      if (wp) endSession();
      return 0;
    default: break;
  }
  return std::nullopt;
}

// The pointer: moves, buttons (the caption's too), the wheel.
std::optional<LRESULT> Window::Impl::mouseMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
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
      pushSimple(WindowEvent::MouseLeave);
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
    default: break;
  }
  return std::nullopt;
}

// Keys, typed characters and the input method's composition.
std::optional<LRESULT> Window::Impl::keyMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
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
    default: break;
  }
  return std::nullopt;
}

// What the shell sends: dropped files, the media hot keys, task bar buttons.
std::optional<LRESULT> Window::Impl::shellMessage(UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) == 0x1800 && taskbarHooks().clicked) {  // THBN_CLICKED: a thumbnail toolbar button
        taskbarHooks().clicked(LOWORD(wp));
        return 0;
      }
      break;
    case WM_DROPFILES: {
      HDROP drop = reinterpret_cast<HDROP>(wp);
      UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      if (count > 0) {
        pushSimple(WindowEvent::DropBegin);
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
  return std::nullopt;
}

}  // namespace vell
