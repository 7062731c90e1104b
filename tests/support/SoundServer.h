// Test support: a sound server of the test's own, to record from and to kill.
#pragma once
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace vell::test {

// A PulseAudio server of the test's own, started at construction: a null sink at 48 kHz
// stereo float whose monitor the test records, on an anonymous socket in a fresh folder, run
// as an unprivileged user when the test runs as root. Ends with the object, and the process's
// sound devices go back to the driver they had. Under wine, where WASAPI plays through a
// server shared with other programs, it is the program's own sink on that server, and killing
// the server is killing the program's streams on it: the endpoint is lost the same way.
class SoundServer {
 public:
  SoundServer();
  ~SoundServer();
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  // Empty while the server can run here; else why not, for GTEST_SKIP.
  const std::string& unavailable() const { return unavailable_; }

  // Makes this process's sound devices play to the server (SDL's pulseaudio driver); call it
  // while no device is open.
  bool playHere();
  // Kills the server outright, as a crash would.
  void kill();
  // Starts it again on the same socket; true once it answers.
  bool start();
  // The playback streams the server has now, and their properties as `pactl list` prints them.
  int streams();
  std::string streamProperties();
  // Whether the streams carry the program's name, the medium's title and its role (SDL's
  // PulseAudio driver does; wine's names them after the program file).
  bool namesStreams() const;
  // `seconds` of what the null sink played, interleaved float stereo at 48 kHz.
  std::vector<float> record(double seconds);

 private:
  TempDir dir_;
  std::string unavailable_;
  std::string socket_;
  std::string savedDriver_;
  bool playing_ = false;
};

}  // namespace vell::test
