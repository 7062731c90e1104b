#include "platform/Window.h"

#include <SDL.h>

#include "platform/Log.h"

namespace vell {

Window::~Window() { destroy(); }

bool Window::create(const std::string& title, int width, int height, const WindowOptions& options) {
  destroy();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    debugLog("SDL video init failed: %s", SDL_GetError());
    return false;
  }
  videoInitialized_ = true;
  Uint32 flags = options.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  if (options.borderless) flags |= SDL_WINDOW_BORDERLESS;
  if (options.resizable) flags |= SDL_WINDOW_RESIZABLE;
  window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
  if (!window_) {
    debugLog("Window creation failed: %s", SDL_GetError());
    destroy();
    return false;
  }
  return true;
}

void Window::destroy() {
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
  if (videoInitialized_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  videoInitialized_ = false;
}

void Window::size(int& width, int& height) const {
  width = height = 0;
  if (window_) SDL_GetWindowSize(window_, &width, &height);
}

void Window::setSize(int width, int height) {
  if (window_ && width > 0 && height > 0) SDL_SetWindowSize(window_, width, height);
}

}  // namespace vell
