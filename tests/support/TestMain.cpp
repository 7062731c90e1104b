#include <gtest/gtest.h>

#include <cstdlib>

// Every test program runs without a sound card or a display: SDL gets the dummy drivers
// unless a test asks for another one before it opens a device.
int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
