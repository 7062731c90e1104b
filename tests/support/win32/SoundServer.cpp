#include "support/SoundServer.h"

namespace vell::test {

// The WASAPI device-loss path has tests of its own; there is no PulseAudio server to kill here.
SoundServer::SoundServer() : unavailable_("no PulseAudio server on Windows") {}
SoundServer::~SoundServer() = default;
bool SoundServer::playHere() { return false; }
void SoundServer::kill() {}
bool SoundServer::start() { return false; }
int SoundServer::streams() { return 0; }
std::string SoundServer::streamProperties() { return ""; }
std::vector<float> SoundServer::record(double) { return {}; }

}  // namespace vell::test
