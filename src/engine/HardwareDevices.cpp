// The process-wide hardware decoding devices: made once, shared by reference.
#include "engine/HardwareDevices.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/hwcontext.h>
}

#include <map>
#include <mutex>


namespace vell::hardwareDevices {

namespace {

struct Cache {
  std::mutex lock;
  std::map<int, AVBufferRef*> made;  // null: cannot be made, or cannot decode
};

Cache& cache() {
  static Cache* c = new Cache;  // decoders may still hold references while statics go
  return *c;
}

}  // namespace

AVBufferRef* acquire(int type) {
  if (type == AV_HWDEVICE_TYPE_NONE) return nullptr;
  Cache& c = cache();
  std::lock_guard<std::mutex> guard(c.lock);
  auto it = c.made.find(type);
  if (it == c.made.end()) {
    AVBufferRef* device = nullptr;
    if (av_hwdevice_ctx_create(&device, static_cast<AVHWDeviceType>(type), nullptr, nullptr, 0) < 0) device = nullptr;
    it = c.made.emplace(type, device).first;
  }
  return it->second ? av_buffer_ref(it->second) : nullptr;
}

void markUnusable(int type) {
  Cache& c = cache();
  std::lock_guard<std::mutex> guard(c.lock);
  AVBufferRef*& device = c.made[type];
  av_buffer_unref(&device);
}

}  // namespace vell::hardwareDevices
