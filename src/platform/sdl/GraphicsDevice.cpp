// Linux (SDL2): the renderer, the video and overlay textures, and presenting.
#include "platform/GraphicsDevice.h"

#include <SDL.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/Canvas.h"
#include "platform/Log.h"
#include "platform/sdl/SdlWindow.h"

namespace vell {

struct GraphicsDevice::Impl {
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* video = nullptr;
  SDL_Texture* overlay = nullptr;
};

GraphicsDevice::GraphicsDevice() : impl_(std::make_unique<Impl>()) {}

GraphicsDevice::~GraphicsDevice() { destroy(); }

bool GraphicsDevice::ready() const { return impl_->renderer != nullptr; }

bool GraphicsDevice::hasVideoTexture(int width, int height) const {
  return impl_->video != nullptr && videoW_ == width && videoH_ == height;
}

namespace {
// The software renderer draws into the window's own surface. Without this hint SDL backs
// that surface with an OpenGL texture, which costs an extra upload per frame and loads (and
// later unloads) the GL driver just to find that out.
SDL_Renderer* createSoftware(SDL_Window* window, int index) {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  return SDL_CreateRenderer(window, index, SDL_RENDERER_SOFTWARE);
}
// A GL "accelerated" renderer that rasterises on the CPU (Mesa's llvmpipe and friends on a
// machine without a GPU) draws a scaled 1080p picture about three times slower than SDL's
// own software renderer.
bool isSoftwareRasterizer(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0) return false;
  std::string name = info.name;
  if (name.rfind("opengl", 0) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const unsigned char* text = getString ? getString(0x1F01 /* GL_RENDERER */) : nullptr;
  if (!text) return false;
  std::string gl = reinterpret_cast<const char*>(text);
  for (const char* soft : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR", "swrast"})
    if (gl.find(soft) != std::string::npos) return true;
  return false;
}

// Without a GPU device node every GL renderer is a CPU rasteriser; creating one only to
// throw it away costs a sixth of a second at start-up.
bool hasGpuDevice() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("renderD", 0) == 0 || name.rfind("card", 0) == 0) return true;
  }
  return false;
}

}  // namespace

bool GraphicsDevice::create(Window& window, const std::string& driver) {
  destroy();
  SDL_Window* target = sdlWindow(window.handle());
  if (!target) return false;
  if (!driver.empty()) {
    int index = -1;
    for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
      SDL_RendererInfo info;
      if (SDL_GetRenderDriverInfo(i, &info) == 0 && driver == info.name) index = i;
    }
    if (index < 0) {
      debugLog("Render driver %s not available", driver.c_str());
      return false;
    }
    // Choosing a driver turns SDL's command batching off unless it is asked for.
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    impl_->renderer = driver == "software" ? createSoftware(target, index) : SDL_CreateRenderer(target, index, 0);
  } else if (hasGpuDevice() || SDL_GetHint(SDL_HINT_RENDER_DRIVER)) {
    impl_->renderer = SDL_CreateRenderer(target, -1, SDL_RENDERER_ACCELERATED);
    if (impl_->renderer && isSoftwareRasterizer(impl_->renderer)) {
      SDL_DestroyRenderer(impl_->renderer);
      impl_->renderer = nullptr;
    }
    if (!impl_->renderer) impl_->renderer = createSoftware(target, -1);
  } else {
    impl_->renderer = createSoftware(target, -1);
  }
  if (!impl_->renderer) {
    debugLog("Renderer creation failed: %s", SDL_GetError());
    return false;
  }
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(impl_->renderer, &info) == 0) driverName_ = info.name;
  return true;
}

void GraphicsDevice::dropTextures() {
  if (impl_->video) SDL_DestroyTexture(impl_->video);
  if (impl_->overlay) SDL_DestroyTexture(impl_->overlay);
  impl_->video = impl_->overlay = nullptr;
  videoW_ = videoH_ = overlayW_ = overlayH_ = 0;
}

void GraphicsDevice::destroy() {
  dropTextures();
  if (impl_->renderer) SDL_DestroyRenderer(impl_->renderer);
  impl_->renderer = nullptr;
  driverName_.clear();
}

void GraphicsDevice::outputSize(int& width, int& height) const {
  width = height = 0;
  if (impl_->renderer) SDL_GetRendererOutputSize(impl_->renderer, &width, &height);
}

void GraphicsDevice::clear(uint8_t r, uint8_t g, uint8_t b) {
  if (!impl_->renderer) return;
  SDL_SetRenderDrawBlendMode(impl_->renderer, SDL_BLENDMODE_NONE);
  SDL_SetRenderDrawColor(impl_->renderer, r, g, b, 255);
  SDL_RenderClear(impl_->renderer);
}

bool GraphicsDevice::keepsPresentedPixels() const { return driverName_ == "software"; }

void GraphicsDevice::beginArea(const RectI& area, uint8_t r, uint8_t g, uint8_t b, const RectI* opaque) {
  if (!impl_->renderer) return;
  SDL_Rect rect{area.x, area.y, area.w, area.h};
  SDL_RenderSetClipRect(impl_->renderer, &rect);
  SDL_SetRenderDrawBlendMode(impl_->renderer, SDL_BLENDMODE_NONE);
  SDL_SetRenderDrawColor(impl_->renderer, r, g, b, 255);
  SDL_Rect hole{};
  const SDL_Rect picture = opaque ? SDL_Rect{opaque->x, opaque->y, opaque->w, opaque->h} : SDL_Rect{};
  if (!opaque || !SDL_IntersectRect(&rect, &picture, &hole)) {
    SDL_RenderFillRect(impl_->renderer, &rect);
    return;
  }
  // Only the bands around the picture: filling under it would be drawn over at once.
  const SDL_Rect bands[] = {{rect.x, rect.y, rect.w, hole.y - rect.y},
                            {rect.x, hole.y + hole.h, rect.w, rect.y + rect.h - hole.y - hole.h},
                            {rect.x, hole.y, hole.x - rect.x, hole.h},
                            {hole.x + hole.w, hole.y, rect.x + rect.w - hole.x - hole.w, hole.h}};
  for (const SDL_Rect& band : bands)
    if (band.w > 0 && band.h > 0) SDL_RenderFillRect(impl_->renderer, &band);
}

void GraphicsDevice::endArea() {
  if (impl_->renderer) SDL_RenderSetClipRect(impl_->renderer, nullptr);
}

bool GraphicsDevice::uploadVideo(const uint8_t* pixels, int pitch, int width, int height) {
  if (!impl_->renderer || !pixels || width < 1 || height < 1 || pitch < width * 4) return false;
  if (!impl_->video || videoW_ != width || videoH_ != height) {
    if (impl_->video) SDL_DestroyTexture(impl_->video);
    videoW_ = videoH_ = 0;
    // RGB888 is B, G, R and an unused byte in memory on little-endian machines: the frame's
    // layout, its alpha always full. It is the window surface's own format on X11, so the
    // software renderer copies rows instead of converting pixels.
    impl_->video =
        SDL_CreateTexture(impl_->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!impl_->video) return false;
    SDL_SetTextureBlendMode(impl_->video, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(impl_->video, SDL_ScaleModeLinear);
    videoW_ = width;
    videoH_ = height;
    ++videoCreations_;
  }
  ++videoUploads_;
  return SDL_UpdateTexture(impl_->video, nullptr, pixels, pitch) == 0;
}

void GraphicsDevice::drawVideo(float x, float y, float w, float h, double angle, bool flipH, bool flipV) {
  if (!impl_->renderer || !impl_->video || w <= 0 || h <= 0) return;
  SDL_FRect dst{x, y, w, h};
  int flip = (flipH ? SDL_FLIP_HORIZONTAL : 0) | (flipV ? SDL_FLIP_VERTICAL : 0);
  // Upright and unmirrored, the software renderer copies rows instead of transforming pixels.
  if (flip == 0 && angle == 0) {
    SDL_RenderCopyF(impl_->renderer, impl_->video, nullptr, &dst);
    return;
  }
  SDL_RenderCopyExF(impl_->renderer, impl_->video, nullptr, &dst, angle, nullptr, static_cast<SDL_RendererFlip>(flip));
}

void GraphicsDevice::drawOverlay(const Canvas& canvas, const RectI* area) {
  overlayPixels_ = 0;
  if (!impl_->renderer || !canvas.valid()) return;
  std::vector<RectI> rects = canvas.dirtyRects();
  if (area) {
    std::vector<RectI> inside;
    for (const RectI& r : rects) {
      int x0 = std::max(r.x, area->x), y0 = std::max(r.y, area->y);
      int x1 = std::min(r.x + r.w, area->x + area->w), y1 = std::min(r.y + r.h, area->y + area->h);
      if (x1 > x0 && y1 > y0) inside.push_back(RectI{x0, y0, x1 - x0, y1 - y0});
    }
    rects.swap(inside);
  }
  if (rects.empty()) return;  // nothing drawn: no upload, no blending
  int w = canvas.width(), h = canvas.height();
  if (!impl_->overlay || overlayW_ != w || overlayH_ != h) {
    if (impl_->overlay) SDL_DestroyTexture(impl_->overlay);
    overlayW_ = overlayH_ = 0;
    impl_->overlay = SDL_CreateTexture(impl_->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
    if (!impl_->overlay) return;
    // The canvas holds premultiplied alpha: blend it as such where the driver can.
    SDL_BlendMode pre = SDL_ComposeCustomBlendMode(SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA,
                                                   SDL_BLENDOPERATION_ADD, SDL_BLENDFACTOR_ONE,
                                                   SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD);
    premultiplied_ = SDL_SetTextureBlendMode(impl_->overlay, pre) == 0;
    if (!premultiplied_) SDL_SetTextureBlendMode(impl_->overlay, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(impl_->overlay, SDL_ScaleModeNearest);
    overlayW_ = w;
    overlayH_ = h;
  }
  const uint8_t* base = canvas.pixels();
  int stride = canvas.stride();
  for (const RectI& r : rects) {
    SDL_Rect rect{r.x, r.y, r.w, r.h};
    const uint8_t* first = base + static_cast<size_t>(r.y) * stride + static_cast<size_t>(r.x) * 4;
    if (premultiplied_) {
      SDL_UpdateTexture(impl_->overlay, &rect, first, stride);
    } else {
      void* dst = nullptr;
      int pitch = 0;
      if (SDL_LockTexture(impl_->overlay, &rect, &dst, &pitch) != 0) continue;
      for (int y = 0; y < r.h; ++y) {
        unpremultiplyRow(reinterpret_cast<const uint32_t*>(first + static_cast<size_t>(y) * stride),
                         reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(dst) + static_cast<size_t>(y) * pitch),
                         r.w);
      }
      SDL_UnlockTexture(impl_->overlay);
    }
    SDL_RenderCopy(impl_->renderer, impl_->overlay, &rect, &rect);
    overlayPixels_ += static_cast<long>(r.w) * r.h;
  }
}

void GraphicsDevice::present() {
  if (!impl_->renderer) return;
  SDL_RenderPresent(impl_->renderer);
  ++presents_;
}

// SDL says nothing of covered windows; a minimised one is the window's own flag.
bool GraphicsDevice::occluded() { return false; }

bool GraphicsDevice::readPixels(std::vector<uint32_t>& out, int& width, int& height) {
  outputSize(width, height);
  if (!impl_->renderer || width < 1 || height < 1) return false;
  out.assign(static_cast<size_t>(width) * height, 0);
  return SDL_RenderReadPixels(impl_->renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, out.data(), width * 4) == 0;
}

}  // namespace vell
