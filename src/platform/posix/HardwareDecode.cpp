// Linux: the hardware decoding devices worth trying (VA-API, VDPAU with a display).
#include "platform/HardwareDecode.h"

#include <cstdlib>

namespace vell {

std::vector<std::string> hardwareDecodeDevices() {
  std::vector<std::string> devices = {"vaapi"};
  // VDPAU needs a display server; without one it cannot work, so do not ask.
  if (std::getenv("DISPLAY")) devices.push_back("vdpau");
  return devices;
}

}  // namespace vell
