// Windows: restarting the sound system after a lost device.
#include "platform/AudioDevice.h"

namespace vell {

// Every WASAPI device has a client of its own: opening again is all a lost device needs.
bool restartAudioSystem() { return initAudioSystem(); }

}  // namespace vell
