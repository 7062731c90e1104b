// Linux (SDL2): SDL's large blocks (the pixels of textures and of the window's surface) come
// from mappings whose pages are made present at once; SDL zeroes and fills them right after,
// and on virtual machines taking their pages one fault at a time was most of the cost of the
// first paint. Everything smaller, and whatever SDL allocated before, stays with malloc.
#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/PageBuffer.h"
#include "platform/sdl/SdlWindow.h"

namespace vell {
namespace {

constexpr size_t kLargeBlock = size_t{1} << 20;

struct LargeBlocks {
  std::mutex lock;
  std::unordered_map<void*, size_t> sizes;
};

LargeBlocks& largeBlocks() {
  static LargeBlocks* blocks = new LargeBlocks;  // never destroyed: SDL may free at exit
  return *blocks;
}

void* allocateLarge(size_t bytes) {
  void* p = detail::allocatePresentPages(bytes);
  if (!p) return nullptr;
  std::lock_guard<std::mutex> guard(largeBlocks().lock);
  largeBlocks().sizes.emplace(p, bytes);
  return p;
}

// The size of a block of ours, or 0 when malloc made it.
size_t takeLarge(void* p, bool remove) {
  std::lock_guard<std::mutex> guard(largeBlocks().lock);
  auto it = largeBlocks().sizes.find(p);
  if (it == largeBlocks().sizes.end()) return 0;
  size_t bytes = it->second;
  if (remove) largeBlocks().sizes.erase(it);
  return bytes;
}

void* sdlMalloc(size_t bytes) { return bytes >= kLargeBlock ? allocateLarge(bytes) : std::malloc(bytes); }

void* sdlCalloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  const size_t bytes = count * size;
  return bytes >= kLargeBlock ? allocateLarge(bytes) : std::calloc(count, size);  // mappings come zeroed
}

void sdlFree(void* p) {
  if (!p) return;
  if (size_t bytes = takeLarge(p, true)) detail::freePages(p, bytes);
  else std::free(p);
}

void* sdlRealloc(void* p, size_t bytes) {
  if (!p) return sdlMalloc(bytes);
  const size_t large = takeLarge(p, false);
  if (!large && bytes < kLargeBlock) return std::realloc(p, bytes);
  const size_t old = large ? large : malloc_usable_size(p);
  void* fresh = sdlMalloc(bytes);
  if (!fresh) return nullptr;  // the old block stays, as realloc leaves it
  std::memcpy(fresh, p, std::min(old, bytes));
  sdlFree(p);
  return fresh;
}

}  // namespace

void installSdlMemory() {
  static std::once_flag once;
  std::call_once(once, [] { SDL_SetMemoryFunctions(sdlMalloc, sdlCalloc, sdlRealloc, sdlFree); });
}

}  // namespace vell
