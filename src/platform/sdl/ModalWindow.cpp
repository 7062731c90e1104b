// Modal windows on SDL: the window, its cursor, and which events are its own while it runs.
#include "platform/ModalWindow.h"

#include <SDL.h>

#include <functional>
#include <vector>

#include "platform/VirtualKeys.h"
#include "platform/sdl/SdlWindow.h"

namespace vell {

namespace {

// The keys a modal window acts on.
int modalKey(const SDL_Keysym& k) {
  switch (k.scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return vk::Return;
    case SDL_SCANCODE_ESCAPE: return vk::Escape;
    case SDL_SCANCODE_TAB: return vk::Tab;
    case SDL_SCANCODE_SPACE: return vk::Space;
    case SDL_SCANCODE_LEFT: return vk::Left;
    case SDL_SCANCODE_RIGHT: return vk::Right;
    case SDL_SCANCODE_UP: return vk::Up;
    case SDL_SCANCODE_DOWN: return vk::Down;
    default: return 0;
  }
}

bool isInput(Uint32 type) {
  switch (type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTEDITING:
    case SDL_TEXTINPUT:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
    case SDL_FINGERDOWN:
    case SDL_FINGERUP:
    case SDL_FINGERMOTION:
    case SDL_KEYMAPCHANGED:
    case SDL_CLIPBOARDUPDATE:
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE: return true;
    default: return false;
  }
}

// The window an event is for; 0 for none.
Uint32 eventWindow(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTEDITING: return e.edit.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE: return e.drop.windowID;
    default: return 0;
  }
}

}  // namespace

struct ModalWindow::Impl {
  SDL_Window* window = nullptr;
  SDL_Window* owner = nullptr;
  Uint32 windowId = 0;
  bool videoStarted = false;
  SDL_Cursor* handCursor = nullptr;
  SDL_Cursor* arrowCursor = nullptr;
  ModalEventFilter outer;               // the filter before run(): the owner's (or an outer box's)
  std::vector<SDL_Event> deferred;      // not the box's, read while no owner's loop ran: put back after
};

ModalWindow::ModalWindow() : impl_(std::make_unique<Impl>()) {}

ModalWindow::~ModalWindow() { close(); }

bool ModalWindow::isOpen() const { return impl_->window != nullptr; }

bool ModalWindow::create(NativeWindow* ownerHandle, const std::string& title, int width, int height,
                         bool toolWindow) {
  close();
  SDL_Window* owner = sdlWindow(ownerHandle);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
  impl_->videoStarted = true;
  int x = static_cast<int>(SDL_WINDOWPOS_CENTERED), y = x;
  if (owner) {
    int ox = 0, oy = 0, ow = 0, oh = 0;
    SDL_GetWindowPosition(owner, &ox, &oy);
    SDL_GetWindowSize(owner, &ow, &oh);
    x = centred(ox, ow, width);
    y = centred(oy, oh, height);
  }
  Uint32 flags = SDL_WINDOW_HIDDEN | (toolWindow ? SDL_WINDOW_UTILITY : 0);
  impl_->window = SDL_CreateWindow(title.c_str(), x, y, width, height, flags);
  if (!impl_->window) {
    close();
    return false;
  }
  impl_->owner = owner;
  impl_->windowId = SDL_GetWindowID(impl_->window);
  width_ = width;
  height_ = height;
  closing_ = false;
  dirty_ = true;
  if (owner) SDL_SetWindowModalFor(impl_->window, owner);  // refused without a window manager: fine
  SDL_ShowWindow(impl_->window);
  SDL_RaiseWindow(impl_->window);
  SDL_SetWindowInputFocus(impl_->window);
  return true;
}

void ModalWindow::close() {
  if (impl_->window) {
    SDL_DestroyWindow(impl_->window);
    impl_->window = nullptr;
    if (impl_->owner) SDL_RaiseWindow(impl_->owner);
  }
  closing_ = true;
  if (impl_->handCursor) SDL_FreeCursor(impl_->handCursor);
  if (impl_->arrowCursor) SDL_FreeCursor(impl_->arrowCursor);
  impl_->handCursor = impl_->arrowCursor = nullptr;
  if (impl_->videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  impl_->videoStarted = false;
}

void ModalWindow::setHandCursor(bool hand) {
  if (!impl_->window) return;
  if (!impl_->handCursor) impl_->handCursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
  if (!impl_->arrowCursor) impl_->arrowCursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  SDL_Cursor* c = hand ? impl_->handCursor : impl_->arrowCursor;
  if (c) SDL_SetCursor(c);
}

void ModalWindow::present() {
  SDL_Surface* target = SDL_GetWindowSurface(impl_->window);
  if (!target) return;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(canvas_.pixels()), width_, height_,
                                                           32, canvas_.stride(), SDL_PIXELFORMAT_ARGB8888);
  if (!source) return;
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
  SDL_BlitSurface(source, nullptr, target, nullptr);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(impl_->window);
}

std::function<bool(int)>* ModalWindow::ownerLoop() const {
  auto* loop =
      impl_->owner ? static_cast<std::function<bool(int)>*>(SDL_GetWindowData(impl_->owner, kModalLoopKey)) : nullptr;
  return loop && *loop ? loop : nullptr;
}

void ModalWindow::runStarts() {
  const Uint32 windowId = impl_->windowId;
  // As a system hands each window its own messages: whichever loop reads an event, this
  // window's events and the keys come here, and the blocked windows' input goes nowhere.
  impl_->outer = modalEventFilter();
  impl_->deferred.clear();
  modalEventFilter() = [this, windowId, outer = impl_->outer](const SDL_Event& e) {
    const bool own = eventWindow(e) == windowId;
    if (e.type == SDL_KEYDOWN) {
      // Keys go to the box whichever window the server thinks has the focus.
      int key = modalKey(e.key.keysym);
      if (key && onInput && impl_->window) {
        ModalInput in{ModalInput::Key};
        in.key = key;
        in.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
        onInput(in);
      }
    } else if (own && e.type == SDL_WINDOWEVENT) {
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: requestClose(); break;
        case SDL_WINDOWEVENT_LEAVE:
          if (onInput) onInput(ModalInput{ModalInput::MouseLeave});
          break;
        default: dirty_ = true; break;
      }
    } else if (own && (e.type == SDL_MOUSEMOTION || ((e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) &&
                                                     e.button.button == SDL_BUTTON_LEFT))) {
      ModalInput in;
      if (e.type == SDL_MOUSEMOTION) {
        in.type = ModalInput::MouseMove;
        in.x = e.motion.x;
        in.y = e.motion.y;
      } else {
        in.type = e.type == SDL_MOUSEBUTTONDOWN ? ModalInput::MouseDown : ModalInput::MouseUp;
        in.x = e.button.x;
        in.y = e.button.y;
      }
      if (onInput && impl_->window) onInput(in);
    } else if (!own && !isInput(e.type)) {
      return outer && outer(e);  // the owner's business (or an outer box's)
    } else if (e.type == SDL_DROPFILE || e.type == SDL_DROPTEXT) {
      SDL_free(e.drop.file);
    }
    if (dirty_ && impl_->window && !closing_) paint();
    return true;
  };
}

bool ModalWindow::readQueue() {
  // Polled rather than waited for: see nextEvent in Window.cpp.
  SDL_Event e;
  bool got = false, quit = false;
  while (impl_->window && !closing_ && (got = SDL_PollEvent(&e) != 0)) {
    if (e.type == SDL_QUIT) {
      quit = true;
      giveWay();  // a quit always ends the box
    } else if (!modalEventFilter()(e)) {
      impl_->deferred.push_back(e);
    }
  }
  if (!got) SDL_Delay(4);
  return quit;
}

void ModalWindow::runEnds(bool quit) {
  modalEventFilter() = std::move(impl_->outer);
  impl_->outer = nullptr;
  close();
  for (auto& e : impl_->deferred) SDL_PushEvent(&e);
  impl_->deferred.clear();
  if (quit) {
    SDL_Event q{};
    q.type = SDL_QUIT;
    SDL_PushEvent(&q);
  }
}

}  // namespace vell
