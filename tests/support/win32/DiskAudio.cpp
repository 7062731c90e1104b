#include "support/DiskAudio.h"

namespace vell::test {

::testing::Environment* addDiskAudioEnvironment(const std::string&) { return nullptr; }
void setDiskAudioFile(const std::string&) {}
std::vector<float> readDiskAudio(const std::string&) {
  ADD_FAILURE() << "no sound capture on Windows yet";
  return {};
}

}  // namespace vell::test
