#include "platform/PageBuffer.h"

namespace vell {

bool PageBuffer::allocate(size_t bytes) {
  release();
  if (bytes == 0) return true;
  data_ = static_cast<uint8_t*>(detail::allocatePresentPages(bytes));
  if (!data_) return false;
  size_ = bytes;
  return true;
}

void PageBuffer::release() {
  if (data_) detail::freePages(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace vell
