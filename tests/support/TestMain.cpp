// The test programs' main: dummy sound and video drivers, no proxy.
#include <gtest/gtest.h>

#include "support/Env.h"

// Every test program runs without a sound card or a display: SDL gets the dummy drivers
// unless a test asks for another one before it opens a device. A proxy set in the developer's
// shell must not catch the loopback requests.
int main(int argc, char** argv) {
  vell::test::setEnv("SDL_AUDIODRIVER", "dummy");
  vell::test::setEnv("SDL_VIDEODRIVER", "offscreen");
  vell::test::setEnv("no_proxy", "127.0.0.1,localhost");
  vell::test::setEnv("NO_PROXY", "127.0.0.1,localhost");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
