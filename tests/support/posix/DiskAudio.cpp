#include "support/DiskAudio.h"

#include <cstdlib>
#include <cstring>

#include "platform/AudioDevice.h"
#include "platform/Files.h"
#include "support/Env.h"

namespace vell::test {

// The driver is chosen once per process: false when another one is already in use.
static bool useDiskAudioDriver() {
  std::string current = audioDriverName();
  if (!current.empty()) return current == "disk";
  setEnv("SDL_AUDIODRIVER", "disk");
  return initAudioSystem() && audioDriverName() == "disk";
}

::testing::Environment* addDiskAudioEnvironment(const std::string& file) {
  struct DiskAudioEnvironment : ::testing::Environment {
    std::string file;
    explicit DiskAudioEnvironment(std::string f) : file(std::move(f)) {}
    void SetUp() override {
      ASSERT_TRUE(useDiskAudioDriver());
      if (!file.empty()) setDiskAudioFile(file);
    }
  };
  return ::testing::AddGlobalTestEnvironment(new DiskAudioEnvironment(file));
}

void setDiskAudioFile(const std::string& path) { setEnv("SDL_DISKAUDIOFILE", path); }

std::vector<float> readDiskAudio(const std::string& path) {
  std::string bytes;
  if (!readFile(path, bytes)) return {};
  std::vector<float> samples(bytes.size() / sizeof(float));
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

}  // namespace vell::test
