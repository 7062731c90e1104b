// FFmpeg's log with the failures of hardware device probes left out.
#include "engine/FfmpegLog.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <cstring>

namespace vell {

namespace {

// A device or frame pool that could not be made, or a decoder that could not start on one.
bool hardwareProbeMessage(void* object, const char* format) {
  const AVClass* cls = object ? *static_cast<AVClass**>(object) : nullptr;
  if (cls && cls->class_name &&
      (std::strcmp(cls->class_name, "AVHWDeviceContext") == 0 || std::strcmp(cls->class_name, "AVHWFramesContext") == 0))
    return true;
  return format && (std::strstr(format, "Failed setup for format") || std::strstr(format, "hwaccel initialisation"));
}

void logCallback(void* object, int level, const char* format, va_list args) {
  if (hardwareProbeMessage(object, format)) return;
  av_log_default_callback(object, level, format, args);
}

}  // namespace

void installFfmpegLog() {
  av_log_set_level(AV_LOG_ERROR);
  av_log_set_callback(&logCallback);
}

}  // namespace vell
