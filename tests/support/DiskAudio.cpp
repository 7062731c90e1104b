#include "support/DiskAudio.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/AudioDevice.h"

namespace vell::test {

bool useDiskAudioDriver() {
  std::string current = audioDriverName();
  if (!current.empty()) return current == "disk";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  return initAudioSystem() && audioDriverName() == "disk";
}

void setDiskAudioFile(const std::string& path) { setenv("SDL_DISKAUDIOFILE", path.c_str(), 1); }

std::vector<float> readDiskAudio(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> samples(bytes.size() / sizeof(float));
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

}  // namespace vell::test
