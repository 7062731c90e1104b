// Modal windows on Win32: the window, its messages, and disabling the owner while it runs.
#include "platform/ModalWindow.h"

#include <windows.h>

#include <cmath>

#include "platform/VirtualKeys.h"
#include "platform/win32/WinText.h"
#include "platform/win32/WinWindow.h"

namespace vell {

namespace {

constexpr const wchar_t* kClassName = L"VellModalWindow";

// The keys a modal window acts on.
int modalKey(WPARAM key) {
  switch (key) {
    case VK_RETURN: return vk::Return;
    case VK_ESCAPE: return vk::Escape;
    case VK_TAB: return vk::Tab;
    case VK_SPACE: return vk::Space;
    case VK_LEFT: return vk::Left;
    case VK_RIGHT: return vk::Right;
    case VK_UP: return vk::Up;
    case VK_DOWN: return vk::Down;
    default: return 0;
  }
}

}  // namespace

struct ModalWindow::Impl {
  ModalWindow* self = nullptr;
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  bool ownerWasEnabled = false;
  bool hand = false;
  bool tracking = false;

  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
  void input(ModalInput in) {
    if (self->onInput && hwnd) self->onInput(in);
  }
  int units(int pixels) const { return static_cast<int>(std::floor(pixels / self->scale_)); }
};

ModalWindow::ModalWindow() : impl_(std::make_unique<Impl>()) { impl_->self = this; }

ModalWindow::~ModalWindow() { close(); }

bool ModalWindow::isOpen() const { return impl_->hwnd != nullptr; }

bool ModalWindow::create(NativeWindow* ownerHandle, const std::string& title, int width, int height, bool toolWindow) {
  close();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  static bool registered = [instance] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Impl::proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
  }();
  if (!registered) return false;
  HWND owner = hwndOf(ownerHandle);
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  DWORD ex = toolWindow ? WS_EX_TOOLWINDOW : WS_EX_DLGMODALFRAME;
  scale_ = windowDpiScale(owner);
  RECT r{0, 0, pixels(width), pixels(height)};
  AdjustWindowRectEx(&r, style, FALSE, ex);
  int w = r.right - r.left, h = r.bottom - r.top;
  RECT around{};
  if (!owner || !GetWindowRect(owner, &around) || IsIconic(owner)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  int x = centred(around.left, around.right - around.left, w);
  int y = centred(around.top, around.bottom - around.top, h);
  impl_->hwnd = CreateWindowExW(ex, kClassName, win::widen(title).c_str(), style, x, y, w, h, owner, nullptr, instance,
                                impl_.get());
  if (!impl_->hwnd) return false;
  impl_->owner = owner;
  width_ = width;
  height_ = height;
  closing_ = false;
  dirty_ = true;
  // Modal as the system's own boxes are: the owner takes no input meanwhile.
  impl_->ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (impl_->ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(impl_->hwnd, SW_SHOW);
  SetForegroundWindow(impl_->hwnd);
  SetFocus(impl_->hwnd);
  return true;
}

void ModalWindow::close() {
  closing_ = true;
  HWND hwnd = impl_->hwnd;
  if (!hwnd) return;
  impl_->hwnd = nullptr;
  // Enabled again before the box goes, so the system hands the activation back to the owner.
  if (impl_->ownerWasEnabled) EnableWindow(impl_->owner, TRUE);
  impl_->ownerWasEnabled = false;
  DestroyWindow(hwnd);
  if (impl_->owner) SetForegroundWindow(impl_->owner);
}

void ModalWindow::setHandCursor(bool hand) {
  if (impl_->hand == hand) return;
  impl_->hand = hand;
  if (impl_->hwnd) SetCursor(LoadCursorA(nullptr, hand ? IDC_HAND : IDC_ARROW));
}

void ModalWindow::present() {
  const int pw = canvas_.width(), ph = canvas_.height();
  // The canvas is opaque where the box draws: its BGRA rows go to the window as they are.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = canvas_.stride() / 4;
  info.bmiHeader.biHeight = -ph;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  if (HDC dc = GetDC(impl_->hwnd)) {
    SetDIBitsToDevice(dc, 0, 0, pw, ph, 0, 0, 0, ph, canvas_.pixels(), &info, DIB_RGB_COLORS);
    ReleaseDC(impl_->hwnd, dc);
  }
}

LRESULT CALLBACK ModalWindow::Impl::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* impl = static_cast<Impl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    impl->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
  }
  auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  if (!impl || impl->hwnd != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
  return impl->handle(msg, wp, lp);
}

LRESULT ModalWindow::Impl::handle(UINT msg, WPARAM wp, LPARAM lp) {
  auto mouse = [&](ModalInput::Type type) {
    ModalInput in;
    in.type = type;
    in.x = units(static_cast<short>(LOWORD(lp)));
    in.y = units(static_cast<short>(HIWORD(lp)));
    input(in);
  };
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      self->paint();
      return 0;
    }
    case WM_CLOSE:
      self->requestClose();
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) != HTCLIENT) break;
      SetCursor(LoadCursorA(nullptr, hand ? IDC_HAND : IDC_ARROW));
      return TRUE;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (int key = modalKey(wp)) {
        ModalInput in{ModalInput::Key};
        in.key = key;
        in.shift = GetKeyState(VK_SHIFT) < 0;
        input(in);
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      if (!tracking) {
        TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, hwnd, 0};
        tracking = TrackMouseEvent(&t) != 0;
      }
      mouse(ModalInput::MouseMove);
      return 0;
    case WM_MOUSELEAVE:
      tracking = false;
      input(ModalInput{ModalInput::MouseLeave});
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(hwnd);
      mouse(ModalInput::MouseDown);
      return 0;
    case WM_LBUTTONUP:
      ReleaseCapture();
      mouse(ModalInput::MouseUp);
      return 0;
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

std::function<bool(int)>* ModalWindow::ownerLoop() const { return modalLoopOf(impl_->owner); }

// The owner's events wait in its window meanwhile: nothing to set up.
void ModalWindow::runStarts() {}

bool ModalWindow::readQueue() {
  MSG msg;
  bool got = false;
  while (impl_->hwnd && !closing_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    got = true;
    if (msg.message == WM_QUIT) {
      giveWay();  // a quit always ends the box
      return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (!got) MsgWaitForMultipleObjectsEx(0, nullptr, 16, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  return false;
}

void ModalWindow::runEnds(bool quit) {
  close();
  if (quit) PostQuitMessage(0);
}

}  // namespace vell
