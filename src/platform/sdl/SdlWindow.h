#pragma once
#include <SDL.h>

#include "platform/Window.h"

namespace vell {

// A NativeWindow of this backend is an SDL window.
inline SDL_Window* sdlWindow(NativeWindow* window) { return reinterpret_cast<SDL_Window*>(window); }
inline NativeWindow* nativeWindow(SDL_Window* window) { return reinterpret_cast<NativeWindow*>(window); }

// The SDL window data under which a Window keeps what paints it while a modal window runs.
inline constexpr const char* kModalPaintKey = "vell.modalPaint";

}  // namespace vell
