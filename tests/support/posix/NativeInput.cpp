// Linux (SDL2): wheel turns and Alt keys as SDL events.
#include "support/NativeInput.h"

#include <SDL.h>

#include <cmath>

#include "platform/VirtualKeys.h"

namespace vell::test {

namespace {

SDL_Window* sdlOf(NativeWindow* window) { return reinterpret_cast<SDL_Window*>(window); }

void pushKey(SDL_Window* window, bool down, SDL_Keycode sym, SDL_Scancode scan, Uint16 mod) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = SDL_GetWindowID(window);
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = sym;
  e.key.keysym.scancode = scan;
  e.key.keysym.mod = mod;
  SDL_PushEvent(&e);
}

}  // namespace

void turnWheel(NativeWindow* window, int delta) {
  // What SDL's own sum of the parts gives (SDL_SendMouseWheel).
  static float sum = 0;
  float notches = delta / 120.0f;
  if ((notches > 0 && sum < 0) || (notches < 0 && sum > 0)) sum = 0;
  sum += notches;
  int whole = static_cast<int>(sum > 0 ? std::floor(sum) : std::ceil(sum));
  sum -= static_cast<float>(whole);
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.windowID = SDL_GetWindowID(sdlOf(window));
  e.wheel.y = whole;
  e.wheel.preciseY = notches;
  e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  SDL_PushEvent(&e);
}

bool pressWithAlt(NativeWindow* window, int key) {
  SDL_Window* w = sdlOf(window);
  if (key == vk::F1 + 3) {  // F4
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = SDL_GetWindowID(w);
    SDL_PushEvent(&e);
    return false;
  }
  pushKey(w, true, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT);
  if (key >= 'A' && key <= 'Z') {
    SDL_Keycode sym = SDLK_a + (key - 'A');
    SDL_Scancode scan = static_cast<SDL_Scancode>(SDL_SCANCODE_A + (key - 'A'));
    pushKey(w, true, sym, scan, KMOD_LALT);
    pushKey(w, false, sym, scan, KMOD_LALT);
  }
  pushKey(w, false, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_NONE);
  return false;
}

bool windowsMinimize() { return false; }

}  // namespace vell::test
