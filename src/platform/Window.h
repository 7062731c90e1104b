#pragma once
#include <string>

struct SDL_Window;

namespace vell {

struct WindowOptions {
  bool hidden = false;      // created without being shown (tests, benchmarks)
  bool borderless = true;   // the player draws its own title bar
  bool resizable = true;
};

// The main window: an SDL window with its video subsystem. The application extends it
// with events, hit testing and the window features.
class Window {
 public:
  Window() = default;
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // False when the video subsystem or the window cannot be created.
  bool create(const std::string& title, int width, int height, const WindowOptions& options = {});
  void destroy();
  bool isOpen() const { return window_ != nullptr; }
  // Client size in pixels (0 x 0 without a window).
  void size(int& width, int& height) const;
  void setSize(int width, int height);

  SDL_Window* handle() const { return window_; }

 private:
  SDL_Window* window_ = nullptr;
  bool videoInitialized_ = false;
};

}  // namespace vell
