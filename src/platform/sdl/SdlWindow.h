// Linux (SDL2): window handle casts and the modal loop hooks the window, dialogs and menus share.
#pragma once
#include <SDL.h>

#include <functional>

#include "platform/Window.h"

namespace vell {

// A NativeWindow of this backend is an SDL window.
inline SDL_Window* sdlWindow(NativeWindow* window) { return reinterpret_cast<SDL_Window*>(window); }
inline NativeWindow* nativeWindow(SDL_Window* window) { return reinterpret_cast<NativeWindow*>(window); }

// Routes SDL's large blocks to mappings made present at once (SdlMemory.cpp). Called before the
// first window; blocks SDL made before stay malloc's and are freed by it.
void installSdlMemory();

// The SDL window data under which a Window keeps its loop for the time a modal window runs.
inline constexpr const char* kModalLoopKey = "vell.modalLoop";

// While a modal window runs, every loop hands it each event first: it takes its own window's
// events and every key, and drops the input of the windows it blocks (true: taken). Empty
// while no modal window runs.
using ModalEventFilter = std::function<bool(const SDL_Event&)>;
inline ModalEventFilter& modalEventFilter() {
  static ModalEventFilter filter;
  return filter;
}

}  // namespace vell
