// Linux: the hardware decoding devices worth trying (VA-API with a render node, VDPAU with a
// display and a driver).
#include "platform/HardwareDecode.h"

#include <cstdlib>
#include <filesystem>

namespace vell {

namespace {

// `except`: a name that does not count.
bool anyFileStartingWith(const std::string& dir, const std::string& prefix, const std::string& except = "") {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && (except.empty() || name.rfind(except, 0) != 0)) return true;
  }
  return false;
}

// libvdpau says on the terminal that it found no driver, whoever asked: ask only when there is
// one (its tracing layer is not a driver).
bool vdpauDriverInstalled() {
  if (const char* dir = std::getenv("VDPAU_DRIVER_PATH"); dir && *dir)
    return anyFileStartingWith(dir, "libvdpau_", "libvdpau_trace");
  for (const char* dir : {"/usr/lib/x86_64-linux-gnu/vdpau", "/usr/lib/aarch64-linux-gnu/vdpau",
                          "/usr/lib/i386-linux-gnu/vdpau", "/usr/lib64/vdpau", "/usr/lib/vdpau"})
    if (anyFileStartingWith(dir, "libvdpau_", "libvdpau_trace")) return true;
  return false;
}

}  // namespace

std::vector<std::string> hardwareDecodeDevices() {
  std::vector<std::string> devices;
  if (anyFileStartingWith("/dev/dri", "renderD")) devices.push_back("vaapi");
  // VDPAU needs a display server; without one it cannot work, so do not ask.
  if (std::getenv("DISPLAY") && vdpauDriverInstalled()) devices.push_back("vdpau");
  return devices;
}

}  // namespace vell
