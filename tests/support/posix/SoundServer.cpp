// Linux: a PulseAudio server of the test's own, with a null sink to record.
#include "support/SoundServer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/AudioDevice.h"
#include "support/DiskAudio.h"
#include "support/Env.h"
#include "support/Media.h"

namespace vell::test {

SoundServer::SoundServer() : socket_(dir_.file("pulse/native")) {
  if (runCommand("command -v pulseaudio && command -v pactl && command -v parec") != 0) {
    unavailable_ = "pulseaudio, pactl or parec is not installed";
    return;
  }
  if (!start()) unavailable_ = "pulseaudio did not start: " + dir_.read("pulse/log");
}

SoundServer::~SoundServer() {
  if (playing_) {
    setEnv("SDL_AUDIODRIVER", savedDriver_);
    unsetEnv("PULSE_SERVER");
    restartAudioSystem();
  }
  kill();
}

bool SoundServer::start() {
  // PulseAudio refuses to run as root outside system mode: root runs it as "pulse". A null
  // sink that may rewind keeps its idle 2 s latency for seconds after a stream joins, and
  // takes that stream's sound only in bursts meanwhile; without rewinds it follows at once.
  std::string dir = dir_.file("pulse");
  std::string as;
  if (geteuid() == 0) {
    as = "u=pulse; id $u >/dev/null 2>&1 || u=nobody; chown $u: '" + dir +
         "' && setpriv --reuid=$u --regid=$(id -g $u) --init-groups ";
  }
  std::string command = "mkdir -p '" + dir + "' && " + as + "env -i HOME='" + dir + "' XDG_RUNTIME_DIR='" + dir +
                        "' PATH=/usr/bin:/bin pulseaudio --daemonize=yes -n --exit-idle-time=-1 --use-pid-file=yes"
                        " --log-target=file:" + dir + "/log"
                        " --load='module-native-protocol-unix auth-anonymous=1 socket=" + socket_ + "'"
                        " --load='module-null-sink sink_name=vell_null rate=48000 format=float32le channels=2 norewinds=1'"
                        " </dev/null >/dev/null 2>&1";
  if (runCommand(command) != 0) return false;
  // Its threads get the real-time priority a desktop's server gets through rtkit, which
  // root can hand out here (the server cannot take it as an unprivileged user).
  if (geteuid() == 0)
    runCommand("for t in /proc/$(cat '" + dir + "/pulse/pid')/task/*; do chrt -r -p 5 ${t##*/}; done");
  for (int i = 0; i < 50; ++i) {
    if (runCommand("PULSE_SERVER=unix:" + socket_ + " pactl info >/dev/null") == 0) return true;
    usleep(100000);
  }
  return false;
}

void SoundServer::kill() {
  // Its pid file goes too: a killed server may linger unreaped, and would pass for running.
  std::string pidFile = dir_.file("pulse/pulse/pid");
  runCommand("kill -KILL $(cat '" + pidFile + "') 2>/dev/null; rm -f '" + pidFile + "' '" + socket_ + "'");
}

bool SoundServer::playHere() {
  if (!unavailable_.empty()) return false;
  if (!playing_) savedDriver_ = std::getenv("SDL_AUDIODRIVER") ? std::getenv("SDL_AUDIODRIVER") : "";
  playing_ = true;
  setEnv("PULSE_SERVER", "unix:" + socket_);
  setEnv("SDL_AUDIODRIVER", "pulseaudio");
  return restartAudioSystem() && audioDriverName() == "pulseaudio";
}

int SoundServer::streams() {
  std::string out;
  if (runCommand("PULSE_SERVER=unix:" + socket_ + " pactl list short sink-inputs", &out) != 0) return 0;
  return static_cast<int>(std::count(out.begin(), out.end(), '\n'));
}

bool SoundServer::namesStreams() const { return true; }

std::string SoundServer::streamProperties() {
  std::string out;
  runCommand("PULSE_SERVER=unix:" + socket_ + " pactl list sink-inputs", &out);
  return out;
}

std::vector<float> SoundServer::record(double seconds) {
  std::string file = dir_.file("monitor.raw");
  runCommand("PULSE_SERVER=unix:" + socket_ + " timeout -s INT " + std::to_string(seconds) +
             " parec -d vell_null.monitor --raw --format=float32le --rate=48000 --channels=2 > '" + file + "'");
  return readRawFloats(file);
}

}  // namespace vell::test
