// POSIX: one anonymous mapping, populated when it is made.
#include "platform/PageBuffer.h"

#include <sys/mman.h>

namespace vell::detail {

void* allocatePresentPages(size_t bytes) {
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_POPULATE
  flags |= MAP_POPULATE;
#endif
  void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, flags, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

void freePages(void* pages, size_t bytes) { munmap(pages, bytes); }

}  // namespace vell::detail
