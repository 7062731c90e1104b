// Windows: under wine, the program's own PulseAudio sink, its streams ended as a kill.
#include "support/SoundServer.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include "platform/Files.h"
#include "support/DiskAudio.h"
#include "support/Media.h"

namespace vell::test {

// Under wine the WASAPI endpoint is a PulseAudio sink of this program's own (tools/wine-run.sh
// gives each program one, PULSE_SINK). The server behind it is shared with the programs running
// beside this one, so it stays: this program's streams on the sink are ended instead, which
// invalidates its WASAPI clients as the server's end does (AUDCLNT_E_DEVICE_INVALIDATED), and
// new ones play at once.
SoundServer::SoundServer() {
  const char* sink = std::getenv("PULSE_SINK");
  socket_ = sink ? sink : "";
  if (socket_.empty())
    unavailable_ = "this program has no sound sink of its own (PULSE_SINK, set by tools/wine-run.sh)";
  else if (runCommand("command -v pactl && command -v parec && pactl info") != 0)
    unavailable_ = "pactl or parec is not installed, or the sound server does not answer";
}

SoundServer::~SoundServer() = default;

bool SoundServer::playHere() { return unavailable_.empty(); }

// pactl cannot end a stream (and a sink that goes has its streams moved elsewhere): the
// server's command line can, reached for the moment through a socket of its own.
void SoundServer::kill() {
  runCommand("s=$(pactl list short sinks | awk -v n='" + socket_ + "' '$2 == n { print $1 }') && "
             "cli=/tmp/vell-cli-$$ && m=$(pactl load-module module-cli-protocol-unix socket=$cli) && "
             "for i in $(pactl list short sink-inputs | awk -v s=\"$s\" '$2 == s { print $1 }'); do "
             "/usr/bin/python3 -c 'import socket, sys\n"
             "c = socket.socket(socket.AF_UNIX); c.connect(sys.argv[1])\n"
             "c.sendall(b\"kill-sink-input \" + sys.argv[2].encode() + b\"\\n\"); c.shutdown(socket.SHUT_WR); c.recv(4096)' "
             "$cli $i; done; pactl unload-module $m");
}

bool SoundServer::start() { return runCommand("pactl info") == 0; }

int SoundServer::streams() {
  std::string out;
  if (runCommand("pactl list short sink-inputs | awk -v s=\"$(pactl list short sinks | awk '$2 == \"" + socket_ +
                     "\" { print $1 }')\" '$2 == s'",
                 &out) != 0)
    return 0;
  return static_cast<int>(std::count(out.begin(), out.end(), '\n'));
}

// Wine names the streams after the program file and gives them no role.
bool SoundServer::namesStreams() const { return false; }

std::string SoundServer::streamProperties() {
  std::string out;
  runCommand("pactl list sink-inputs", &out);
  return out;
}

std::vector<float> SoundServer::record(double seconds) {
  std::string file = std::string(VELL_TEST_MEDIA_DIR) + "/monitor-" + std::to_string(std::random_device{}()) + ".raw";
  runCommand("timeout -s INT " + std::to_string(seconds) + " parec -d '" + socket_ +
             ".monitor' --raw --format=float32le --rate=48000 --channels=2 > '" + file + "'");
  std::vector<float> pcm = readRawFloats("Z:" + file);
  removeFile("Z:" + file);
  return pcm;
}

}  // namespace vell::test
