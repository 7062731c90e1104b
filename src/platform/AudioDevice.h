// The sound system and the default output device as a push queue of float frames.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

namespace vell {

// Initialises the sound system once for the whole process (safe to call from any thread,
// any number of times). The window thread calls it at start-up so that the first device
// opened from another thread never races the window system's own initialisation.
bool initAudioSystem();

// Starts the sound system afresh, after a device went away with its sound server: a server
// that was restarted is only reached through a new connection. Does nothing while a device is
// open. False when the sound system does not come up (the server is not back yet).
bool restartAudioSystem();

// What the desktop's sound settings show for the devices opened from now on: the stream is
// named `title` (what is playing) and has the role "video" or "music".
void describeAudioStream(const std::string& title, bool video);
struct AudioStreamDescription {
  std::string title;
  bool video = false;
};
AudioStreamDescription audioStreamDescription();

// Name of the sound driver in use ("pulseaudio", "disk", "dummy", ...), empty before
// initAudioSystem or when it failed.
std::string audioDriverName();

// The format a device was opened with. Samples are always interleaved 32-bit float.
struct AudioFormat {
  int sampleRate = 0;
  int channels = 0;
  int periodFrames = 0;  // frames the device takes from the queue at a time
};

// The default sound output as a push queue: the caller appends float frames, the device
// plays them in order, and the caller learns how many frames are still waiting. A device
// starts paused. All members may be called from any thread; open and close must not race
// the other calls.
class AudioDevice {
 public:
  AudioDevice() = default;
  ~AudioDevice();
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;

  // Opens the default output asking for `sampleRate` and `channels`. With `acceptDeviceFormat`
  // the device may substitute its own rate and channel count (read them from `obtained`);
  // without it the exact format is used and converted as needed. False when no device opens.
  bool open(int sampleRate, int channels, bool acceptDeviceFormat, AudioFormat& obtained);
  void close();
  bool isOpen() const { return id_.load() != 0; }

  // Frames queued and not yet taken by the device; -1 when no device is open.
  int queuedFrames() const;
  // Appends `frames` interleaved frames in the opened format.
  bool queue(const float* samples, int frames);
  // Drops everything still queued.
  void clearQueue();

  void pause();
  void resume();

  // True once the device has gone away (unplugged, server gone) or simulateLoss was called.
  bool lost() const;
  // Test seam: the device behaves as if it had been removed.
  void simulateLoss() { simulatedLoss_.store(true); }

 private:
  // Backend state: SDL keeps its device id in id_; a backend with more state keeps it in
  // backend_ and uses id_ as the open flag.
  struct Backend;
  Backend* backend_ = nullptr;
  std::atomic<uint32_t> id_{0};
  std::atomic<int> frameBytes_{0};
  std::atomic<bool> simulatedLoss_{false};
};

}  // namespace vell
