// Large zeroed buffers (canvases, the copy of the last presented overlay) whose pages are
// all made present when the buffer is made. A page touched for the first time costs a fault;
// on virtual machines a fault costs 15-20 µs, 16 ms for one 1280x720 canvas, paid in the middle
// of the first paint. Asking for every page at once costs a tenth of that.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vell {

class PageBuffer {
 public:
  PageBuffer() = default;
  ~PageBuffer() { release(); }
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  PageBuffer(PageBuffer&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  PageBuffer& operator=(PageBuffer&& other) noexcept {
    if (this != &other) {
      release();
      data_ = other.data_;
      size_ = other.size_;
      other.data_ = nullptr;
      other.size_ = 0;
    }
    return *this;
  }

  // A zeroed, page-aligned buffer of `bytes` (the old one is freed); false when the system
  // has no memory for it (the buffer is then empty).
  bool allocate(size_t bytes);
  void release();

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

namespace detail {
// The target's page allocation: zeroed pages, all present; null on failure.
void* allocatePresentPages(size_t bytes);
void freePages(void* pages, size_t bytes);
}  // namespace detail

}  // namespace vell
