// Linux (SDL2): keys pushed into a message box once its window is shown.
#include "support/BoxKeys.h"

#include <SDL.h>

#include <mutex>

#include "platform/Clock.h"
#include "platform/VirtualKeys.h"

namespace vell::test {

// The box's window is seen when it is shown (on the window thread, through an event watch);
// the keys are pushed after that, so that the box's loop, which runs from then on, reads them.
struct BoxKeys::Watch {
  std::string caption;
  std::mutex lock;
  Uint32 shown = 0;    // the box's window id once it was shown
  bool closed = false;  // ... and once it is gone

  static int onEvent(void* self, SDL_Event* e) {
    auto* w = static_cast<Watch*>(self);
    if (e->type != SDL_WINDOWEVENT) return 0;
    std::lock_guard<std::mutex> guard(w->lock);
    if (e->window.event == SDL_WINDOWEVENT_SHOWN && !w->shown) {
      SDL_Window* window = SDL_GetWindowFromID(e->window.windowID);
      if (window && w->caption == SDL_GetWindowTitle(window)) w->shown = e->window.windowID;
    } else if (w->shown && e->window.windowID == w->shown &&
               (e->window.event == SDL_WINDOWEVENT_HIDDEN || e->window.event == SDL_WINDOWEVENT_CLOSE)) {
      w->closed = true;
    }
    return 0;
  }
};

namespace {

SDL_Scancode scancodeOf(int key) {
  switch (key) {
    case vk::Return: return SDL_SCANCODE_RETURN;
    case vk::Escape: return SDL_SCANCODE_ESCAPE;
    case vk::Tab: return SDL_SCANCODE_TAB;
    case vk::Space: return SDL_SCANCODE_SPACE;
    case vk::Left: return SDL_SCANCODE_LEFT;
    case vk::Right: return SDL_SCANCODE_RIGHT;
    case vk::Up: return SDL_SCANCODE_UP;
    case vk::Down: return SDL_SCANCODE_DOWN;
    default: return SDL_SCANCODE_UNKNOWN;
  }
}

}  // namespace

BoxKeys::BoxKeys(const std::string& caption, std::vector<int> keys) : watch_(std::make_unique<Watch>()) {
  watch_->caption = caption;
  SDL_AddEventWatch(&Watch::onEvent, watch_.get());
  thread_ = std::thread([this, keys] {
    Watch& w = *watch_;
    auto shown = [&w] {
      std::lock_guard<std::mutex> guard(w.lock);
      return w.shown;
    };
    auto closed = [&w] {
      std::lock_guard<std::mutex> guard(w.lock);
      return w.closed;
    };
    for (uint32_t start = tickCount(); !shown() && tickCount() - start < 10000;) sleepMs(10);
    Uint32 box = shown();
    if (!box) {
      outcome_ = -2;
      return;
    }
    for (int key : keys) {
      SDL_Event e{};
      e.type = SDL_KEYDOWN;
      e.key.windowID = box;
      e.key.state = SDL_PRESSED;
      e.key.keysym.scancode = scancodeOf(key);
      e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
      SDL_PushEvent(&e);
      e.type = SDL_KEYUP;
      e.key.state = SDL_RELEASED;
      SDL_PushEvent(&e);
    }
    for (uint32_t start = tickCount(); !closed() && tickCount() - start < 3000;) sleepMs(10);
    if (closed()) {
      outcome_ = 1;
      return;
    }
    outcome_ = -1;
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = box;
    SDL_PushEvent(&e);
  });
}

BoxKeys::~BoxKeys() {
  if (thread_.joinable()) thread_.join();
  SDL_DelEventWatch(&Watch::onEvent, watch_.get());
}

}  // namespace vell::test
