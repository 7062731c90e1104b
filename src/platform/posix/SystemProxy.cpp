// Linux: no system proxy of our own; FFmpeg reads the environment.
#include "platform/SystemProxy.h"

namespace vell {

// FFmpeg takes http_proxy and no_proxy from the environment itself.
std::string systemProxyFor(const std::string&) { return {}; }

}  // namespace vell
