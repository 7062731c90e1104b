// The name and role the desktop's sound settings show for the player's sound.
#include <mutex>

#include "platform/AudioDevice.h"

namespace vell {
namespace {

std::mutex descriptionLock;
AudioStreamDescription description;

}  // namespace

void describeAudioStream(const std::string& title, bool video) {
  std::lock_guard<std::mutex> lock(descriptionLock);
  description = {title, video};
}

AudioStreamDescription audioStreamDescription() {
  std::lock_guard<std::mutex> lock(descriptionLock);
  return description;
}

}  // namespace vell
