// Linux (SDL2): the "disk" sound driver playing into the test's file.
#include "support/DiskAudio.h"

#include <cstdlib>

#include "platform/AudioDevice.h"
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

std::vector<float> readDiskAudio(const std::string& path) { return readRawFloats(path); }

}  // namespace vell::test
