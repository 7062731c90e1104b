// Windows: committed pages, zeroed by the system.
#include "platform/PageBuffer.h"

#include <windows.h>

namespace vell::detail {

void* allocatePresentPages(size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freePages(void* pages, size_t) { VirtualFree(pages, 0, MEM_RELEASE); }

}  // namespace vell::detail
