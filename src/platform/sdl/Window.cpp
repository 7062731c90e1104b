// The window on SDL: making it, its placement and state, its frame drags and waiting for its events.
#include "platform/Window.h"

#include <SDL.h>
#include <SDL_syswm.h>

#ifdef VELL_HAVE_X11
#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#endif

#include <cstdlib>

#include "platform/FrameDrag.h"
#include "platform/Log.h"
#include "platform/QuitSignal.h"
#include "platform/VirtualKeys.h"
#include "platform/sdl/SdlWindow.h"

namespace vell {

namespace {

Uint32 userEventType() {
  static Uint32 type = [] {
    Uint32 t = SDL_RegisterEvents(1);
    return t == static_cast<Uint32>(-1) ? static_cast<Uint32>(SDL_USEREVENT) : t;
  }();
  return type;
}

int virtualKey(const SDL_Keysym& key) {
  SDL_Scancode sc = key.scancode;
  // Letters, digits and punctuation by their place on the keyboard, as the Korean and US
  // layouts share them, whatever the input method is doing.
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return vk::F1 + (sc - SDL_SCANCODE_F1);
  switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_BACKSPACE: return vk::Back;
    case SDL_SCANCODE_TAB: return vk::Tab;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return vk::Return;
    case SDL_SCANCODE_ESCAPE: return vk::Escape;
    case SDL_SCANCODE_SPACE: return vk::Space;
    case SDL_SCANCODE_PAGEUP: return vk::Prior;
    case SDL_SCANCODE_PAGEDOWN: return vk::Next;
    case SDL_SCANCODE_END: return vk::End;
    case SDL_SCANCODE_HOME: return vk::Home;
    case SDL_SCANCODE_LEFT: return vk::Left;
    case SDL_SCANCODE_UP: return vk::Up;
    case SDL_SCANCODE_RIGHT: return vk::Right;
    case SDL_SCANCODE_DOWN: return vk::Down;
    case SDL_SCANCODE_DELETE: return vk::Delete;
    case SDL_SCANCODE_SEMICOLON: return vk::Oem1;
    case SDL_SCANCODE_EQUALS: return vk::OemPlus;
    case SDL_SCANCODE_COMMA: return vk::OemComma;
    case SDL_SCANCODE_MINUS: return vk::OemMinus;
    case SDL_SCANCODE_PERIOD: return vk::OemPeriod;
    case SDL_SCANCODE_SLASH: return vk::Oem2;
    case SDL_SCANCODE_GRAVE: return vk::Oem3;
    case SDL_SCANCODE_LEFTBRACKET: return vk::Oem4;
    case SDL_SCANCODE_BACKSLASH: return vk::Oem5;
    case SDL_SCANCODE_RIGHTBRACKET: return vk::Oem6;
    case SDL_SCANCODE_APOSTROPHE: return vk::Oem7;
    case SDL_SCANCODE_AUDIOPLAY: return vk::MediaPlayPause;
    case SDL_SCANCODE_AUDIONEXT: return vk::MediaNextTrack;
    case SDL_SCANCODE_AUDIOPREV: return vk::MediaPrevTrack;
    case SDL_SCANCODE_AUDIOSTOP: return vk::MediaStop;
    default: break;
  }
  switch (key.sym) {
    case SDLK_AUDIOPLAY: return vk::MediaPlayPause;
    case SDLK_AUDIONEXT: return vk::MediaNextTrack;
    case SDLK_AUDIOPREV: return vk::MediaPrevTrack;
    case SDLK_AUDIOSTOP: return vk::MediaStop;
    default: return 0;
  }
}

bool nextEvent(SDL_Event& e, int timeoutMs) {
  if (!modalEventFilter()) return SDL_WaitEventTimeout(&e, timeoutMs) != 0;
  // While a modal window is up SDL's wait would wake itself through that window, its newest,
  // and a wake-up sent just as the window closes ends the process (BadWindow): polled then.
  for (Uint32 start = SDL_GetTicks();; SDL_Delay(4)) {
    if (SDL_PollEvent(&e)) return true;
    if (SDL_GetTicks() - start >= static_cast<Uint32>(timeoutMs)) return false;
  }
}

#ifdef VELL_HAVE_X11
struct MediaKey {
  KeySym sym;
  int vk;
};
const MediaKey kMediaKeys[] = {{XF86XK_AudioPlay, vk::MediaPlayPause},
                               {XF86XK_AudioNext, vk::MediaNextTrack},
                               {XF86XK_AudioPrev, vk::MediaPrevTrack},
                               {XF86XK_AudioStop, vk::MediaStop}};
int ignoreXError(Display*, XErrorEvent*) { return 0; }
#endif

}  // namespace

struct Window::Impl {
  SDL_Window* window = nullptr;
  bool videoInitialized = false;
  void* mediaKeyDisplay = nullptr;  // the X display the media keys were grabbed on
  Rect normal;
  bool normalKnown = false;
  void noteNormalPlacement();  // while neither maximised, minimised nor full screen

  // With a hit tester the caption and the borders move and size the window here, once the
  // pointer moves (not SDL's hit test: its window-manager moves start at the press); the
  // pointer shows the border's resize shape.
  FrameDrag frameDrag;
  SDL_Cursor* frameCursors[SDL_NUM_SYSTEM_CURSORS] = {};
  int cursorShape = -1;
  // Notches of one wheel event not handed on yet (SDL adds a touchpad's small movements up to
  // whole notches itself; a fast turn can bring several at once).
  int wheelNotches = 0;

  void position(int& x, int& y) const;
  void size(int& width, int& height) const;
  bool followFrameDrag(bool buttonHeld);  // true while a drag is armed
  void setFrameCursor(HitCode code);
  void pointerOnScreen(int& x, int& y) const;
};

void installQuitHandling() {
  // SIGINT and SIGTERM are ours (QuitSignal): SDL's handlers would only queue a quit event
  // that nobody reads outside the loop. A closed last window is a quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "1");
  installQuitSignals();
}

Window::Window() : impl_(std::make_unique<Impl>()) {}

Window::~Window() { destroy(); }

bool Window::create(const std::string& title, int width, int height, const WindowOptions& options) {
  destroy();
  installSdlMemory();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    debugLog("SDL video init failed: %s", SDL_GetError());
    return false;
  }
  impl_->videoInitialized = true;
  Uint32 flags = options.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  if (options.borderless) flags |= SDL_WINDOW_BORDERLESS;
  if (options.resizable) flags |= SDL_WINDOW_RESIZABLE;
  int x = options.x < 0 ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : options.x;
  int y = options.y < 0 ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : options.y;
  impl_->window = SDL_CreateWindow(title.c_str(), x, y, width, height, flags);
  impl_->normalKnown = false;
  if (!impl_->window) {
    debugLog("Window creation failed: %s", SDL_GetError());
    destroy();
    return false;
  }
  userEventType();
  SDL_SetWindowData(impl_->window, kModalLoopKey, &modalLoop_);
  SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
  SDL_StopTextInput();
  openTasks();
  return true;
}

void Window::destroy() {
  closeTasks();
#ifdef VELL_HAVE_X11
  if (impl_->mediaKeyDisplay) {
    Display* display = static_cast<Display*>(impl_->mediaKeyDisplay);
    ::Window root = DefaultRootWindow(display);
    for (const auto& k : kMediaKeys) {
      KeyCode code = XKeysymToKeycode(display, k.sym);
      if (code) XUngrabKey(display, code, AnyModifier, root);
    }
    XFlush(display);
    impl_->mediaKeyDisplay = nullptr;
  }
#endif
  for (auto& cursor : impl_->frameCursors) {
    if (cursor) SDL_FreeCursor(cursor);
    cursor = nullptr;
  }
  impl_->cursorShape = -1;
  impl_->frameDrag.release();
  hitTester_ = nullptr;
  if (impl_->window) SDL_DestroyWindow(impl_->window);
  impl_->window = nullptr;
  if (impl_->videoInitialized) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  impl_->videoInitialized = false;
}

void Window::Impl::size(int& width, int& height) const {
  width = height = 0;
  if (window) SDL_GetWindowSize(window, &width, &height);
}

void Window::size(int& width, int& height) const { impl_->size(width, height); }

void Window::setSize(int width, int height) {
  if (impl_->window && width > 0 && height > 0) SDL_SetWindowSize(impl_->window, width, height);
}

void Window::Impl::position(int& x, int& y) const {
  x = y = 0;
  if (!window) return;
#ifdef VELL_HAVE_X11
  // Asked of the X server: under a reparenting window manager SDL's own record can be off by
  // the frame's offset (measured under openbox: y 160 for a window at 80).
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
    Display* display = info.info.x11.display;
    ::Window child = 0;
    if (XTranslateCoordinates(display, info.info.x11.window, DefaultRootWindow(display), 0, 0, &x, &y, &child)) return;
  }
#endif
  SDL_GetWindowPosition(window, &x, &y);
}

void Window::position(int& x, int& y) const { impl_->position(x, y); }

void Window::setPosition(int x, int y) {
  if (impl_->window) SDL_SetWindowPosition(impl_->window, x, y);
}

void Window::setMinimumSize(int width, int height) {
  if (impl_->window) SDL_SetWindowMinimumSize(impl_->window, width, height);
}

void Window::show() {
  if (impl_->window) SDL_ShowWindow(impl_->window);
}

void Window::setTitle(const std::string& title) {
  if (impl_->window) SDL_SetWindowTitle(impl_->window, title.c_str());
}

std::string Window::title() const { return impl_->window ? SDL_GetWindowTitle(impl_->window) : ""; }

void Window::minimize() {
  if (impl_->window) SDL_MinimizeWindow(impl_->window);
}

void Window::maximize() {
  if (!impl_->window) return;
  impl_->noteNormalPlacement();
  SDL_MaximizeWindow(impl_->window);
}

void Window::Impl::noteNormalPlacement() {
  if (!window || (SDL_GetWindowFlags(window) & (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_MINIMIZED | SDL_WINDOW_FULLSCREEN)))
    return;
  position(normal.x, normal.y);
  size(normal.w, normal.h);
  normalKnown = true;
}

Rect Window::normalPlacement() const {
  if (impl_->normalKnown && (isMaximized() || isMinimized())) return impl_->normal;
  Rect r;
  impl_->position(r.x, r.y);
  impl_->size(r.w, r.h);
  return r;
}

void Window::restore() {
  if (impl_->window) SDL_RestoreWindow(impl_->window);
}

bool Window::isMaximized() const { return impl_->window && (SDL_GetWindowFlags(impl_->window) & SDL_WINDOW_MAXIMIZED); }

bool Window::isMinimized() const { return impl_->window && (SDL_GetWindowFlags(impl_->window) & SDL_WINDOW_MINIMIZED); }

void Window::setFullscreen(bool on) {
  if (!impl_->window) return;
  // Covering the display by position and size works with or without a window manager;
  // the owner remembers and restores the windowed rectangle.
  if (on) {
    Rect r = displayBounds();
    SDL_SetWindowPosition(impl_->window, r.x, r.y);
    SDL_SetWindowSize(impl_->window, r.w, r.h);
    SDL_RaiseWindow(impl_->window);
  }
}

void Window::setAlwaysOnTop(bool on) {
  if (impl_->window) SDL_SetWindowAlwaysOnTop(impl_->window, on ? SDL_TRUE : SDL_FALSE);
}

void Window::setOpacity(float opacity) {
  if (impl_->window) SDL_SetWindowOpacity(impl_->window, opacity);  // failure without a compositor is fine
}

void Window::showCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

Rect Window::displayBounds() const {
  SDL_Rect r{0, 0, 0, 0};
  int index = impl_->window ? SDL_GetWindowDisplayIndex(impl_->window) : 0;
  if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &r) != 0) return {};
  return {r.x, r.y, r.w, r.h};
}

Rect Window::usableBounds() const {
  SDL_Rect r{0, 0, 0, 0};
  int index = impl_->window ? SDL_GetWindowDisplayIndex(impl_->window) : 0;
  if (SDL_GetDisplayUsableBounds(index < 0 ? 0 : index, &r) != 0) return displayBounds();
  return {r.x, r.y, r.w, r.h};
}

void Window::clientToScreen(int& x, int& y) const {
  int wx = 0, wy = 0;
  position(wx, wy);
  x += wx;
  y += wy;
}

// SDL's sizes are the desktop's own units already.
float Window::dpiScale() const { return 1.0f; }

void Window::raise() {
  if (impl_->window) SDL_RaiseWindow(impl_->window);
}

void Window::setScreenSaverAllowed(bool allowed) {
  if (allowed)
    SDL_EnableScreenSaver();
  else
    SDL_DisableScreenSaver();
}

bool Window::screenSaverAllowed() const { return SDL_IsScreenSaverEnabled() == SDL_TRUE; }

void Window::startTextInput() { SDL_StartTextInput(); }

void Window::stopTextInput() { SDL_StopTextInput(); }

bool Window::textInputActive() const { return SDL_IsTextInputActive() == SDL_TRUE; }

void Window::setTextInputRect(int x, int y, int w, int h) {
  SDL_Rect r{x, y, w, h};
  SDL_SetTextInputRect(&r);
}

void Window::grabMediaKeys() {
#ifdef VELL_HAVE_X11
  if (!impl_->window || impl_->mediaKeyDisplay) return;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(impl_->window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  ::Window root = DefaultRootWindow(display);
  // Another program may hold a key already: that grab fails and is ignored.
  XErrorHandler old = XSetErrorHandler(ignoreXError);
  for (const auto& k : kMediaKeys) {
    KeyCode code = XKeysymToKeycode(display, k.sym);
    if (code) XGrabKey(display, code, AnyModifier, root, True, GrabModeAsync, GrabModeAsync);
  }
  XSync(display, False);
  XSetErrorHandler(old);
  impl_->mediaKeyDisplay = display;
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#endif
}

bool Window::postUserEvent(int code) {
  SDL_Event e{};
  e.type = userEventType();
  e.user.code = code;
  return SDL_PushEvent(&e) == 1;
}

std::string Window::clipboardText() {
  char* text = SDL_GetClipboardText();
  std::string out = text ? text : "";
  SDL_free(text);
  return out;
}

// The boxes here are the program's own modal windows, run through the owner's loop.
void Window::setModalTick(std::function<bool()>) {}

NativeWindow* Window::handle() const { return nativeWindow(impl_->window); }

bool Window::isOpen() const { return impl_->window != nullptr; }

bool Window::setClipboardText(const std::string& text) { return SDL_SetClipboardText(text.c_str()) == 0; }

void Window::Impl::pointerOnScreen(int& x, int& y) const {
#ifdef VELL_HAVE_X11
  // Asked of the X server: SDL's global state is refreshed only by some events and can lag.
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
    Display* display = info.info.x11.display;
    ::Window root = 0, child = 0;
    int wx = 0, wy = 0;
    unsigned int mask = 0;
    if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask)) return;
  }
#endif
  SDL_GetGlobalMouseState(&x, &y);
}

bool Window::Impl::followFrameDrag(bool buttonHeld) {
  if (!frameDrag.active()) return false;
  // On the screen: the pointer leaves the window while a border is dragged outwards.
  int gx = 0, gy = 0;
  pointerOnScreen(gx, gy);
  Rect r;
  if (frameDrag.follow(gx, gy, buttonHeld, r) && window) {
    int x = 0, y = 0, w = 0, h = 0;
    position(x, y);
    size(w, h);
    if (r.x != x || r.y != y) SDL_SetWindowPosition(window, r.x, r.y);
    if (r.w != w || r.h != h) SDL_SetWindowSize(window, r.w, r.h);
  }
  return frameDrag.active();
}

void Window::Impl::setFrameCursor(HitCode code) {
  SDL_SystemCursor shape = SDL_SYSTEM_CURSOR_ARROW;
  switch (code) {
    case HitCode::Left:
    case HitCode::Right: shape = SDL_SYSTEM_CURSOR_SIZEWE; break;
    case HitCode::Top:
    case HitCode::Bottom: shape = SDL_SYSTEM_CURSOR_SIZENS; break;
    case HitCode::TopLeft:
    case HitCode::BottomRight: shape = SDL_SYSTEM_CURSOR_SIZENWSE; break;
    case HitCode::TopRight:
    case HitCode::BottomLeft: shape = SDL_SYSTEM_CURSOR_SIZENESW; break;
    default: break;
  }
  if (static_cast<int>(shape) == cursorShape) return;
  auto& cursor = frameCursors[shape];
  if (!cursor) cursor = SDL_CreateSystemCursor(shape);
  if (cursor) SDL_SetCursor(cursor);
  cursorShape = shape;
}

bool Window::waitEvent(WindowEvent& out, int timeoutMs) {
  SDL_Event e;
  for (;;) {
    if (quitSignalled(out)) return true;
    if (impl_->wheelNotches != 0) {
      out = WindowEvent{};
      out.type = WindowEvent::MouseWheel;
      out.wheel = impl_->wheelNotches > 0 ? 1 : -1;
      impl_->wheelNotches -= out.wheel;
      return true;
    }
    if (impl_->frameDrag.active()) {
      // Motion outside the window does not come as events: follow the pointer meanwhile. The
      // release is left to its event, which comes after the motions before it.
      if (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) impl_->followFrameDrag(true);
      if (timeoutMs > 10) timeoutMs = 10;
    }
    if (!nextEvent(e, timeoutMs < 0 ? 0 : timeoutMs)) return quitSignalled(out);
    if (const ModalEventFilter& modal = modalEventFilter(); modal && modal(e)) {
      timeoutMs = 0;  // the modal window's, or input it blocks
      continue;
    }
    out = WindowEvent{};
    SDL_Keymod mod = SDL_GetModState();
    switch (e.type) {
      case SDL_QUIT:
        out.type = WindowEvent::Quit;
        return true;
      case SDL_WINDOWEVENT:
        if (e.window.windowID != SDL_GetWindowID(impl_->window)) break;  // a closed box's last events
        switch (e.window.event) {
          case SDL_WINDOWEVENT_SIZE_CHANGED:
            impl_->noteNormalPlacement();
            out.type = WindowEvent::Resized;
            out.x = e.window.data1;
            out.y = e.window.data2;
            return true;
          case SDL_WINDOWEVENT_EXPOSED: out.type = WindowEvent::Exposed; return true;
          case SDL_WINDOWEVENT_FOCUS_GAINED: out.type = WindowEvent::FocusGained; return true;
          case SDL_WINDOWEVENT_FOCUS_LOST: out.type = WindowEvent::FocusLost; return true;
          case SDL_WINDOWEVENT_LEAVE: out.type = WindowEvent::MouseLeave; return true;
          case SDL_WINDOWEVENT_CLOSE: out.type = WindowEvent::Quit; return true;
          case SDL_WINDOWEVENT_MOVED: impl_->noteNormalPlacement(); break;
          default: break;
        }
        break;
      case SDL_MOUSEMOTION:
        if (impl_->followFrameDrag(e.motion.state & SDL_BUTTON_LMASK)) break;
        if (hitTester_ && !(e.motion.state & SDL_BUTTON_LMASK))
          impl_->setFrameCursor(hitTester_(e.motion.x, e.motion.y));
        out.type = WindowEvent::MouseMove;
        out.x = e.motion.x;
        out.y = e.motion.y;
        return true;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && hitTester_) {
          // The pointer's last stretch may come with the release itself: follow it first.
          if (e.type == SDL_MOUSEBUTTONUP) impl_->followFrameDrag(true);
          impl_->frameDrag.release();
          HitCode code = e.type == SDL_MOUSEBUTTONDOWN ? hitTester_(e.button.x, e.button.y) : HitCode::Client;
          if (code != HitCode::Client) {
            // Like a press on a system frame: nothing moves until the pointer does.
            Rect r;
            position(r.x, r.y);
            size(r.w, r.h);
            int gx = 0, gy = 0, minW = 0, minH = 0;
            impl_->pointerOnScreen(gx, gy);
            SDL_GetWindowMinimumSize(impl_->window, &minW, &minH);
            impl_->frameDrag.press(code, gx, gy, r, minW, minH);
            if (code != HitCode::Caption) break;  // a border press is the frame's alone
            out.type = WindowEvent::CaptionClick;
            out.x = e.button.x;
            out.y = e.button.y;
            out.clicks = e.button.clicks;
            return true;
          }
        }
        out.type = e.type == SDL_MOUSEBUTTONDOWN ? WindowEvent::MouseDown : WindowEvent::MouseUp;
        out.x = e.button.x;
        out.y = e.button.y;
        out.button = e.button.button == SDL_BUTTON_LEFT ? 1 : e.button.button == SDL_BUTTON_RIGHT ? 3 : 2;
        out.clicks = e.button.clicks;
        return true;
      case SDL_MOUSEWHEEL:
        if (e.wheel.y == 0) break;
        out.type = WindowEvent::MouseWheel;
        out.wheel = e.wheel.y > 0 ? 1 : -1;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) out.wheel = -out.wheel;
        impl_->wheelNotches = (std::abs(e.wheel.y) - 1) * out.wheel;  // the rest come next
        return true;
      case SDL_KEYDOWN:
        out.type = WindowEvent::KeyDown;
        out.key = virtualKey(e.key.keysym);
        out.ctrl = (e.key.keysym.mod & KMOD_CTRL) != 0;
        out.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
        out.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
        out.repeat = e.key.repeat != 0;
        if (out.key == 0) break;
        return true;
      case SDL_TEXTINPUT:
        out.type = WindowEvent::TextInput;
        out.text = e.text.text;
        return true;
      case SDL_TEXTEDITING:
        out.type = WindowEvent::TextEditing;
        out.text = e.edit.text;
        return true;
      case SDL_DROPBEGIN: out.type = WindowEvent::DropBegin; return true;
      case SDL_DROPFILE:
        out.type = WindowEvent::DropFile;
        if (e.drop.file) {
          out.text = e.drop.file;
          SDL_free(e.drop.file);
        }
        return true;
      case SDL_DROPCOMPLETE:
        out.type = WindowEvent::DropComplete;
        SDL_GetMouseState(&out.x, &out.y);
        return true;
      case SDL_RENDER_TARGETS_RESET:
      case SDL_RENDER_DEVICE_RESET: out.type = WindowEvent::RenderReset; return true;
      case SDL_AUDIODEVICEREMOVED: out.type = WindowEvent::AudioDeviceChanged; return true;
#ifdef VELL_HAVE_X11
      case SDL_SYSWMEVENT: {
        const XEvent& x = e.syswm.msg->msg.x11.event;
        if (x.type != KeyPress || !impl_->mediaKeyDisplay) break;
        Display* display = static_cast<Display*>(impl_->mediaKeyDisplay);
        for (const auto& k : kMediaKeys) {
          if (x.xkey.keycode == XKeysymToKeycode(display, k.sym)) {
            out.type = WindowEvent::HotKey;
            out.key = k.vk;
            return true;
          }
        }
        break;
      }
#endif
      default:
        if (e.type == userEventType()) {
          out.type = WindowEvent::User;
          out.code = e.user.code;
          return true;
        }
        break;
    }
    (void)mod;
    timeoutMs = 0;  // an event we ignore does not restart the wait
  }
}

}  // namespace vell
